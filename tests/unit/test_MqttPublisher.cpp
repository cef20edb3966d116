// Publishing the readings to a real mosquitto broker on a free local port: the
// polling engine against the simulated transducer, a subscriber made with the
// same client library, and the broker stopped, restarted, refusing and
// speaking TLS.
#include "EngineRig.h"
#include "TLanx1DeviceModel.h"
#include "MqttTestBroker.h"
#include "uBDE.h"
#include "uCycleReadings.h"
#include "uFormat.h"
#include "uLanx1Instance.h"
#include "uMqttPayload.h"
#include "uMqttPublisher.h"
#include "uMqttSettings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>

namespace {

#define REQUIRE_MOSQUITTO()                                                                                           \
    if (TTestBroker::Program().isEmpty())                                                                             \
    GTEST_SKIP() << "mosquitto is not installed (scripts/setup installs it)"

// The simulated transducer's plant number.
const QString kState = QStringLiteral("lanx1/1234/state");
const QString kStatus = QStringLiteral("lanx1/1234/status");

void PollLevelVolumeFrequency() {
    PollSet.Clear();
    PollSet.Include(rkReadLevel);
    PollSet.Include(rkReadVolume);
    PollSet.Include(rkReadFrequency);
}

// The cycles archived after From, as the broker should get them.
std::vector<TCycleReadings> ArchivedAfter(TDateTime From) {
    return ReadCyclesAfter({From, From, From}, 0, 1000000);
}

// The time stamps of the state messages, each once, in the order they first came.
QStringList DistinctTimes(const std::vector<TTestMessage> &Messages) {
    QStringList Times;
    QSet<QString> Seen;
    for (const TTestMessage &M : Messages) {
        const QString T = QJsonDocument::fromJson(M.Payload).object().value(QStringLiteral("time")).toString();
        if (!Seen.contains(T)) {
            Seen.insert(T);
            Times << T;
        }
    }
    return Times;
}

QStringList ExpectedTimes(const std::vector<TCycleReadings> &Cycles) {
    QStringList Times;
    for (const TCycleReadings &C : Cycles)
        Times << IsoTimeWithOffset(C.At);
    return Times;
}

bool HasDistinctStates(TTestSubscriber &Sub, qsizetype Count) {
    return Sub.WaitFor([&](const std::vector<TTestMessage> &All) {
        std::vector<TTestMessage> States;
        for (const TTestMessage &M : All)
            if (M.Topic == kState)
                States.push_back(M);
        return DistinctTimes(States).size() >= Count;
    });
}

bool LastStatusIs(TTestSubscriber &Sub, const QByteArray &Text) {
    return Sub.WaitFor([&](const std::vector<TTestMessage> &All) {
        for (auto It = All.rbegin(); It != All.rend(); ++It)
            if (It->Topic == kStatus)
                return It->Payload == Text;
        return false;
    });
}

TMqttSettings SettingsFor(const TTestBroker &Broker) {
    TMqttSettings S;
    S.Enabled = true;
    S.Url = Broker.Url();
    return S;
}

// Every test: the polling engine on the simulated transducer polling the
// three readings, and a broker of its own, started by the test.
class MqttPublisher : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_MOSQUITTO();
        PollLevelVolumeFrequency();
        // Nothing is published before the device has told its plant number.
        ASSERT_TRUE(Rig.Engine().LearnPlantNumberNow());
    }

    TEngineRig Rig;
    TTestBroker Broker;
    QString Error;
};

} // namespace

