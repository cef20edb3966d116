// The cost of the start-up guard: the first exchange after the port opens
// first waits until the line has been silent for the read time-out of the
// longest reply, so that a reply owed to an earlier run cannot pass for its
// answer. On a healthy line that is one read time-out per run (one
// lanx1ctl command), held here against one exchange and one read time-out.
#include "BenchLine.h"
#include "Lanx1.h"
#include "TLanx1Simulator.h"
#include "uTransmitter.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kBaud = 9600;
constexpr int kRuns = 10;
constexpr int kReplyMax = 140;
constexpr double kGuardTarget = 1.15; // x one read time-out

double Seconds(std::chrono::steady_clock::time_point Start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    QTemporaryDir Dir;
    TLanx1Simulator Sim;
    TTransmitter Port;
    if (!StartBenchLine(Sim, Port, Dir.filePath("ComPort.ini"), kBaud))
        return 1;
    TLanx1 Device;
    const QByteArray Frame = Device.BuildRequest(rkReadLevel);
    const int ReadTimeoutMs = Port.GetSettings().ReadTotalTimeout(kReplyMax);

    std::vector<double> First, Later;
    QByteArray Reply;
    for (int Run = 0; Run < kRuns; ++Run) {
        if (!Port.Open())
            return 1;
        auto Start = std::chrono::steady_clock::now();
        Port.Transmit(Frame, Reply, true, kReplyMax); // with the guard
        First.push_back(Seconds(Start));
        Start = std::chrono::steady_clock::now();
        Port.Transmit(Frame, Reply, true, kReplyMax); // without
        Later.push_back(Seconds(Start));
        Port.Close();
    }
    const double Exchange = Median(Later);
    const double Guard = Median(First) - Exchange;
    std::printf("  one exchange %.1f ms; first exchange after opening %.1f ms; read time-out %d ms\n",
                Exchange * 1000, Median(First) * 1000, ReadTimeoutMs);
    const double PerTimeout = Guard * 1000 / ReadTimeoutMs;
    std::printf("start-up guard: %.1f ms = %.2f exchanges = %.2f read time-outs (target <= %.2f) %s\n", Guard * 1000,
                Guard / Exchange, PerTimeout, kGuardTarget, PerTimeout <= kGuardTarget ? "OK" : "MISSED");
    return 0;
}
