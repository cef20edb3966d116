// The main window while it polls a device that never answers, every 100 ms,
// kinds 0, 3, 4 and 5, with the statistics window open: the longest time its
// event loop went without running, for 60 s (LANX1_BENCH_SECONDS). A second
// run reads the statistics as the window once did, waiting for the port
// thread (twice a second, settled), for the figure it is held against.
#include "BenchLine.h"
#include "Lanx1.h"
#include "TLanx1Simulator.h"
#include "fExchangeStatistics.h"
#include "fMain.h"
#include "uBDE.h"
#include "uLanx1Instance.h"
#include "uRequestDevices.h"
#include "uSysUtils.h"
#include "uWin1251.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr double kStallTargetMs = 50;
constexpr int kTickMs = 2;

int BenchSeconds() {
    bool Ok = false;
    const int S = qEnvironmentVariableIntValue("LANX1_BENCH_SECONDS", &Ok);
    return Ok && S > 0 ? S : 60;
}

// The longest gap between two ticks of a fast timer beyond its interval,
// while the window polls for Seconds; Settled reads the statistics the old way.
double LongestStallMs(int Seconds, bool Settled) {
    auto Form = std::make_unique<TFormMain>();
    Form->show();
    Form->actExchangeStatistics->trigger();
    PollSet.Clear();
    for (int Kind : {rkReadAll, rkReadLevel, rkReadVolume, rkReadFrequency})
        PollSet.Include(Kind);
    RequestDevices->ReqDevicesTimer->SetInterval(100);
    Form->actOprosStart->trigger();

    QTimer OldWay;
    if (Settled) {
        QObject::connect(&OldWay, &QTimer::timeout, [] {
            RequestDevices->SettledStatistics();
            RequestDevices->SettledStatistics();
        });
        OldWay.start(500);
    }
    double Longest = 0;
    QElapsedTimer Since;
    Since.start();
    QTimer Tick;
    Tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Tick, &QTimer::timeout, [&] {
        Longest = std::max(Longest, double(Since.nsecsElapsed()) / 1e6 - kTickMs);
        Since.restart();
    });
    Tick.start(kTickMs);
    // A loop of its own: quitting the application would ask to close the window.
    QEventLoop Loop;
    QTimer::singleShot(Seconds * 1000, &Loop, &QEventLoop::quit);
    Loop.exec();
    Tick.stop();
    OldWay.stop();
    Form->actOprosStop->trigger();
    if (TFormExchangeStatistics::Instance())
        TFormExchangeStatistics::Instance()->close();
    Form.reset();
    return Longest;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    QTemporaryDir Dir;
    UseBenchFolder(Dir.path());

    TLanx1Simulator Sim;
    Sim.SetFault(TSimFault::Silence);
    if (!Sim.Start()) {
        std::fprintf(stderr, "no pseudo-terminal for the simulator\n");
        return 1;
    }
    QFile Ini(Dir.path() + QStringLiteral("/INI/ComPort.ini"));
    if (!Ini.open(QIODevice::WriteOnly))
        return 1;
    Ini.write(ToWin1251(QStringLiteral("[Transmitter]\r\nPort=") + Sim.PortName() + QStringLiteral("\r\n")));
    Ini.close();

    CreateLanx1();
    auto Engine = std::make_unique<TRequestDevices>();
    RequestDevices = Engine.get();
    const int Seconds = BenchSeconds();
    const double Now = LongestStallMs(Seconds, false);
    const double Before = LongestStallMs(Seconds, true);
    RequestDevices = nullptr;
    Engine.reset();
    DestroyLanx1();

    std::printf("  polling a silent device every 100 ms (kinds 0,3,4,5) for %d s, statistics window open\n", Seconds);
    std::printf("  statistics read waiting for the port thread, as before: longest stall %.1f ms\n", Before);
    std::printf("window event loop: longest stall %.1f ms (target <= %.0f ms) %s\n", Now, kStallTargetMs,
                Now <= kStallTargetMs ? "OK" : "MISSED");
    return 0;
}