TEST_F(MqttPublisher, EveryCycleArrivesWithItsReadings) {
    Rig.Sim().SetLevel(42.5);
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());

    TMqttPublisher Publisher;
    ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
    const TDateTime From = Publisher.Status().Cursor;
    ASSERT_GT(From, 0);
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Connected(); })) << Publisher.Status().LastError.toStdString();
    EXPECT_TRUE(LastStatusIs(Sub, "online"));
    {
        // Retained: a subscriber that comes later is told at once.
        TTestSubscriber Later(Broker.Port(), kStatus);
        ASSERT_TRUE(Later.WaitFor([](const std::vector<TTestMessage> &All) {
            return !All.empty() && All.back().Payload == "online" && All.back().Retained;
        }));
    }

    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(HasDistinctStates(Sub, 5));
    const std::vector<TCycleReadings> Archived = ArchivedAfter(From);
    ASSERT_EQ(Archived.size(), 5u);
    const std::vector<TTestMessage> States = Sub.On(kState);
    ASSERT_EQ(DistinctTimes(States), ExpectedTimes(Archived));
    for (std::size_t i = 0; i < 5; ++i) {
        const QJsonObject O = QJsonDocument::fromJson(States[i].Payload).object();
        // Level and volume with the unit of their descriptions; the frequency's names none.
        EXPECT_EQ(O.keys(), (QStringList{"address", "error", "errorText", "frequency", "level", "levelUnit", "plant",
                                         "time", "volume", "volumeUnit"}));
        EXPECT_EQ(O.value("levelUnit").toString(), QStringLiteral("%"));
        EXPECT_EQ(O.value("plant").toInt(-1), 1234); // told by the device before anything went out
        EXPECT_EQ(O.value("address").toInt(), 1);
        // The device's readings are singles: their shortest text reads back to the same single.
        EXPECT_EQ(static_cast<float>(O.value("level").toDouble()), static_cast<float>(*Archived[i].Level));
        EXPECT_EQ(static_cast<float>(O.value("volume").toDouble()), static_cast<float>(*Archived[i].Volume));
        EXPECT_EQ(O.value("frequency").toDouble(), *Archived[i].Frequency);
        EXPECT_EQ(O.value("error").toInt(-1), 0);
        EXPECT_EQ(O.value("errorText").toString(), QStringLiteral("Норма"));
        EXPECT_TRUE(States[i].Payload.contains("\"level\":" + ExactNumberText(*Archived[i].Level).toUtf8() + ","));
    }
    EXPECT_DOUBLE_EQ(*Archived[0].Level, 42.5);

    // A cycle of the level alone carries the level alone.
    PollSet.Clear();
    PollSet.Include(rkReadLevel);
    ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(HasDistinctStates(Sub, 6));
    const QJsonObject Last = QJsonDocument::fromJson(Sub.On(kState).back().Payload).object();
    EXPECT_TRUE(Last.contains("level"));
    EXPECT_FALSE(Last.contains("volume"));
    EXPECT_FALSE(Last.contains("frequency"));

    // Everything acknowledged: the cursor is the last cycle, and leaving says "offline".
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Queued == 0; }));
    Publisher.Stop();
    EXPECT_TRUE(LastStatusIs(Sub, "offline"));
    const TArchiveCursor Cursor = LoadMqttCursor();
    const std::vector<TCycleReadings> All = ArchivedAfter(From);
    EXPECT_EQ(Cursor.Level, All.back().Places.Level);
    EXPECT_EQ(Cursor.Volume, All[4].Places.Volume);
    EXPECT_EQ(ArchiveMs(ArchiveTimeAt(Cursor)), ArchiveMs(All.back().At));
}

// A level that is not a number: the live message and the copy the catch-up
// sends from the archive are the same, and valid JSON.
TEST_F(MqttPublisher, AReadingThatIsNoNumberIsTheSameLiveAndFromTheArchive) {
    Rig.Sim().SetLevel(std::numeric_limits<double>::quiet_NaN());
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    TArchiveCursor Before;
    QByteArray Live;
    {
        TMqttPublisher Publisher;
        ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
        Before = LoadMqttCursor();
        ASSERT_TRUE(Rig.Engine().PollCycle().Failed.empty());
        ASSERT_TRUE(HasDistinctStates(Sub, 1));
        ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Queued == 0; }));
        Publisher.Stop();
        for (const TTestMessage &M : Sub.Messages())
            if (M.Topic == kState)
                Live = M.Payload;
    }
    // Owed again: the next publisher sends it from the archive.
    ASSERT_TRUE(SaveMqttCursor(Before));
    const std::size_t Seen = Sub.Messages().size();
    TMqttPublisher Again;
    ASSERT_TRUE(Again.Start(SettingsFor(Broker)));
    ASSERT_TRUE(Sub.WaitFor([&](const std::vector<TTestMessage> &All) {
        for (std::size_t i = Seen; i < All.size(); ++i)
            if (All[i].Topic == kState)
                return true;
        return false;
    }));
    Again.Stop();
    QByteArray FromArchive;
    const std::vector<TTestMessage> All = Sub.Messages();
    for (std::size_t i = Seen; i < All.size() && FromArchive.isEmpty(); ++i)
        if (All[i].Topic == kState)
            FromArchive = All[i].Payload;
    EXPECT_EQ(FromArchive, Live);
    QJsonParseError Parse{};
    const QJsonObject O = QJsonDocument::fromJson(Live, &Parse).object();
    ASSERT_EQ(Parse.error, QJsonParseError::NoError) << Live.toStdString();
    EXPECT_TRUE(O.value(QStringLiteral("level")).isNull()) << Live.toStdString();
    EXPECT_EQ(O.value(QStringLiteral("levelReason")).toString(), QStringLiteral("not a number"));
    EXPECT_TRUE(O.value(QStringLiteral("volume")).isDouble()) << Live.toStdString();
}

