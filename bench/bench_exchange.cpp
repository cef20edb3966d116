// Exchange time against the simulated transducer pacing its bytes at 9600 baud,
// divided by the wire time of request plus reply (10 bits a byte), with the
// early end of a complete frame on and off.
#include "BenchLine.h"
#include "Lanx1.h"
#include "TLanx1Simulator.h"
#include "uMath.h"
#include "uTransmitter.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

namespace {

constexpr int kBaud = 9600;
constexpr int kExchanges = 40;

// Mean seconds per exchange of Frame, and the reply length seen.
double MeasureExchange(TTransmitter &Port, const QByteArray &Frame, int &ReplyLength) {
    QByteArray Reply;
    Port.Transmit(Frame, Reply, true, 140); // warm-up
    const auto Start = std::chrono::steady_clock::now();
    for (int i = 0; i < kExchanges; ++i)
        Port.Transmit(Frame, Reply, true, 140);
    const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
    ReplyLength = static_cast<int>(Reply.size());
    return Took.count() / kExchanges;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    QTemporaryDir Dir;
    TLanx1Simulator Sim;
    TTransmitter Port;
    if (!StartBenchLine(Sim, Port, Dir.filePath("ComPort.ini"), kBaud))
        return 1;
    TPortSettings S = Port.GetSettings();
    if (!Port.Open())
        return 1;

    TLanx1 Device;
    const QByteArray Frame = Device.BuildRequest(rkReadAll);
    double Ratio[2] = {0, 0};
    for (int EndOfFrame : {1, 0}) {
        S.EndOfFrame = EndOfFrame;
        Port.SetSettings(S);
        int ReplyLength = 0;
        const double Seconds = MeasureExchange(Port, Frame, ReplyLength);
        const double Wire = (Frame.size() + 2 + ReplyLength) * 10.0 / kBaud;
        Ratio[EndOfFrame] = Seconds / Wire;
        std::printf("  EndOfFrame=%d: %.1f ms an exchange, wire time %.1f ms (%d + %d bytes)\n", EndOfFrame,
                    Seconds * 1000, Wire * 1000, static_cast<int>(Frame.size() + 2), ReplyLength);
    }
    // A pseudo-terminal hands the request over at once, so only the reply
    // really spends its wire time; a ratio below 1 is that, not an error.
    std::printf("exchange time / wire time: %.2f with EndOfFrame 1 (target <= 1.15) %s; %.2f with EndOfFrame 0\n",
                Ratio[1], Ratio[1] <= 1.15 ? "OK" : "MISSED", Ratio[0]);
    return 0;
}
