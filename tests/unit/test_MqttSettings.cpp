// The settings and cursor of publishing (INI/Mqtt.ini), the topics and the
// message of a poll cycle; no broker needed.
#include "TestEnvironment.h"
#include "uCycleReadings.h"
#include "uMqttPayload.h"
#include "uMqttSettings.h"
#include "uWin1251.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>

namespace {

unsigned FileMode(const QString &Path) {
    struct stat St {};
    return ::stat(QFile::encodeName(Path).constData(), &St) == 0 ? (St.st_mode & 07777) : 0;
}

} // namespace

TEST(MqttSettings, RoundTripOwnerOnlyAndWindows1251) {
    TTestFolder Folder;
    TMqttSettings S;
    EXPECT_EQ(LoadMqttSettings(), S);
    EXPECT_EQ(S.TopicPrefix, QStringLiteral("lanx1"));
    S.Enabled = true;
    S.Url = QStringLiteral("mqtts://broker.example:8883");
    S.User = QStringLiteral("оператор");
    S.Password = QStringLiteral("пароль;=1");
    S.CaFile = QStringLiteral("/etc/ssl/ca.pem");
    S.TopicPrefix = QStringLiteral("site/tank");
    QString Error;
    ASSERT_TRUE(SaveMqttSettings(S, MqttIniPath(), &Error)) << Error.toStdString();
    EXPECT_EQ(FileMode(MqttIniPath()), 0600);
    EXPECT_EQ(LoadMqttSettings(), S);
    EXPECT_TRUE(ReadAll(MqttIniPath()).contains(ToWin1251(QStringLiteral("User=оператор"))));

    // The cursor is a section of its own: settings and cursor keep each other.
    const auto Day = static_cast<long long>(At(2026, 12, 8, 0, 0, 0, 0));
    const TArchiveCursor Cursor{{Day, 17}, {Day, 17}, {Day - 1, 40000000000}};
    ASSERT_TRUE(SaveMqttCursor(Cursor));
    EXPECT_EQ(LoadMqttSettings(), S);
    S.Enabled = false;
    ASSERT_TRUE(SaveMqttSettings(S));
    const TArchiveCursor Back = LoadMqttCursor();
    EXPECT_EQ(Back.Level, Cursor.Level);
    EXPECT_EQ(Back.Volume, Cursor.Volume);
    EXPECT_EQ(Back.Frequency, Cursor.Frequency);
    EXPECT_TRUE(ReadAll(MqttIniPath()).contains("aFreq=2026-12-07/40000000000"));
    EXPECT_EQ(FileMode(MqttIniPath()), 0600);
}

// A password is whatever the broker's administrator chose: the file gives back
// exactly what was saved, or the settings are refused before they are saved.
TEST(MqttSettings, PasswordsComeBackExactlyOrAreRefused) {
    TTestFolder Folder;
    TMqttSettings S;
    S.Enabled = true;
    S.Url = QStringLiteral("mqtt://broker");
    S.User = QStringLiteral("u");
    for (const QString &Password : {QStringLiteral("пробел внутри"), QStringLiteral("\"\"кавычки\""),
                                    QStringLiteral("a;b#c=d[e]"), QStringLiteral("\\n\\x"), QStringLiteral("€‰№")}) {
        SCOPED_TRACE(Password.toStdString());
        S.Password = Password;
        ASSERT_TRUE(CheckMqttSettingsKeepable(S).isEmpty()) << CheckMqttSettingsKeepable(S).toStdString();
        ASSERT_TRUE(SaveMqttSettings(S));
        EXPECT_EQ(LoadMqttSettings().Password, Password);
    }
    // What Windows-1251 has no letter for, a line break or blanks at the edges
    // (which reading the file drops) cannot be kept.
    for (const QString &Password :
         {QStringLiteral("✓"), QStringLiteral("中文"), QStringLiteral("a\nb"), QStringLiteral(" по краям ")}) {
        SCOPED_TRACE(Password.toStdString());
        S.Password = Password;
        EXPECT_FALSE(CheckMqttSettingsKeepable(S).isEmpty());
        QString Error;
        EXPECT_FALSE(SaveMqttSettings(S, MqttIniPath(), &Error));
        EXPECT_TRUE(Error.startsWith(QStringLiteral("пароль "))) << Error.toStdString();
        S.Password.clear();
        S.User = Password;
        EXPECT_FALSE(CheckMqttSettingsKeepable(S).isEmpty());
        S.User = QStringLiteral("u");
    }
    // The last password that could be kept is still there.
    EXPECT_EQ(LoadMqttSettings().Password, QStringLiteral("€‰№"));
}

