// Readings published and archived while the clock does what clocks on site
// do: summer time ends in Berlin and the hour from 02:00 repeats, the clock is
// set back ten minutes mid-run, a later run keeps another time zone. lanx1ctl
// runs under libfaketime against the simulated transducer and a real broker.
#include "CtlProcess.h"
#include "MqttTestBroker.h"
#include "SimulatorFixture.h"
#include "TestEnvironment.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

const QByteArray kComPort = "[Transmitter]\r\nPort=/dev/lanx1-no-such-port\r\nBaudRate=9600\r\n"
                            "ReadInterval=10\r\nReadTotalConstant=40\r\nReadTotalMultiplier=0\r\n";

QString FakeTimeLibrary() {
    for (const char *Path : {"/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1",
                             "/usr/lib/aarch64-linux-gnu/faketime/libfaketime.so.1", "/usr/lib/faketime/libfaketime.so.1"})
        if (QFile::exists(QLatin1String(Path)))
            return QLatin1String(Path);
    return {};
}

// One state message as the subscriber got it: its time and the instant it names.
struct TStamp {
    QString Time;
    qint64 Ms = 0;
};

std::vector<TStamp> States(const std::vector<TTestMessage> &All, const QString &Topic) {
    std::vector<TStamp> R;
    for (const TTestMessage &M : All)
        if (M.Topic == Topic) {
            const QString T = QJsonDocument::fromJson(M.Payload).object().value(QStringLiteral("time")).toString();
            R.push_back({T, QDateTime::fromString(T, Qt::ISODateWithMs).toMSecsSinceEpoch()});
        }
    return R;
}

class MqttClock : public ::testing::Test {
protected:
    void SetUp() override {
        if (TTestBroker::Program().isEmpty())
            GTEST_SKIP() << "mosquitto is not installed (scripts/setup installs it)";
        if (FakeTimeLibrary().isEmpty())
            GTEST_SKIP() << "libfaketime is not installed (scripts/setup installs it)";
        WriteAll(Folder.File(QStringLiteral("INI/ComPort.ini")), kComPort);
        QString Error;
        ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    }

    // The environment of a run in Zone, the program's clock the system's
    // (the test's own clock is not handed on). With a timestamp file, the
    // system clock is libfaketime's, as the file says from moment to moment.
    QProcessEnvironment Environment(const QString &Zone, const QString &TimestampFile = {}) {
        QProcessEnvironment E = QProcessEnvironment::systemEnvironment();
        E.remove(QStringLiteral("LANX1_CLOCK_OFFSET_MS"));
        E.remove(QStringLiteral("FAKETIME"));
        E.remove(QStringLiteral("LD_PRELOAD"));
        E.insert(QStringLiteral("TZ"), Zone);
        E.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
        // A lanx1ctl built with AddressSanitizer takes libfaketime before its runtime.
        const QString Asan = E.value(QStringLiteral("ASAN_OPTIONS"));
        E.insert(QStringLiteral("ASAN_OPTIONS"),
                 (Asan.isEmpty() ? QString() : Asan + u':') + QStringLiteral("verify_asan_link_order=0"));
        if (!TimestampFile.isEmpty()) {
            E.insert(QStringLiteral("LD_PRELOAD"), FakeTimeLibrary());
            E.insert(QStringLiteral("FAKETIME_TIMESTAMP_FILE"), TimestampFile);
            E.insert(QStringLiteral("FAKETIME_NO_CACHE"), QStringLiteral("1"));
        }
        return E;
    }

    // lanx1ctl with the system clock starting at Instant ("2026-10-25 00:59:57 UTC").
    TCtlRun RunFrom(const QString &Instant, const QString &Zone, const QStringList &Args) {
        return RunCtl(QStringList{Instant, BuiltCtl()} + Args, Folder.Path(), Environment(Zone),
                      QStandardPaths::findExecutable(QStringLiteral("faketime")));
    }

    QStringList PollArgs(int Count) const {
        return {"--port", Sim.PortName(), "poll", "--period", "100", "--count", QString::number(Count), "--kinds",
                "3,4,5", "--mqtt", Broker.Url()};
    }

