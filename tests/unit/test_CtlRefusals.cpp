// lanx1ctl as a script meets it: what it cannot do exactly it refuses, and
// every failure says what failed, where and why, with the exit status to
// match. Each case runs the program against the simulated transducer, or a
// scripted peer, over a pseudo-terminal.
#include "CtlProcess.h"
#include "Lanx1.h"
#include "RawPeer.h"
#include "SimulatorFixture.h"
#include "TLanx1DeviceModel.h"
#include "TestEnvironment.h"
#include "uClock.h"
#include "uMath.h"
#include "uString.h"
#include "uTransmitter.h"

#include <QDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class CtlRefusals : public ::testing::Test {
protected:
    void SetUp() override {
        WriteAll(Folder.File(QStringLiteral("INI/ComPort.ini")),
                 "[Transmitter]\r\nPort=/dev/lanx1-no-such-port\r\nBaudRate=9600\r\nReadInterval=10\r\n"
                 "ReadTotalConstant=100\r\nReadTotalMultiplier=0\r\n");
    }
    TCtlRun Ctl(const QStringList &Args) { return RunCtl(Args, Folder.Path()); }
    TCtlRun Dev(const QStringList &Args) { return Ctl(QStringList{"--port", Sim.PortName()} + Args); }

    TTestFolder Folder;
    TSimulatorFixture Sim;
};

QString TableFrame(std::uint8_t Kind, int Block) {
    TLanx1 D;
    D.SetTableBlock(static_cast<std::uint8_t>(Block));
    return StringToHex(AppendCrc16(D.BuildRequest(Kind)));
}

} // namespace

// The first block fails at both of its tries (--attempts 2); the later ones
// answer. The line names that block, its frame, its tries and its error, not
// those of the last block.
TEST_F(CtlRefusals, ATableTransferNamesTheBlockThatFailed) {
    Sim.Sim().SetFault(TSimFault::Exception, 2, 2);
    const QString Back = Folder.File(QStringLiteral("back.txt"));
    const TCtlRun R = Dev({"--attempts", "2", "table", "read", Back});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("table block \"Чтение значений уровня: 1 блок\" [") +
                               TableFrame(rkReadTableLevels, 1) + QStringLiteral("] failed after 2 attempts: ")))
        << R.Err.toStdString();
    EXPECT_FALSE(R.Err.contains(QStringLiteral("Норма"))) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("125"))) << R.Err.toStdString(); // the text of exception code 2
    EXPECT_EQ(Sim.Sim().RequestCount(), 2 + 3);
    EXPECT_FALSE(QFileInfo::exists(Back));

    // The write honours --attempts as well.
    Sim.Sim().SetFault(TSimFault::Silence);
    const QString Table = Folder.File(QStringLiteral("t.txt"));
    WriteAll(Table, "T=2\r\n0 0\r\n100 1000\r\n");
    const int Before = Sim.Sim().RequestCount();
    const TCtlRun W = Dev({"--attempts", "1", "table", "write", Table, "T"});
    EXPECT_EQ(W.Status, 1);
    EXPECT_TRUE(W.Err.contains(QStringLiteral("failed after 1 attempt: Нет ответа от устройства"))) << W.Err.toStdString();
    EXPECT_EQ(Sim.Sim().RequestCount(), Before + 4);
}