// A broker whose access list denies the state topic: MQTT 5 says so in the
// PUBACK. Nothing counts as delivered, the cursor stays, and the reason shows.
TEST_F(MqttPublisher, APublishTheBrokerDeniesIsNotDelivered) {
    Broker.SetAcl("topic read #\ntopic write lanx1/+/status\n");
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    TMqttPublisher Publisher;
    ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Connected(); }));
    const TDateTime From = Publisher.Status().Cursor;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().LastError.contains(QStringLiteral("0x87")); }))
        << Publisher.Status().LastError.toStdString();
    const TMqttStatus S = Publisher.Status();
    EXPECT_EQ(S.Published, 0);
    EXPECT_EQ(ArchiveMs(S.Cursor), ArchiveMs(From));
    EXPECT_GE(S.Queued, 1);
    for (const TTestMessage &M : Sub.Messages())
        EXPECT_NE(M.Topic, kState);
    Publisher.Stop();
}

// A device that stops answering, refuses, and comes back: the retained link
// topic says each state once, with its time and the device's real code and text.
TEST_F(MqttPublisher, TheLinkTopicShowsADeadDevice) {
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    TMqttPublisher Publisher;
    ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Connected(); }));
    const QString Link = QStringLiteral("lanx1/1234/link");
    const auto Links = [&] {
        std::vector<QJsonObject> L;
        for (const TTestMessage &M : Sub.Messages())
            if (M.Topic == Link)
                L.push_back(QJsonDocument::fromJson(M.Payload).object());
        return L;
    };
    const auto WaitLinks = [&](std::size_t Count) {
        return Sub.WaitFor([&](const std::vector<TTestMessage> &All) {
            return std::size_t(std::count_if(All.begin(), All.end(), [&](const TTestMessage &M) { return M.Topic == Link; })) >= Count;
        });
    };
    ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(WaitLinks(1));
    Rig.Sim().SetFault(TSimFault::Silence);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(WaitLinks(2));
    Rig.Sim().ClearFaults();
    Rig.Sim().SetFault(TSimFault::Exception, 4);
    EXPECT_FALSE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(WaitLinks(3));
    Rig.Sim().ClearFaults();
    ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(WaitLinks(4));
    Publisher.Stop();

    const std::vector<QJsonObject> L = Links();
    ASSERT_EQ(L.size(), 4u); // each state once
    EXPECT_EQ(L[0].value("state").toString(), QStringLiteral("ok"));
    EXPECT_FALSE(L[0].contains("error"));
    EXPECT_EQ(L[1].value("state").toString(), QStringLiteral("no answer"));
    EXPECT_EQ(L[1].value("error").toInt(), -1);
    EXPECT_EQ(L[1].value("errorText").toString(), QStringLiteral("Нет ответа от устройства"));
    EXPECT_EQ(L[2].value("state").toString(), QStringLiteral("exception 4"));
    EXPECT_EQ(L[2].value("error").toInt(), 4);
    EXPECT_EQ(L[3].value("state").toString(), QStringLiteral("ok"));
    for (const QJsonObject &O : L)
        EXPECT_FALSE(O.value("since").toString().isEmpty());
    EXPECT_LT(L[1].value("since").toString(), L[2].value("since").toString());
}

TEST_F(MqttPublisher, ReadingsArchivedBeforePublishingWasEnabledAreNotSent) {
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    TMqttPublisher Publisher;
    ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
    const TDateTime From = Publisher.Status().Cursor;
    ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(HasDistinctStates(Sub, 1));
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Queued == 0; }));
    Publisher.Stop();
    EXPECT_EQ(DistinctTimes(Sub.On(kState)), ExpectedTimes(ArchivedAfter(From)));
    EXPECT_EQ(ArchivedAfter(From).size(), 1u);
}