TEST(MqttSettings, AddressChecks) {
    TMqttSettings S;
    TMqttAddress A;
    EXPECT_FALSE(CheckMqttSettings(S).isEmpty());
    S.Url = QStringLiteral("mqtt://10.0.0.5");
    EXPECT_TRUE(CheckMqttSettings(S, &A).isEmpty());
    EXPECT_FALSE(A.Tls);
    EXPECT_EQ(A.Port, 1883);
    S.Url = QStringLiteral("mqtts://broker:9000");
    EXPECT_TRUE(CheckMqttSettings(S, &A).isEmpty());
    EXPECT_TRUE(A.Tls);
    EXPECT_EQ(A.Port, 9000);
    EXPECT_EQ(A.Host, QStringLiteral("broker"));
    S.Url = QStringLiteral("http://broker");
    EXPECT_FALSE(CheckMqttSettings(S).isEmpty());
    S.Url = QStringLiteral("mqtt://broker");
    S.TopicPrefix = QStringLiteral("a/#");
    EXPECT_FALSE(CheckMqttSettings(S).isEmpty());

    // Credentials in the address would be ignored (and shown to every user
    // in the list of processes): refused, with where they go instead.
    S.TopicPrefix = QStringLiteral("lanx1");
    S.Url = QStringLiteral("mqtt://user:pw@broker");
    EXPECT_TRUE(CheckMqttSettings(S).contains(QStringLiteral("--password-file"))) << CheckMqttSettings(S).toStdString();
    S.Url = QStringLiteral("mqtt://user@broker");
    EXPECT_FALSE(CheckMqttSettings(S).isEmpty());
    // The broker's own topics, and a prefix no topic can hold.
    S.Url = QStringLiteral("mqtt://broker");
    S.TopicPrefix = QStringLiteral("$SYS/lanx1");
    EXPECT_TRUE(CheckMqttSettings(S).contains(QStringLiteral("«$»"))) << CheckMqttSettings(S).toStdString();
    S.TopicPrefix = QString(70000, u'a');
    EXPECT_FALSE(CheckMqttSettings(S).isEmpty());
    S.TopicPrefix = QString(kMaxTopicPrefixBytes / 2, u'я'); // two bytes each
    EXPECT_TRUE(CheckMqttSettings(S).isEmpty()) << CheckMqttSettings(S).toStdString();
}

