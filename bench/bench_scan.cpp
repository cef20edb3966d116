// A scan of addresses 1..247 at one baud rate against a simulated transducer
// that never answers: every try waits out its whole time-out, so the scan
// should take 247 time-outs and little more. Reported as the ratio of the
// measured time to 247 x the computed per-try time-out.
#include "TLanx1Simulator.h"
#include "uDeviceScan.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>

namespace {
constexpr int kBaud = 9600;
} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    TLanx1Simulator Sim;
    if (!Sim.Start()) {
        std::fprintf(stderr, "bench_scan: no pseudo-terminal\n");
        return 1;
    }
    Sim.SetFault(TSimFault::Silence, 0);

    TScanOptions Options;
    Options.Ports = {Sim.PortName()};
    Options.BaudRates = {kBaud};
    Options.FirstAddress = 1;
    Options.LastAddress = 247;
    TDeviceScan Scan(Options);
    const auto Start = std::chrono::steady_clock::now();
    Scan.Run();
    const std::chrono::duration<double, std::milli> Took = std::chrono::steady_clock::now() - Start;

    const int Tries = Scan.Progress().TriesDone;
    const double Planned = 247 * TDeviceScan::TryTimeoutMs(kBaud);
    const double Ratio = Took.count() / Planned;
    std::printf("  %d tries at %d baud in %.0f ms; time-out %.2f ms a try, %.0f ms for 247; requests seen %d\n",
                Tries, kBaud, Took.count(), TDeviceScan::TryTimeoutMs(kBaud), Planned, Sim.RequestCount());
    std::printf("scan time / (247 x per-try time-out): %.3f (target <= 1.1) %s\n", Ratio,
                Ratio <= 1.1 && Tries == 247 ? "OK" : "MISSED");
    return 0;
}