TEST_F(MqttPublisher, BrokerStoppedForTenCyclesLosesNone) {
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    TMqttPublisher Publisher;
    ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
    const TDateTime From = Publisher.Status().Cursor;
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Connected(); }));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(HasDistinctStates(Sub, 3));

    Broker.Stop();
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().State == TMqttLinkState::NoLink; }));
    EXPECT_FALSE(Publisher.Status().LastError.isEmpty());
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(Rig.Engine().PollCycle().Ok()); // polling and archiving go on
    EXPECT_EQ(ArchivedAfter(From).size(), 13u);

    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Connected(); }));
    ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(HasDistinctStates(Sub, 14)) << DistinctTimes(Sub.On(kState)).join(' ').toStdString();
    EXPECT_EQ(DistinctTimes(Sub.On(kState)), ExpectedTimes(ArchivedAfter(From)));
}

TEST_F(MqttPublisher, BacklogArrivesAfterARestartWhileTheBrokerWasDown) {
    // The broker is not started yet.
    TDateTime From = 0;
    {
        TMqttPublisher Publisher;
        ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
        From = Publisher.Status().Cursor;
        ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().State == TMqttLinkState::NoLink; }));
        EXPECT_TRUE(Publisher.Status().Text().startsWith(QStringLiteral("MQTT: нет связи")));
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
        Publisher.Stop();
    }
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    TMqttPublisher Restarted;
    ASSERT_TRUE(Restarted.Start(SettingsFor(Broker)));
    ASSERT_TRUE(HasDistinctStates(Sub, 6));
    EXPECT_EQ(DistinctTimes(Sub.On(kState)), ExpectedTimes(ArchivedAfter(From)));
}

TEST_F(MqttPublisher, RefusedPasswordIsAClearErrorAndPollingGoesOn) {
    ASSERT_TRUE(Broker.RequirePassword(QStringLiteral("operator"), QStringLiteral("right"), &Error))
        << Error.toStdString();
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TMqttSettings S = SettingsFor(Broker);
    S.User = QStringLiteral("operator");
    S.Password = QStringLiteral("wrong");
    std::mutex Lock;
    QStringList Seen;
    TMqttPublisher Publisher;
    Publisher.OnStatusChanged = [&](const TMqttStatus &Status) {
        std::lock_guard Guard(Lock);
        Seen << Status.LastError;
    };
    ASSERT_TRUE(Publisher.Start(S));
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().State == TMqttLinkState::NoLink; }));
    const TMqttStatus Status = Publisher.Status();
    EXPECT_TRUE(Status.LastError.contains(QStringLiteral("имя пользователя или пароль"))) << Status.LastError.toStdString();
    EXPECT_TRUE(Status.Text().startsWith(QStringLiteral("MQTT: нет связи (")));
    {
        std::lock_guard Guard(Lock);
        EXPECT_TRUE(Seen.contains(Status.LastError));
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Rig.Engine().PollCycle().Ok());
    EXPECT_EQ(ArchivedAfter(Publisher.Status().Cursor).size(), 3u);
    EXPECT_FALSE(Publisher.Status().Connected());

    // The right password: the three cycles follow.
    Publisher.Stop();
    S.Password = QStringLiteral("right");
    TTestSubscriberOptions Login;
    Login.User = QStringLiteral("operator");
    Login.Password = QStringLiteral("right");
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"), Login);
    ASSERT_TRUE(Sub.WaitSubscribed());
    ASSERT_TRUE(Publisher.Start(S));
    ASSERT_TRUE(HasDistinctStates(Sub, 3));
}

TEST_F(MqttPublisher, Tls) {
    ASSERT_TRUE(Broker.MakeTls(&Error)) << Error.toStdString();
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    ASSERT_TRUE(Broker.Url().startsWith(QStringLiteral("mqtts://")));
    TTestSubscriberOptions Trust;
    Trust.CaFile = Broker.CaFile();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"), Trust);
    ASSERT_TRUE(Sub.WaitSubscribed());

    // Without the test authority the certificate is not trusted.
    TMqttPublisher Publisher;
    ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().State == TMqttLinkState::NoLink; }));
    EXPECT_TRUE(Publisher.Status().LastError.contains(QStringLiteral("TLS")))
        << Publisher.Status().LastError.toStdString();
    Publisher.Stop();

    TMqttSettings S = SettingsFor(Broker);
    S.CaFile = Broker.CaFile();
    ASSERT_TRUE(Publisher.Start(S));
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Connected(); })) << Publisher.Status().LastError.toStdString();
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(HasDistinctStates(Sub, 2));
}

