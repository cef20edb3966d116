// lanx1ctl poll --mqtt run as a process against the simulated transducer and a
// real mosquitto broker: what it polls arrives, and what it polled while the
// broker was down arrives with a later run.
#include "CtlProcess.h"
#include "MqttTestBroker.h"
#include "TLanx1DeviceModel.h"
#include "SimulatorFixture.h"
#include "TestEnvironment.h"
#include "uBDE.h"
#include "uCycleReadings.h"
#include "uMqttPayload.h"
#include "uMqttSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kComPort = "[Transmitter]\r\nPort=/dev/lanx1-no-such-port\r\nBaudRate=9600\r\n"
                            "ReadInterval=10\r\nReadTotalConstant=40\r\nReadTotalMultiplier=0\r\n";

class MqttCtl : public ::testing::Test {
protected:
    void SetUp() override {
        WriteAll(Folder.File(QStringLiteral("INI/ComPort.ini")), kComPort);
        Sim.Sim().SetLevel(42.5);
    }
    TCtlRun Poll(const QStringList &Args) {
        return RunCtl(QStringList{"--port", Sim.PortName(), "poll", "--period", "100", "--kinds", "3,4,5"} + Args,
                      Folder.Path());
    }
    TTestFolder Folder;
    TSimulatorFixture Sim;
};

QStringList DistinctTimes(const std::vector<TTestMessage> &Messages) {
    QStringList Times;
    QSet<QString> Seen;
    for (const TTestMessage &M : Messages) {
        if (M.Topic != QLatin1String("tanks/1234/state"))
            continue;
        const QString T = QJsonDocument::fromJson(M.Payload).object().value(QStringLiteral("time")).toString();
        if (!Seen.contains(T)) {
            Seen.insert(T);
            Times << T;
        }
    }
    return Times;
}

} // namespace

TEST_F(MqttCtl, PollPublishesAndALaterRunCatchesUp) {
    if (TTestBroker::Program().isEmpty())
        GTEST_SKIP() << "mosquitto is not installed (scripts/setup installs it)";
    TTestBroker Broker;
    QString Error;
    ASSERT_TRUE(Broker.RequirePassword(QStringLiteral("tank"), QStringLiteral("s3cret"), &Error)) << Error.toStdString();
    WriteAll(Folder.File(QStringLiteral("password.txt")), "s3cret\n");
    const QStringList Mqtt{"--mqtt", Broker.Url(), "--topic", "tanks", "--user", "tank", "--password-file",
                           Folder.File(QStringLiteral("password.txt"))};

    // The broker is down: polling goes on, the link state is named, and the
    // run fails, since its cycles were not acknowledged.
    TCtlRun R = Poll(QStringList{"--count", "3"} + Mqtt);
    EXPECT_EQ(R.Status, 1) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("MQTT: the broker was not reached at the end"))) << R.Err.toStdString();
    EXPECT_EQ(R.Out.count(u'\n'), 3);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("MQTT: нет связи"))) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("MQTT: 0 messages acknowledged")));
    EXPECT_TRUE(R.Err.contains(QStringLiteral("MQTT: 3 cycles not acknowledged, sent from the archive by the next run")))
        << R.Err.toStdString();
    // The cursor is kept; the settings of the file are not written.
    EXPECT_FALSE(LoadMqttCursor(MqttIniPath()).Empty());
    EXPECT_TRUE(LoadMqttSettings(MqttIniPath()).Url.isEmpty());

    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriberOptions Login;
    Login.User = QStringLiteral("tank");
    Login.Password = QStringLiteral("s3cret");
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("tanks/#"), Login);
    ASSERT_TRUE(Sub.WaitSubscribed());
    R = Poll(QStringList{"--count", "2"} + Mqtt);
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("MQTT: подключено"))) << R.Err.toStdString();
    ASSERT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) { return DistinctTimes(All).size() >= 5; }));

    SetDbPath(Folder.File(QStringLiteral("DATA")));
    const std::vector<TCycleReadings> Archived = ReadCyclesAfter({}, 0, 1000);
    ASSERT_EQ(Archived.size(), 5u);
    QStringList Expected;
    for (const TCycleReadings &C : Archived)
        Expected << IsoTimeWithOffset(C.At);
    EXPECT_EQ(DistinctTimes(Sub.Messages()), Expected);
    for (const TTestMessage &M : Sub.Messages())
        if (M.Topic == QLatin1String("tanks/1234/state")) {
            EXPECT_EQ(QJsonDocument::fromJson(M.Payload).object().value("level").toDouble(), 42.5) << M.Payload.toStdString();
        }
}

