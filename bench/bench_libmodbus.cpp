// Exchange time of our transmitter against libmodbus's, on the same simulated
// transducer pacing its bytes at 9600 baud: the read of 14 registers from
// register 0 at address 1 (request kind 0), early end of a complete frame on.
//
// An exchange is timed from the request to the reply in hand, with the line
// idle before it, as in a poll: exchanges are 10 ms apart. Back to back, ours
// also keeps the silence of 3.5 characters after a reply that the line needs
// before the next request (it makes sure nothing follows the reply), which
// libmodbus does not; that figure is printed as well, for comparison.
//
// The two never hold the line at the same time, so neither can take the
// other's reply bytes: each round opens our port, times a block, closes it,
// then connects libmodbus, times a block and closes it again. Rounds alternate
// which side goes first, so that a load on the machine falls on both alike.
#include "BenchLine.h"
#include "Lanx1.h"
#include "TLanx1Simulator.h"
#include "uTransmitter.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <modbus.h>
#include <numeric>
#include <thread>
#include <vector>

namespace {

constexpr int kBaud = 9600;
constexpr int kAddress = 1;
constexpr int kRegisters = 14;
constexpr int kRounds = 8;         // short blocks, so that a burst of load lands on both sides
constexpr int kBlock = 5;           // timed exchanges of one side in a round
constexpr double kTarget = 1.10;    // our exchange time / libmodbus's
constexpr int kPauseMs = 10;        // between the exchanges of a poll-like block

using TClock = std::chrono::steady_clock;

// Seconds of each timed exchange of one side.
struct TTally {
    std::vector<double> Seconds;
    void Add(TClock::time_point Start) {
        Seconds.push_back(std::chrono::duration<double>(TClock::now() - Start).count());
    }
    int Exchanges() const { return static_cast<int>(Seconds.size()); }
    double Mean() const {
        return Seconds.empty() ? 0 : std::accumulate(Seconds.begin(), Seconds.end(), 0.0) / Exchanges();
    }
    // Shows whether a mean was pulled up by a few stalls of a loaded machine.
    double Median() const {
        std::vector<double> Sorted = Seconds;
        std::sort(Sorted.begin(), Sorted.end());
        return Sorted.empty() ? 0 : Sorted[Sorted.size() / 2];
    }
};

// One block of our exchanges; false when the port will not open or a reply is
// missing or broken.
void Pause(int Ms) {
    if (Ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
}

bool OurBlock(TTransmitter &Port, const QByteArray &Frame, TTally &Tally, int PauseMs) {
    if (!Port.Open())
        return false;
    QByteArray Reply;
    bool Ok = true;
    try {
        // Untimed: the simulator may still be backing off from the moment no
        // one had the line open.
        Port.Transmit(Frame, Reply, true, 140);
        for (int i = 0; i < kBlock && Ok; ++i) {
            Pause(PauseMs);
            const auto Start = TClock::now();
            Port.Transmit(Frame, Reply, true, 140);
            Tally.Add(Start);
            Ok = TTransmitter::IsCompleteReply(Reply) && Reply.size() == 5 + 2 * kRegisters;
        }
    } catch (const ETransmitterError &E) {
        std::fprintf(stderr, "transmitter: %s\n", E.what());
        Ok = false;
    }
    Port.Close();
    if (!Ok)
        std::fprintf(stderr, "transmitter: no complete reply (%d bytes)\n", static_cast<int>(Reply.size()));
    return Ok;
}

// The same block through libmodbus, which opens the port itself.
bool LibmodbusBlock(const QByteArray &Path, TTally &Tally, int PauseMs) {
    modbus_t *Ctx = modbus_new_rtu(Path.constData(), kBaud, 'N', 8, 1);
    if (!Ctx) {
        std::fprintf(stderr, "libmodbus: %s\n", modbus_strerror(errno));
        return false;
    }
    modbus_set_slave(Ctx, kAddress);
    modbus_set_response_timeout(Ctx, 1, 0);
    bool Ok = modbus_connect(Ctx) == 0;
    int Error = Ok ? 0 : errno;
    std::uint16_t Regs[kRegisters];
    if (Ok) {
        modbus_read_registers(Ctx, 0, kRegisters, Regs); // untimed, as ours
        for (int i = 0; i < kBlock && Ok; ++i) {
            Pause(PauseMs);
            const auto Start = TClock::now();
            const int Got = modbus_read_registers(Ctx, 0, kRegisters, Regs);
            Tally.Add(Start);
            Ok = Got == kRegisters;
            Error = Ok ? 0 : errno; // before the close can change it
        }
        modbus_close(Ctx);
    }
    if (!Ok)
        std::fprintf(stderr, "libmodbus: %s\n", modbus_strerror(Error));
    modbus_free(Ctx);
    return Ok;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    // Our port is opened once a round; its "opened" line would only clutter the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("lanx1.transmitter.debug=false"));
    QTemporaryDir Dir;
    TLanx1Simulator Sim;
    Sim.SetAddress(kAddress);
    TTransmitter Port;
    if (!StartBenchLine(Sim, Port, Dir.filePath("ComPort.ini"), kBaud))
        return 1;

    TLanx1 Device;
    const QByteArray Frame = Device.BuildRequest(rkReadAll);
    const QByteArray Path = Sim.PortName().toLocal8Bit();
    const double Wire = (Frame.size() + 2 + 5 + 2 * kRegisters) * 10.0 / kBaud;
    double Ratio[2] = {0, 0};
    for (const int PauseMs : {kPauseMs, 0}) {
        TTally Ours, Theirs;
        for (int Round = 0; Round < kRounds; ++Round) {
            const bool OursFirst = Round % 2 == 0;
            if (OursFirst && !OurBlock(Port, Frame, Ours, PauseMs))
                return 1;
            if (!LibmodbusBlock(Path, Theirs, PauseMs))
                return 1;
            if (!OursFirst && !OurBlock(Port, Frame, Ours, PauseMs))
                return 1;
        }
        std::printf("  %s: transmitter %.1f ms an exchange (median %.1f), libmodbus %.1f ms (median %.1f); "
                    "%d exchanges each, wire time %.1f ms\n",
                    PauseMs ? "10 ms apart" : "back to back", Ours.Mean() * 1000, Ours.Median() * 1000,
                    Theirs.Mean() * 1000, Theirs.Median() * 1000, Ours.Exchanges(), Wire * 1000);
        Ratio[PauseMs ? 0 : 1] = Ours.Mean() / Theirs.Mean();
    }
    std::printf("exchange time / libmodbus: %.2f (target <= %.2f) %s; back to back %.2f (with the 3.5-character "
                "silence after each reply)\n",
                Ratio[0], kTarget, Ratio[0] <= kTarget ? "OK" : "MISSED", Ratio[1]);
    return 0;
}