TEST_F(MqttPublisher, ANewPlantNumberMovesTheTopics) {
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    TMqttPublisher Publisher;
    ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Connected(); }));
    ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(HasDistinctStates(Sub, 1));

    // Another transducer on the adapter once it came back: the plant number is
    // read anew, the old status goes offline, the new one online.
    Rig.Sim().SetRegister(TLanx1DeviceModel::rgPlantNumber, 4321);
    Rig.Engine().Transmitter->Close();
    QString Reason;
    ASSERT_TRUE(Rig.Engine().Transmitter->OpenQuietly(Reason)) << Reason.toStdString();
    EXPECT_EQ(Rig.Engine().KnownPlantNumber(), kPlantUnknown);
    ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    EXPECT_EQ(Rig.Engine().KnownPlantNumber(), 4321);
    ASSERT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) {
        return std::any_of(All.begin(), All.end(), [](const TTestMessage &M) {
            return M.Topic == QLatin1String("lanx1/4321/state") &&
                   QJsonDocument::fromJson(M.Payload).object().value("plant").toInt() == 4321;
        });
    }));
    EXPECT_TRUE(LastStatusIs(Sub, "offline"));
    EXPECT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) {
        return std::any_of(All.begin(), All.end(), [](const TTestMessage &M) {
            return M.Topic == QLatin1String("lanx1/4321/status") && M.Payload == "online";
        });
    }));
    // The first plant's readings stayed under its own number.
    for (const TTestMessage &M : Sub.On(QStringLiteral("lanx1/4321/state")))
        EXPECT_EQ(QJsonDocument::fromJson(M.Payload).object().value("plant").toInt(), 4321);
    for (const TTestMessage &M : Sub.On(kState))
        EXPECT_EQ(QJsonDocument::fromJson(M.Payload).object().value("plant").toInt(), 1234);
}

// Until the device has told its plant number nothing goes out, not even
// "online", and the status says why. Readings archived meanwhile go out
// later under the right plant; a status an earlier version left retained
// under plant 0 is removed.
TEST_F(MqttPublisher, NothingGoesOutBeforeThePlantNumberIsKnown) {
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    {
        TTestSubscriber Old(Broker.Port(), QStringLiteral("none"));
        ASSERT_TRUE(Old.WaitSubscribed());
        ASSERT_TRUE(Old.Publish(QStringLiteral("lanx1/0/status"), "offline", true));
        TTestSubscriber Check(Broker.Port(), QStringLiteral("lanx1/0/status"));
        ASSERT_TRUE(Check.WaitFor([](const std::vector<TTestMessage> &All) { return !All.empty(); }));
    }
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    ASSERT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) { return !All.empty(); }));
    const std::size_t Retained = Sub.Messages().size();

    // The port came back: what the device told before holds no more.
    Rig.Engine().Transmitter->Close();
    QString Reason;
    ASSERT_TRUE(Rig.Engine().Transmitter->OpenQuietly(Reason)) << Reason.toStdString();
    TMqttPublisher Publisher;
    ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
    const TDateTime From = Publisher.Status().Cursor;
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().State == TMqttLinkState::NoPlant; }));
    EXPECT_TRUE(Publisher.Status().Text().startsWith(QStringLiteral("MQTT: нет номера установки")));

    // The question for the plant number goes unanswered three times; the
    // readings come all the same and are archived.
    Rig.Sim().SetFault(TSimFault::Silence, 0, 3);
    const TPollCycleResult First = Rig.Engine().PollCycle();
    ASSERT_EQ(First.Failed.size(), 1u);
    EXPECT_EQ(First.Failed[0].Kind, rkReadPlantNumber);
    ASSERT_TRUE(WaitUntilTrue([&] {
        return Publisher.Status().LastError.contains(QStringLiteral("номер установки")) &&
               Publisher.Status().LastError.contains(QStringLiteral("устройство его не сообщило"));
    })) << Publisher.Status().LastError.toStdString();
    EXPECT_EQ(Publisher.Status().State, TMqttLinkState::NoPlant);
    ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Queued == 1; })) << Publisher.Status().Queued;
    EXPECT_EQ(Sub.Messages().size(), Retained); // nothing at all

    // Told at the next cycle: both cycles go under plant 1234, and the status
    // under plant 0 is gone.
    ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
    ASSERT_TRUE(HasDistinctStates(Sub, 2));
    EXPECT_EQ(DistinctTimes(Sub.On(kState)), ExpectedTimes(ArchivedAfter(From)));
    for (const TTestMessage &M : Sub.On(kState))
        EXPECT_EQ(QJsonDocument::fromJson(M.Payload).object().value("plant").toInt(), 1234);
    ASSERT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) {
        return std::any_of(All.begin(), All.end(), [](const TTestMessage &M) {
            return M.Topic == QLatin1String("lanx1/0/status") && M.Payload.isEmpty();
        });
    }));
    for (const TTestMessage &M : Sub.Messages())
        EXPECT_FALSE(M.Topic.startsWith(QStringLiteral("lanx1/0/")) && !M.Payload.isEmpty() && !M.Retained)
            << M.Topic.toStdString();
    Publisher.Stop();
    // What the broker keeps: this plant's status, nothing under plant 0.
    TTestSubscriber Later(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Later.WaitFor([](const std::vector<TTestMessage> &All) {
        return std::any_of(All.begin(), All.end(), [](const TTestMessage &M) { return M.Topic == QLatin1String("lanx1/1234/status"); });
    }));
    for (const TTestMessage &M : Later.Messages())
        EXPECT_FALSE(M.Topic.startsWith(QStringLiteral("lanx1/0/"))) << M.Topic.toStdString();
}