// The table kinds are read block by block: --block says which, and a device
// that never answers fails the test of the link.
TEST_F(CtlRefusals, StatsOfTheTableKindsAskTheirBlock) {
    TCtlRun R = Dev({"stats", "--count", "3", "--kind", "28", "--block", "2"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_TRUE(R.Out.startsWith(QStringLiteral("Exchanges=3 Answered=3 "))) << R.Out.toStdString();
    ASSERT_EQ(Sim.Sim().RequestCount(), 3);
    EXPECT_EQ(StringToHex(Sim.Sim().Requests().last()), TableFrame(rkReadTableVolumes, 2));

    Sim.Sim().SetFault(TSimFault::Silence);
    R = Dev({"--attempts", "1", "stats", "--count", "2", "--kind", "27"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(Sim.Sim().RequestCount(), 5);
    EXPECT_EQ(StringToHex(Sim.Sim().Requests().last()), TableFrame(rkReadTableLevels, 1));

    for (const QStringList &Wrong : {QStringList{"stats", "--kind", "3", "--block", "1"},
                                     QStringList{"stats", "--kind", "27", "--block", "3"}})
        EXPECT_EQ(Dev(Wrong).Status, 2) << Wrong.join(u' ').toStdString();
    EXPECT_EQ(Sim.Sim().RequestCount(), 5);
}

// A series is a file of the archive: names are compared as the file system
// compares them, and an unknown one is a wrong command line, not an empty archive.
TEST_F(CtlRefusals, AnUnknownSeriesIsRefused) {
    ASSERT_TRUE(QDir().mkpath(Folder.File(QStringLiteral("DATA"))));
    for (const char *Name : {"alevel", "aFoo", "ALEVEL", "aLevel.db"}) {
        const TCtlRun R = Ctl({"archive", Name, "--from", "2024-05-01", "--to", "2024-05-02"});
        EXPECT_EQ(R.Status, 2) << Name;
        EXPECT_TRUE(R.Err.contains(QStringLiteral("aLevel, aVolume, aFreq"))) << R.Err.toStdString();
        EXPECT_TRUE(R.Out.isEmpty());
    }
    EXPECT_EQ(Ctl({"archive", "aFreq", "--from", "2024-05-01", "--to", "2024-05-02"}).Status, 0);
}

// A folder given on the command line that is not there is named, whichever option gave it.
TEST_F(CtlRefusals, AMissingFolderOptionIsNamed) {
    const QString Missing = Folder.File(QStringLiteral("no-such-folder"));
    for (const QStringList &Args :
         {QStringList{"--ini", Missing, "--port", Sim.PortName(), "read", "level"},
          QStringList{"--data", Missing, "--port", Sim.PortName(), "read", "level"},
          QStringList{"archive", "aLevel", "--from", "2024-05-01", "--to", "2024-05-01", "--data", Missing}}) {
        const TCtlRun R = Ctl(Args);
        EXPECT_EQ(R.Status, 1) << Args.join(u' ').toStdString();
        EXPECT_TRUE(R.Err.contains(QStringLiteral("no folder ") + Missing)) << R.Err.toStdString();
    }
    EXPECT_EQ(Sim.Sim().RequestCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(Missing));
}

// A whole frame, checksum right, two bytes where the level has four: the
// short reply's code, not a mismatch.
TEST(CtlShortReply, AWholeFrameThatIsTooShortIsAReadError) {
    TTestFolder Folder;
    WriteAll(Folder.File(QStringLiteral("INI/ComPort.ini")),
             "[Transmitter]\r\nPort=/dev/lanx1-no-such-port\r\nReadInterval=10\r\nReadTotalConstant=200\r\n"
             "ReadTotalMultiplier=0\r\n");
    TRawPeer Peer;
    ASSERT_TRUE(Peer.IsOpen());
    QByteArray Request;
    Peer.Run([&](TPseudoTerminal &Line) {
        Request = TRawPeer::ReadCount(Line, 8);
        if (Request.size() == 8)
            Line.Write(AppendCrc16(QByteArray::fromHex("010302002A")));
    });
    const TCtlRun R = RunCtl({"--port", Peer.PortName(), "--attempts", "1", "read", "level"}, Folder.Path());
    Peer.Join();
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("Ошибка чтения"))) << R.Err.toStdString();
    EXPECT_TRUE(R.Out.isEmpty());
}

// The day's request log cannot be written (a folder of its name): the run
// says so and fails, although the device answered.
TEST_F(CtlRefusals, ARequestLogThatCannotBeWrittenFailsTheRun) {
    const QString Log = Folder.File(QStringLiteral("rd") + CurrentDate().toString(QStringLiteral("yyMMdd")) +
                                    QStringLiteral(".txt"));
    ASSERT_TRUE(QDir().mkpath(Log));
    const TCtlRun R = Dev({"read", "level"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Out.startsWith(QStringLiteral("Level="))) << R.Out.toStdString();
    EXPECT_EQ(R.Err.count(QStringLiteral("request log was not written")), 1) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(Log)) << R.Err.toStdString();
}

// A port that is not there, and one that another program holds: the
// system's reason, and who holds it when the system tells.
TEST_F(CtlRefusals, APortThatDoesNotOpenGivesTheReason) {
    TCtlRun R = Ctl({"--port", "/dev/lanx1-no-such-port", "read", "level"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("cannot open port /dev/lanx1-no-such-port: no such port")))
        << R.Err.toStdString();

    TTransmitter Holder;
    Holder.SetPort(Sim.PortName());
    QString Reason;
    ASSERT_TRUE(Holder.OpenQuietly(Reason)) << Reason.toStdString();
    R = Dev({"read", "level"});
    if (R.Status == 0)
        GTEST_SKIP() << "this system lets a second program open a port in use";
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("the port is busy"))) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("(pid ") + QString::number(::getpid()) + u')')) << R.Err.toStdString();
}
