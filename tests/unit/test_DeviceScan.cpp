// The search for a transducer of unknown settings, through the real port code
// against the simulated transducer on a pseudo-terminal that answers only at
// its own baud rate.
#include "SimulatorFixture.h"
#include "TLanx1DeviceModel.h"
#include "uDeviceScan.h"
#include "uMath.h"

#include <QDeadlineTimer>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using TModel = TLanx1DeviceModel;

namespace {

TScanOptions OptionsFor(const QString &Port, QList<int> Bauds, int First, int Last) {
    TScanOptions O;
    O.Ports = {Port};
    O.BaudRates = std::move(Bauds);
    O.FirstAddress = First;
    O.LastAddress = Last;
    return O;
}

int AddressOf(const QByteArray &Frame) {
    return Frame.isEmpty() ? -1 : static_cast<std::uint8_t>(Frame[0]);
}

} // namespace

TEST(DeviceScanPlan, TryTimeoutComesFromTheWireTime) {
    // 2 x (8 + 9 bytes) x 11 bits at 9600 baud is 38.96 ms, plus 20 ms.
    EXPECT_NEAR(TDeviceScan::TryTimeoutMs(9600), 58.958, 0.001);
    EXPECT_NEAR(TDeviceScan::TryTimeoutMs(115200), 23.247, 0.001);
    EXPECT_NEAR(TDeviceScan::TryTimeoutMs(1200), 331.667, 0.001);
    // 247 addresses at 9600 baud take about 15 s.
    TScanOptions O;
    O.BaudRates = {9600};
    EXPECT_NEAR(TDeviceScan::PlannedMs(O, 1) / 1000, 14.56, 0.01);
}