// "N в очереди" is what the archive owes, however much that is; Home
// Assistant hears of the device only when asked for.
TEST_F(MqttPublisher, TheQueueIsCountedFromTheArchiveAndDiscoveryIsAskedFor) {
    // 1500 cycles archived before, the cursor before them; the broker is down.
    const TDateTime Day = DateOf(Now());
    for (int i = 0; i < 1500; ++i)
        ASSERT_TRUE(ArchiveWrite(QLatin1String(kLevelSeries), QString(), Day + i / 86400000.0, i));
    const TArchivePlace Start{static_cast<long long>(Day), 0};
    ASSERT_TRUE(SaveMqttCursor({Start, Start, Start}));
    {
        TMqttPublisher Publisher;
        ASSERT_TRUE(Publisher.Start(SettingsFor(Broker)));
        ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().State == TMqttLinkState::NoLink; }));
        ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Queued == 1500; })) << Publisher.Status().Queued;
        ASSERT_TRUE(Rig.Engine().PollCycle().Ok());
        ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Queued == 1501; })) << Publisher.Status().Queued;
        EXPECT_EQ(Publisher.Status().Text(), QStringLiteral("MQTT: нет связи (1501 в очереди)"));
    }

    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    TMqttSettings S = SettingsFor(Broker);
    {
        TMqttPublisher Publisher;
        ASSERT_TRUE(Publisher.Start(S));
        ASSERT_TRUE(WaitUntilTrue([&] { return Publisher.Status().Connected() && Publisher.Status().Queued == 0; }));
    }
    for (const TTestMessage &M : Sub.Messages())
        EXPECT_FALSE(M.Topic.startsWith(QStringLiteral("homeassistant/"))) << M.Topic.toStdString();
    EXPECT_EQ(Sub.On(kState).size(), 1501u);

    S.DiscoveryPrefix = QStringLiteral("homeassistant");
    TMqttPublisher Publisher;
    ASSERT_TRUE(Publisher.Start(S));
    ASSERT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) {
        return std::count_if(All.begin(), All.end(), [](const TTestMessage &M) {
                   return M.Topic.startsWith(QStringLiteral("homeassistant/sensor/lanx1_1234_"));
               }) == 4;
    }));
    const auto Level = Sub.On(QStringLiteral("homeassistant/sensor/lanx1_1234_level/config"));
    ASSERT_EQ(Level.size(), 1u);
    EXPECT_EQ(QJsonDocument::fromJson(Level[0].Payload).object().value("state_topic").toString(), kState);
}
