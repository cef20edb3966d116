// lanx1ctl run after run on one line, as scripts do, against a simulated
// transducer that answers late: no reply owed to one run is taken by the next,
// and a write whose reply is lost is proven by a read-back, or reported as
// not done or not known.
#include "CtlProcess.h"
#include "SimulatorFixture.h"
#include "TLanx1DeviceModel.h"
#include "TestEnvironment.h"

#include <QProcess>
#include <gtest/gtest.h>

using TModel = TLanx1DeviceModel;

namespace {

class CtlAcrossRuns : public ::testing::Test {
protected:
    // ReadTotalConstant is the read time-out of every exchange (no per-byte part).
    void UseReadTimeout(int Ms) {
        WriteAll(Folder.File(QStringLiteral("INI/ComPort.ini")),
                 "[Transmitter]\r\nPort=/dev/lanx1-no-such-port\r\nBaudRate=9600\r\nReadInterval=10\r\n"
                 "ReadTotalMultiplier=0\r\nReadTotalConstant=" +
                     QByteArray::number(Ms) + "\r\n");
    }
    void SetUp() override {
        UseReadTimeout(200);
        Sim.Sim().SetRegister(TModel::rgKKalman, 7);
        Sim.Sim().SetRegister(TModel::rgFreq1, 21000);
    }
    QStringList Args(const QStringList &Command) const { return QStringList{"--port", Sim.PortName()} + Command; }
    TCtlRun Ctl(const QStringList &Command) { return RunCtl(Args(Command), Folder.Path()); }

    TTestFolder Folder;
    TSimulatorFixture Sim;
};

} // namespace

// A run killed while its reply is on its way: the next run asks another
// register with a reply of the same length, and must not take that reply.
TEST_F(CtlAcrossRuns, AReplyOwedToAKilledRunIsNotTheNextRunsAnswer) {
    UseReadTimeout(600);
    Sim.Sim().SetFault(TSimFault::Delay, 300);
    QProcess Killed;
    Killed.setWorkingDirectory(Folder.Path());
    Killed.start(BuiltCtl(), Args({"read", "freq1"}));
    ASSERT_TRUE(Sim.Sim().WaitForRequests(1, 10000));
    Killed.kill();
    ASSERT_TRUE(Killed.waitForFinished(10000));

    const TCtlRun R = Ctl({"read", "kkalman"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out, QStringLiteral("KKalman=7\n")) << R.Err.toStdString();
}

// A device that answers later than the read time-out: the first attempt's
// late reply answers the retry, and the retry's own reply is still owed when
// the run ends. The run waits for it, so that the next run's question meets a
// quiet line, and the write after it carries its own value.
TEST_F(CtlAcrossRuns, ARunWaitsForTheReplyStillOwedBeforeItEnds) {
    Sim.Sim().SetFault(TSimFault::Delay, 300);
    TCtlRun R = Ctl({"read", "kkalman"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out, QStringLiteral("KKalman=7\n"));
    EXPECT_EQ(Sim.Sim().RepliesSent(), Sim.Sim().RequestCount()) << "a reply was still owed when the run ended";

    R = Ctl({"read", "freq1"});
    EXPECT_EQ(R.Out, QStringLiteral("Freq1=21000\n")) << R.Err.toStdString();
    EXPECT_EQ(Sim.Sim().RepliesSent(), Sim.Sim().RequestCount());
    Sim.Sim().ClearFaults();
    const std::uint16_t Control = Sim.Sim().Register(TModel::rgControl);
    R = Ctl({"write", "ModeCurrentOutput=2"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(Sim.Sim().Register(TModel::rgControl), Control & ~0x0010);
}

// The device takes the value but its reply is lost: the read-back shows it done.
TEST_F(CtlAcrossRuns, AWriteWhoseReplyIsLostIsProvenByAReadBack) {
    Sim.Sim().SetFault(TSimFault::Silence, 0, 1);
    TCtlRun R = Ctl({"--attempts", "1", "write", "KKalman=9"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out, QStringLiteral("KKalman=9\n"));
    EXPECT_EQ(Sim.Sim().Register(TModel::rgKKalman), 9);

    // The address change is checked at the new address.
    Sim.Sim().SetFault(TSimFault::Silence, 0, 1);
    R = Ctl({"--attempts", "1", "write", "SystemAddressNew=5", "PlantNumber=4321"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(Sim.Sim().Address(), 5);
    EXPECT_EQ(Sim.Sim().Register(TModel::rgPlantNumber), 4321);
}

// A write the device refused, and one whose outcome no read-back can tell.
TEST_F(CtlAcrossRuns, AWriteNotTakenOrNotConfirmedFails) {
    Sim.Sim().SetFault(TSimFault::Exception, 4, 1);
    TCtlRun R = Ctl({"--attempts", "1", "write", "KKalman=9"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("not done"))) << R.Err.toStdString();
    EXPECT_EQ(Sim.Sim().Register(TModel::rgKKalman), 7);

    // Silent for good: the value went in, but nothing can show it.
    Sim.Sim().SetFault(TSimFault::Silence);
    R = Ctl({"--attempts", "2", "write", "KKalman=11"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("не подтверждено"))) << R.Err.toStdString();
    EXPECT_FALSE(R.Out.contains(QStringLiteral("KKalman=")));
    EXPECT_EQ(Sim.Sim().Register(TModel::rgKKalman), 11);
}