    // The times lanx1ctl archive prints for Series on Day (yyyy-MM-dd) in Zone.
    QStringList ArchivedTimes(const QString &Series, const QString &Day, const QString &Zone) {
        QProcessEnvironment E = QProcessEnvironment::systemEnvironment();
        E.insert(QStringLiteral("TZ"), Zone);
        const TCtlRun R = RunCtl({"archive", Series, "--from", Day + QStringLiteral(" 00:00:00"), "--to",
                                  Day + QStringLiteral(" 23:59:59")},
                                 Folder.Path(), E);
        EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
        QStringList Times;
        for (const QString &Line : R.Out.split(u'\n', Qt::SkipEmptyParts))
            Times << Line.section(u'\t', 0, 0);
        return Times;
    }

    TTestFolder Folder;
    TSimulatorFixture Sim;
    TTestBroker Broker;
};

} // namespace

// Polling through the end of summer time: every cycle archived is published,
// each with the offset it was taken with, in the order taken; the archive
// lists the repeated hour in that order too. A later run in another zone
// publishes what it polls.
TEST_F(MqttClock, TheRepeatedHourOfAutumnIsPublishedWholeWithItsOffsets) {
    if (QStandardPaths::findExecutable(QStringLiteral("faketime")).isEmpty())
        GTEST_SKIP() << "faketime is not installed (scripts/setup installs it)";
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    const QString Berlin = QStringLiteral("Europe/Berlin");
    const QString Topic = QStringLiteral("lanx1/1234/state");
    // 02:59:57 summer time; three seconds later the clock shows 02:00 again.
    TCtlRun R = RunFrom(QStringLiteral("2026-10-25 00:59:57 UTC"), Berlin, PollArgs(50));
    ASSERT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("MQTT: 50 messages acknowledged"))) << R.Err.toStdString();
    ASSERT_TRUE(Sub.WaitFor([&](const std::vector<TTestMessage> &All) { return States(All, Topic).size() >= 50; }));
    const std::vector<TStamp> S = States(Sub.Messages(), Topic);
    ASSERT_EQ(S.size(), 50u);
    int Summer = 0, Winter = 0;
    for (std::size_t i = 0; i < S.size(); ++i) {
        if (i > 0) {
            EXPECT_GT(S[i].Ms, S[i - 1].Ms) << S[i - 1].Time.toStdString() << " then " << S[i].Time.toStdString();
        }
        if (S[i].Time.endsWith(QStringLiteral("+02:00"))) {
            ++Summer;
            EXPECT_TRUE(S[i].Time.startsWith(QStringLiteral("2026-10-25T02:59:"))) << S[i].Time.toStdString();
        } else if (S[i].Time.endsWith(QStringLiteral("+01:00"))) {
            ++Winter;
            EXPECT_TRUE(S[i].Time.startsWith(QStringLiteral("2026-10-25T02:00:"))) << S[i].Time.toStdString();
        } else {
            ADD_FAILURE() << S[i].Time.toStdString();
        }
    }
    EXPECT_GT(Summer, 0);
    EXPECT_GT(Winter, 0);
    EXPECT_EQ(Summer + Winter, 50);

    // The archive in the order taken: the summer readings first, then the
    // repeated hour, never interleaved.
    const QStringList Times = ArchivedTimes(QStringLiteral("aLevel"), QStringLiteral("2026-10-25"), Berlin);
    ASSERT_EQ(Times.size(), 50);
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(Times[i].startsWith(i < Summer ? QStringLiteral("2026-10-25 02:59:") : QStringLiteral("2026-10-25 02:00:")))
            << i << ' ' << Times[i].toStdString();

    // Ten minutes later, run in another zone: its cycles are owed and sent.
    R = RunFrom(QStringLiteral("2026-10-25 01:10:00 UTC"), QStringLiteral("Asia/Tokyo"), PollArgs(3));
    ASSERT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("MQTT: 3 messages acknowledged"))) << R.Err.toStdString();
    ASSERT_TRUE(Sub.WaitFor([&](const std::vector<TTestMessage> &All) { return States(All, Topic).size() >= 53; }));
    EXPECT_TRUE(States(Sub.Messages(), Topic).back().Time.endsWith(QStringLiteral("+09:00")));
}