// Two runs on one host, each polling only the level of its own transducer,
// publish side by side: each under its own plant number, read from the device
// before anything went out, and neither takes the other's session.
TEST_F(MqttCtl, TwoRunsOnOneHostKeepTheirOwnSessions) {
    if (TTestBroker::Program().isEmpty())
        GTEST_SKIP() << "mosquitto is not installed (scripts/setup installs it)";
    TTestBroker Broker;
    QString Error;
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TSimulatorFixture Other;
    Sim.Sim().SetRegister(TLanx1DeviceModel::rgPlantNumber, 1111);
    Other.Sim().SetRegister(TLanx1DeviceModel::rgPlantNumber, 2222);
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    QTemporaryDir OtherFolder;
    WriteAll(OtherFolder.filePath(QStringLiteral("INI/ComPort.ini")), kComPort);
    QProcess Runs[2];
    const QString Ports[2] = {Sim.PortName(), Other.PortName()};
    const QString Folders[2] = {Folder.Path(), OtherFolder.path()};
    for (int i = 0; i < 2; ++i) {
        Runs[i].setWorkingDirectory(Folders[i]);
        Runs[i].start(BuiltCtl(), {"--port", Ports[i], "poll", "--period", "100", "--count", "15", "--kinds", "3",
                                   "--mqtt", Broker.Url()});
    }
    for (QProcess &P : Runs) {
        ASSERT_TRUE(P.waitForFinished(60000));
        EXPECT_EQ(P.exitCode(), 0) << P.readAllStandardError().toStdString();
    }
    EXPECT_FALSE(Broker.Log().contains(QStringLiteral("already connected"))) << Broker.Log().toStdString();
    for (const int Plant : {1111, 2222}) {
        const QString Topic = QStringLiteral("lanx1/%1/state").arg(Plant);
        ASSERT_TRUE(Sub.WaitFor([&](const std::vector<TTestMessage> &All) {
            return std::count_if(All.begin(), All.end(), [&](const TTestMessage &M) { return M.Topic == Topic; }) >= 15;
        })) << Topic.toStdString();
    }
    for (const TTestMessage &M : Sub.Messages()) {
        // Under plant 0 only the removal of what an earlier version may have left.
        EXPECT_FALSE(M.Topic.startsWith(QStringLiteral("lanx1/0/")) && !M.Payload.isEmpty()) << M.Topic.toStdString();
        if (M.Topic.endsWith(QStringLiteral("/state"))) {
            EXPECT_EQ(QStringLiteral("lanx1/%1/state").arg(QJsonDocument::fromJson(M.Payload).object().value("plant").toInt()),
                      M.Topic);
        }
    }
}

TEST_F(MqttCtl, OptionsAreChecked) {
    EXPECT_EQ(Poll({"--count", "1", "--topic", "x"}).Status, 2);
    EXPECT_EQ(Poll({"--count", "1", "--mqtt", "http://x"}).Status, 2);
    EXPECT_EQ(Poll({"--count", "1", "--mqtt", "mqtt://x", "--password-file", "p"}).Status, 2);
    EXPECT_EQ(Poll({"--count", "1", "--mqtt", "mqtt://x", "--user", "u", "--password-file", "/no/such/file"}).Status, 1);
    // Credentials in the address would be ignored and seen in the list of processes.
    const TCtlRun R = Poll({"--count", "1", "--mqtt", "mqtt://u:pw@x"});
    EXPECT_EQ(R.Status, 2);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("--password-file"))) << R.Err.toStdString();
    EXPECT_EQ(Poll({"--count", "1", "--mqtt", "mqtt://x", "--topic", "$SYS/x"}).Status, 2);
    EXPECT_EQ(Poll({"--count", "1", "--mqtt", "mqtt://x", "--topic", QString(70000, u'a')}).Status, 2);
}