TEST(DeviceScanPlan, AddressOneAndTheAddressInUseComeFirst) {
    EXPECT_EQ(TDeviceScan::AddressOrder(1, 5, 4), (QList<int>{1, 4, 2, 3, 5}));
    EXPECT_EQ(TDeviceScan::AddressOrder(1, 5, 0), (QList<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(TDeviceScan::AddressOrder(1, 5, 1), (QList<int>{1, 2, 3, 4, 5}));
    // Only addresses of the range are tried.
    EXPECT_EQ(TDeviceScan::AddressOrder(3, 6, 9), (QList<int>{3, 4, 5, 6}));
    EXPECT_EQ(TDeviceScan::AddressOrder(3, 6, 5), (QList<int>{5, 3, 4, 6}));
    EXPECT_EQ(TDeviceScan::AddressOrder(1, 247, 0).size(), 247);
    EXPECT_EQ(TScanOptions::DefaultBaudRates(), (QList<int>{9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200}));
}

TEST(DeviceScanPlan, RepliesAreJudgedByEveryField) {
    EXPECT_EQ(TDeviceScan::ProbeFrame(37), QByteArray::fromHex("250300000002"));
    std::uint16_t Plant = 0, Mod = 0;
    const QByteArray Good = AppendCrc16(QByteArray::fromHex("25030410E10002"));
    EXPECT_EQ(TDeviceScan::CheckProbeReply(Good, 37, Plant, Mod), TProbeVerdict::Answer);
    EXPECT_EQ(Plant, 4321);
    EXPECT_EQ(Mod, 2);
    EXPECT_EQ(TDeviceScan::CheckProbeReply({}, 37, Plant, Mod), TProbeVerdict::Silent);
    QByteArray Bad = Good;
    Bad[4] = 0;
    EXPECT_EQ(TDeviceScan::CheckProbeReply(Bad, 37, Plant, Mod), TProbeVerdict::Garbled);
    EXPECT_EQ(TDeviceScan::CheckProbeReply(QByteArray::fromHex("2503"), 37, Plant, Mod), TProbeVerdict::Garbled);
    // Valid frames that answer something else.
    EXPECT_EQ(TDeviceScan::CheckProbeReply(Good, 36, Plant, Mod), TProbeVerdict::Foreign);
    EXPECT_EQ(TDeviceScan::CheckProbeReply(AppendCrc16(QByteArray::fromHex("250302002A")), 37, Plant, Mod),
              TProbeVerdict::Foreign);
    EXPECT_EQ(TDeviceScan::CheckProbeReply(AppendCrc16(QByteArray::fromHex("258302")), 37, Plant, Mod),
              TProbeVerdict::Foreign);
}

// The device listens at 2400 baud on address 37: the scan walks 9600 first
// (silence), then finds it at 2400, with the address in use tried first. (A
// slow rate leaves the reply a wide margin within its time-out on a busy machine.)
TEST(DeviceScan, FindsTheDeviceAtItsBaudRateAndAddress) {
    TSimulatorFixture Line;
    TLanx1Simulator &Sim = Line.Sim();
    Sim.SetAddress(37);
    Sim.SetBaudRate(2400);
    Sim.SetBaudRateCheck(true);
    Sim.SetRegister(TModel::rgPlantNumber, 4321);
    Sim.SetRegister(TModel::rgModification, 2);

    TScanOptions O = OptionsFor(Line.PortName(), {9600, 2400, 4800}, 34, 40);
    O.CurrentAddress = 39;
    TDeviceScan Scan(O);
    QList<TScanProgress> Events;
    QList<TScanDevice> Announced;
    Scan.OnProgress = [&](const TScanProgress &P) { Events << P; };
    Scan.OnFound = [&](const TScanDevice &D) { Announced << D; };
    const QList<TScanDevice> Found = Scan.Run();

    const TScanDevice Expected{Line.PortName(), 2400, 37, 4321, 2};
    ASSERT_EQ(Found.size(), 1);
    EXPECT_EQ(Found[0], Expected);
    EXPECT_EQ(Announced, Found);
    EXPECT_EQ(Found[0].Line(), QStringLiteral("Port=%1 BaudRate=2400 Address=37 PlantNumber=4321 Modification=2")
                                   .arg(Line.PortName()));
    EXPECT_TRUE(Scan.Garbled().isEmpty());
    EXPECT_TRUE(Scan.Finished());

    // 7 silent tries at 9600 baud, then 39, 34, 35, 36 and 37 twice (the
    // confirmation) at 2400; the scan stops at the first device found.
    QList<int> Asked;
    for (const QByteArray &F : Sim.Requests())
        Asked << AddressOf(F);
    EXPECT_EQ(Asked, (QList<int>{39, 34, 35, 36, 37, 38, 40, 39, 34, 35, 36, 37, 37}));
    EXPECT_EQ(Sim.RepliesSent(), 2);

    // Progress before every try, then once at the end.
    ASSERT_EQ(Events.size(), 13);
    EXPECT_EQ(Events[0].Port, Line.PortName());
    EXPECT_EQ(Events[0].BaudRate, 9600);
    EXPECT_EQ(Events[0].Address, 39);
    EXPECT_EQ(Events[0].TriesTotal, 21);
    EXPECT_EQ(Events[11].BaudRate, 2400);
    EXPECT_EQ(Events[11].Address, 37);
    EXPECT_EQ(Events.back().Found, 1);
    EXPECT_TRUE(Events.back().Finished);
    EXPECT_EQ(Events.back().TriesDone, 12);
    EXPECT_EQ(Events.back().LeftMs, 0);
    for (int i = 1; i < Events.size(); ++i)
        EXPECT_GE(Events[i].ElapsedMs, Events[i - 1].ElapsedMs);
    EXPECT_GT(Events[1].LeftMs, 0);
}

// "Search all" goes on after the first device: two tries at the found
// address at another speed stay silent and every try is made.
TEST(DeviceScan, SearchAllGoesOnAfterTheFirstDevice) {
    TSimulatorFixture Line;
    Line.Sim().SetAddress(2);
    Line.Sim().SetBaudRate(4800);
    Line.Sim().SetBaudRateCheck(true);
    TScanOptions O = OptionsFor(Line.PortName(), {4800, 9600}, 1, 3);
    O.FindAll = true;
    TDeviceScan Scan(O);
    const QList<TScanDevice> Found = Scan.Run();
    ASSERT_EQ(Found.size(), 1);
    EXPECT_EQ(Found[0].BaudRate, 4800);
    EXPECT_EQ(Found[0].Address, 2);
    EXPECT_EQ(Scan.Progress().TriesDone, 6);
    EXPECT_EQ(Scan.Progress().TriesTotal, 6);
    EXPECT_EQ(Line.Sim().RequestCount(), 7); // six tries and one confirmation
}

// A reply that fails its checksum marks the port and baud rate, once.
TEST(DeviceScan, ReportsAGarbledPort) {
    TSimulatorFixture Line;
    Line.Sim().SetBaudRate(19200);
    Line.Sim().SetBaudRateCheck(true);
    Line.Sim().SetWrongBaudGarbage(true);
    TDeviceScan Scan(OptionsFor(Line.PortName(), {9600, 4800}, 1, 3));
    QList<TScanGarbled> Announced;
    Scan.OnGarbled = [&](const TScanGarbled &G) { Announced << G; };
    EXPECT_TRUE(Scan.Run().isEmpty());
    const QList<TScanGarbled> Garbled = Scan.Garbled();
    ASSERT_EQ(Garbled.size(), 2);
    EXPECT_EQ(Garbled[0].Port, Line.PortName());
    EXPECT_EQ(Garbled[0].BaudRate, 9600);
    EXPECT_EQ(Garbled[0].Address, 1);
    EXPECT_EQ(Garbled[1].BaudRate, 4800);
    EXPECT_EQ(Announced.size(), 2);
    EXPECT_EQ(Line.Sim().GarbageSent(), 6);
    EXPECT_EQ(Line.Sim().RepliesSent(), 0);
}

// A checksum error of a device at the right speed is a garbled signal too.
TEST(DeviceScan, AChecksumErrorIsAGarbledSignalNotADevice) {
    TSimulatorFixture Line;
    Line.Sim().SetFault(TSimFault::BadCrc, 0);
    TDeviceScan Scan(OptionsFor(Line.PortName(), {9600}, 1, 2));
    EXPECT_TRUE(Scan.Run().isEmpty());
    ASSERT_EQ(Scan.Garbled().size(), 1);
    EXPECT_EQ(Scan.Garbled()[0].Address, 1);
}

TEST(DeviceScan, StopsWhenAsked) {
    TSimulatorFixture Line;
    Line.Sim().SetFault(TSimFault::Silence, 0);
    // 247 tries at 1200 baud would take 82 s.
    TDeviceScan Scan(OptionsFor(Line.PortName(), {1200}, 1, 247));
    std::mutex Lock;
    std::condition_variable Changed;
    int Started = 0;
    Scan.OnProgress = [&](const TScanProgress &) {
        std::lock_guard Guard(Lock);
        ++Started;
        Changed.notify_all();
    };
    std::chrono::steady_clock::time_point Ended;
    std::thread Worker([&] {
        Scan.Run();
        Ended = std::chrono::steady_clock::now();
    });
    {
        // Stop in the middle of the third try.
        std::unique_lock Guard(Lock);
        ASSERT_TRUE(Changed.wait_for(Guard, std::chrono::seconds(20), [&] { return Started >= 3; }));
    }
    ASSERT_TRUE(Line.Sim().WaitForRequests(3, 5000));
    const auto Asked = std::chrono::steady_clock::now();
    Scan.Stop();
    Worker.join();
    EXPECT_LT(Ended - Asked, std::chrono::milliseconds(500)); // asked: 100 ms
    EXPECT_TRUE(Scan.Finished());
    EXPECT_TRUE(Scan.StopRequested());
    EXPECT_LT(Scan.Progress().TriesDone, 247);
    EXPECT_TRUE(Scan.Progress().Finished);
    EXPECT_FALSE(Scan.Step());
}

// A scan run step by step (as a dialog's timer would) gives the same result.
TEST(DeviceScan, RunsStepByStep) {
    TSimulatorFixture Line;
    Line.Sim().SetAddress(3);
    TDeviceScan Scan(OptionsFor(Line.PortName(), {9600}, 1, 5));
    int Steps = 0;
    while (Scan.Step())
        ++Steps;
    EXPECT_EQ(Steps, 2); // addresses 1 and 2; the third step finds the device and ends
    ASSERT_EQ(Scan.Found().size(), 1);
    EXPECT_EQ(Scan.Found()[0].Address, 3);
}

TEST(DeviceScan, APortThatDoesNotOpenIsSkipped) {
    TSimulatorFixture Line;
    TScanOptions O = OptionsFor(QStringLiteral("/dev/lanx1-no-such-port"), {9600, 19200}, 1, 2);
    O.Ports << Line.PortName();
    TDeviceScan Scan(O);
    QList<TScanPortFailure> Announced;
    Scan.OnPortFailure = [&](const TScanPortFailure &F) { Announced << F; };
    const QList<TScanDevice> Found = Scan.Run();
    ASSERT_EQ(Scan.PortFailures().size(), 1);
    EXPECT_EQ(Scan.PortFailures()[0].Port, QStringLiteral("/dev/lanx1-no-such-port"));
    EXPECT_FALSE(Scan.PortFailures()[0].Reason.isEmpty());
    EXPECT_EQ(Announced.size(), 1);
    ASSERT_EQ(Found.size(), 1);
    EXPECT_EQ(Found[0].Port, Line.PortName());
    EXPECT_EQ(Found[0].Address, 1);
}

// The progress bar shows the share of the time, not of the tries: nine
// quick tries at 115200 baud are a tenth of the work when a slow one is left.
TEST(DeviceScanPlan, ProgressIsTheShareOfTheTime) {
    TScanProgress P;
    P.TriesDone = 9;
    P.TriesTotal = 10;
    P.ElapsedMs = 1000;
    P.LeftMs = 9000;
    EXPECT_DOUBLE_EQ(P.TimeFraction(), 0.1);
    EXPECT_DOUBLE_EQ(P.Fraction(), 0.9);
    P.ElapsedMs = P.LeftMs = 0; // nothing timed yet: the tries
    EXPECT_DOUBLE_EQ(P.TimeFraction(), 0.9);
    P.Finished = true; // stopped: as far as it went
    EXPECT_DOUBLE_EQ(P.TimeFraction(), 0.9);
    P.TriesDone = 10;
    EXPECT_DOUBLE_EQ(P.TimeFraction(), 1.0);
}