// Summer time begins: the clock jumps from 02:00 to 03:00. Every cycle goes
// out, the offset changes with the clock, the instants run on.
TEST_F(MqttClock, TheHourSkippedInSpringLosesNothing) {
    if (QStandardPaths::findExecutable(QStringLiteral("faketime")).isEmpty())
        GTEST_SKIP() << "faketime is not installed (scripts/setup installs it)";
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    const QString Topic = QStringLiteral("lanx1/1234/state");
    const TCtlRun R = RunFrom(QStringLiteral("2026-03-29 00:59:58 UTC"), QStringLiteral("Europe/Berlin"), PollArgs(30));
    ASSERT_EQ(R.Status, 0) << R.Err.toStdString();
    ASSERT_TRUE(Sub.WaitFor([&](const std::vector<TTestMessage> &All) { return States(All, Topic).size() >= 30; }));
    const std::vector<TStamp> S = States(Sub.Messages(), Topic);
    ASSERT_EQ(S.size(), 30u);
    EXPECT_TRUE(S.front().Time.startsWith(QStringLiteral("2026-03-29T01:59:"))) << S.front().Time.toStdString();
    EXPECT_TRUE(S.front().Time.endsWith(QStringLiteral("+01:00")));
    EXPECT_TRUE(S.back().Time.startsWith(QStringLiteral("2026-03-29T03:00:"))) << S.back().Time.toStdString();
    EXPECT_TRUE(S.back().Time.endsWith(QStringLiteral("+02:00")));
    for (std::size_t i = 1; i < S.size(); ++i)
        EXPECT_GT(S[i].Ms, S[i - 1].Ms) << S[i].Time.toStdString();
    const QStringList Times = ArchivedTimes(QStringLiteral("aFreq"), QStringLiteral("2026-03-29"), QStringLiteral("Europe/Berlin"));
    EXPECT_EQ(Times.size(), 30);
}

// The clock set back ten minutes in the middle of a run: no cycle is
// dropped, none sent twice, and they go out in the order they were taken.
TEST_F(MqttClock, AClockSetBackTenMinutesLosesNothing) {
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    const QString Topic = QStringLiteral("lanx1/1234/state");
    const QString Clock = Folder.File(QStringLiteral("faketime.txt"));
    WriteAll(Clock, "+0\n");
    QProcess Run;
    Run.setWorkingDirectory(Folder.Path());
    Run.setProcessEnvironment(Environment(QStringLiteral("Europe/Berlin"), Clock));
    Run.start(BuiltCtl(), PollArgs(40));
    ASSERT_TRUE(Sub.WaitFor([&](const std::vector<TTestMessage> &All) { return States(All, Topic).size() >= 15; }));
    WriteAll(Clock, "-600\n");
    ASSERT_TRUE(Run.waitForFinished(60000));
    const QString Err = QString::fromUtf8(Run.readAllStandardError());
    EXPECT_EQ(Run.exitCode(), 0) << Err.toStdString();
    EXPECT_TRUE(Err.contains(QStringLiteral("MQTT: 40 messages acknowledged"))) << Err.toStdString();
    ASSERT_TRUE(Sub.WaitFor([&](const std::vector<TTestMessage> &All) { return States(All, Topic).size() >= 40; }));
    const std::vector<TStamp> S = States(Sub.Messages(), Topic);
    ASSERT_EQ(S.size(), 40u);
    int Back = 0;
    for (std::size_t i = 1; i < S.size(); ++i)
        if (S[i].Ms < S[i - 1].Ms) {
            ++Back;
            EXPECT_NEAR(static_cast<double>(S[i - 1].Ms - S[i].Ms), 600000.0, 5000.0);
        }
    EXPECT_EQ(Back, 1); // once, where the clock went back: otherwise in the order taken

    // A second run goes on from there.
    Run.start(BuiltCtl(), PollArgs(2));
    ASSERT_TRUE(Run.waitForFinished(60000));
    EXPECT_TRUE(QString::fromUtf8(Run.readAllStandardError()).contains(QStringLiteral("MQTT: 2 messages acknowledged")));
}