// A settings file that others may read (left by an older version, or made
// by hand) is narrowed to its owner as soon as it is read.
TEST(MqttSettings, AReadableFileIsNarrowedWhenRead) {
    TTestFolder Folder;
    WriteAll(MqttIniPath(), "[Mqtt]\r\nEnabled=1\r\nUrl=mqtt://broker\r\nPassword=secret\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(MqttIniPath()).constData(), 0644), 0);
    EXPECT_EQ(LoadMqttSettings().Password, QStringLiteral("secret"));
    EXPECT_EQ(FileMode(MqttIniPath()), 0600);
}

TEST(MqttPayload, TopicsAndMessage) {
    EXPECT_EQ(MqttStateTopic(QStringLiteral("lanx1"), 4321), QStringLiteral("lanx1/4321/state"));
    EXPECT_EQ(MqttStatusTopic(QStringLiteral("lanx1"), 0), QStringLiteral("lanx1/0/status"));
    EXPECT_TRUE(MqttClientId(7).startsWith(QStringLiteral("lanx1-")));
    EXPECT_TRUE(MqttClientId(7).endsWith(QStringLiteral("-7-") + QString::number(QCoreApplication::applicationPid())));

    TCycleReadings C;
    C.At = At(2026, 12, 8, 23, 28, 31, 328);
    C.Level = 42.5;
    C.Volume = 37.25;
    C.Frequency = 12345;
    C.PlantNumber = 4321;
    C.Address = 1;
    C.ErrorText = QStringLiteral("Норма");
    C.UtcOffset = DateTimeToQt(C.At).offsetFromUtc(); // as the cycle was taken here
    const QString Time = IsoTimeWithOffset(C.At);
    EXPECT_TRUE(Time.startsWith(QStringLiteral("2026-12-08T23:28:31.328")));
    EXPECT_TRUE(QDateTime::fromString(Time, Qt::ISODateWithMs).isValid());
    EXPECT_EQ(QDateTime::fromString(Time, Qt::ISODateWithMs).toMSecsSinceEpoch(), DateTimeToQt(C.At).toMSecsSinceEpoch());
    EXPECT_EQ(QString::fromUtf8(CyclePayload(C)),
              QStringLiteral("{\"time\":\"") + Time +
                  QStringLiteral("\",\"plant\":4321,\"address\":1,\"level\":42.5,\"volume\":37.25,"
                                 "\"frequency\":12345,\"error\":0,\"errorText\":\"Норма\"}"));
    // Only what the cycle polled; a single prints as its shortest text.
    C.Volume.reset();
    C.Frequency.reset();
    C.Level = static_cast<double>(0.1f);
    C.Error = 3;
    C.ErrorText = QStringLiteral("a \"b\"\\");
    EXPECT_TRUE(CyclePayload(C).contains(",\"level\":0.1,\"error\":3,\"errorText\":\"a \\\"b\\\"\\\\\"}"));
    EXPECT_FALSE(CyclePayload(C).contains("volume"));
    // Each reading with its unit, where the description gives one.
    EXPECT_TRUE(CyclePayload(C, {QStringLiteral("%"), QStringLiteral("м³"), QString()})
                    .contains(QStringLiteral(",\"level\":0.1,\"levelUnit\":\"%\",\"error\":3").toUtf8()));

    // The hour local time repeats in autumn: each pass with the offset it was
    // taken with, whatever the zone of the machine that sends it.
    C.At = At(2026, 10, 25, 2, 30, 0, 0);
    C.UtcOffset = 7200;
    EXPECT_TRUE(CyclePayload(C).startsWith("{\"time\":\"2026-10-25T02:30:00.000+02:00\""));
    C.UtcOffset = 3600;
    EXPECT_TRUE(CyclePayload(C).startsWith("{\"time\":\"2026-10-25T02:30:00.000+01:00\""));
    C.UtcOffset = -(9 * 3600 + 30 * 60);
    EXPECT_EQ(IsoTimeWithOffset(C.At, C.UtcOffset), QStringLiteral("2026-10-25T02:30:00.000-09:30"));
}

// A reading JSON has no number for is null, with the reason beside it, and
// the message stays valid JSON for any parser.
TEST(MqttPayload, ReadingsThatAreNoFiniteNumberAreNull) {
    TCycleReadings C;
    C.At = At(2026, 12, 8, 23, 28, 31, 328);
    C.ErrorText = QStringLiteral("Норма");
    const struct {
        double Value;
        const char *Reason;
    } Rows[] = {{std::numeric_limits<double>::quiet_NaN(), "not a number"},
                {std::numeric_limits<double>::infinity(), "infinite"},
                {-std::numeric_limits<double>::infinity(), "negative infinite"},
                {static_cast<double>(static_cast<float>(1e39)), "infinite"}};
    for (const auto &Row : Rows) {
        C.Level = Row.Value;
        C.Volume = 1.5;
        QJsonParseError Error{};
        const QJsonDocument Doc = QJsonDocument::fromJson(CyclePayload(C), &Error);
        ASSERT_EQ(Error.error, QJsonParseError::NoError) << CyclePayload(C).toStdString();
        const QJsonObject O = Doc.object();
        EXPECT_TRUE(O.value(QStringLiteral("level")).isNull()) << CyclePayload(C).toStdString();
        EXPECT_EQ(O.value(QStringLiteral("levelReason")).toString(), QLatin1String(Row.Reason));
        EXPECT_EQ(O.value(QStringLiteral("volume")).toDouble(), 1.5);
        EXPECT_FALSE(O.contains(QStringLiteral("volumeReason")));
    }
}

// Home Assistant's discovery: one retained configuration per reading and one
// for the link, all of one device, read from the topics the publisher uses.
TEST(MqttPayload, HomeAssistantDiscovery) {
    const std::vector<TMqttMessage> M =
        HaDiscoveryMessages(QStringLiteral("homeassistant"), QStringLiteral("tanks"), 1234, {QStringLiteral("%"), QStringLiteral("м³"), {}});
    ASSERT_EQ(M.size(), 4u);
    QStringList Topics;
    for (const TMqttMessage &Message : M) {
        Topics << Message.Topic;
        QJsonParseError Error{};
        const QJsonObject O = QJsonDocument::fromJson(Message.Payload, &Error).object();
        ASSERT_EQ(Error.error, QJsonParseError::NoError) << Message.Payload.toStdString();
        EXPECT_EQ(O.value("availability_topic").toString(), QStringLiteral("tanks/1234/status"));
        EXPECT_EQ(O.value("device").toObject().value("identifiers").toArray().first().toString(), QStringLiteral("lanx1_1234"));
    }
    EXPECT_EQ(Topics, (QStringList{"homeassistant/sensor/lanx1_1234_level/config", "homeassistant/sensor/lanx1_1234_volume/config",
                                   "homeassistant/sensor/lanx1_1234_frequency/config",
                                   "homeassistant/sensor/lanx1_1234_link/config"}));
    const QJsonObject Level = QJsonDocument::fromJson(M[0].Payload).object();
    EXPECT_EQ(Level.value("state_topic").toString(), QStringLiteral("tanks/1234/state"));
    EXPECT_EQ(Level.value("value_template").toString(), QStringLiteral("{{ value_json.level }}"));
    EXPECT_EQ(Level.value("unit_of_measurement").toString(), QStringLiteral("%"));
    EXPECT_EQ(Level.value("name").toString(), QStringLiteral("Уровень"));
    EXPECT_FALSE(QJsonDocument::fromJson(M[2].Payload).object().contains("unit_of_measurement"));
    const QJsonObject Link = QJsonDocument::fromJson(M[3].Payload).object();
    EXPECT_EQ(Link.value("state_topic").toString(), QStringLiteral("tanks/1234/link"));
    EXPECT_EQ(Link.value("value_template").toString(), QStringLiteral("{{ value_json.state }}"));

    // Off unless set; a prefix like a topic prefix.
    EXPECT_TRUE(TMqttSettings{}.DiscoveryPrefix.isEmpty());
    TMqttSettings S;
    S.Url = QStringLiteral("mqtt://x");
    S.DiscoveryPrefix = QStringLiteral("homeassistant");
    EXPECT_TRUE(CheckMqttSettings(S).isEmpty());
    for (const char *Bad : {"$ha", "ha/", "h#a"}) {
        S.DiscoveryPrefix = QLatin1String(Bad);
        EXPECT_FALSE(CheckMqttSettings(S).isEmpty()) << Bad;
    }
}
