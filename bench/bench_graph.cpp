// The graph window over 30 days of 1 Hz readings: opening (archive loaded and
// first frame drawn) against the sqlite3 shell's full scan of the same tables,
// a zoom or scroll redraw at that size, and the memory held per point.
#include "BenchArchive.h"
#include "BenchLine.h"
#include "fGraph.h"
#include "uBDE.h"
#include "uDataCtrl.h"
#include "uGraphData.h"
#include "uSysUtils.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <qcustomplot.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kOpenTarget = 2.5;     // x the shell's scan
constexpr double kRedrawTargetMs = 30;  // per redraw
constexpr double kBytesTarget = 64;     // per point held



// Resident memory of the process in bytes.
qint64 ResidentBytes() {
    QFile F(QStringLiteral("/proc/self/statm"));
    if (!F.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> Fields = F.readAll().split(' ');
    return Fields.size() > 1 ? Fields[1].toLongLong() * 4096 : 0;
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return V.empty() ? 0 : V[V.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    QTemporaryDir Dir;
    UseBenchFolder(Dir.path());

    const TDateTime First = DateTimeFromQt(QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
    const TDateTime Stop = First + kBenchDays - 1.0 / 86400;
    const QStringList Files = GenerateMonth(First);
    if (Files.isEmpty())
        return 1;
    QElapsedTimer Clock;

    const QString Shell = SqliteShell();
    const auto RunShell = [&] { return ShellScan(Shell, Files); };

    // Opening: the window created, the archive loaded, the first frame drawn.
    qint64 Points = 0, Held = 0, ResidentDelta = 0;
    double RedrawZoom = 0, RedrawScroll = 0;
    const auto OpenGraph = [&](bool Measure) {
        const qint64 Before = ResidentBytes();
        auto *F = new TFormGraph;
        F->resize(939, 554);
        // A start at midnight would count as "no time given" and become the
        // current time of day: the range starts a second before instead.
        F->Open(QStringLiteral("aLevel"), nullptr, QStringLiteral("График"), First - 1.0 / 86400, Stop);
        F->show();
        F->Chart()->replot(QCustomPlot::rpImmediateRefresh);
        Points = F->Data()->size();
        Held = F->Data()->BytesHeld();
        ResidentDelta = ResidentBytes() - Before;
        if (Measure) {
            // Redraws with the whole month in view, the heaviest case.
            F->Action(QStringLiteral("actShowAllX"))->trigger();
            F->Chart()->replot(QCustomPlot::rpImmediateRefresh);
            std::vector<double> Zoom, Scroll;
            QElapsedTimer T;
            for (int i = 0; i < 20; ++i) {
                T.restart();
                F->Chart()->xAxis->scaleRange(i % 2 ? 1 / 0.9 : 0.9);
                F->Chart()->replot(QCustomPlot::rpImmediateRefresh);
                Zoom.push_back(T.nsecsElapsed() / 1e6);
            }
            for (int i = 0; i < 20; ++i) {
                T.restart();
                F->Chart()->xAxis->moveRange((i % 2 ? -1 : 1) * F->Chart()->xAxis->range().size() * 0.01);
                F->Chart()->replot(QCustomPlot::rpImmediateRefresh);
                Scroll.push_back(T.nsecsElapsed() / 1e6);
            }
            RedrawZoom = Median(Zoom);
            RedrawScroll = Median(Scroll);
        }
        F->close();
        delete F;
    };

    if (Shell.isEmpty())
        Print(QStringLiteral("  sqlite3 shell not found; opening ratio not measured"));
    else
        RunShell(); // both sides find the files in the page cache
    OpenGraph(false);

    double Best = 1e9, ShellBest = 1e9, OpenBest = 1e9;
    qint64 ShellRows = 0;
    for (int Round = 0; Round < 3; ++Round) {
        double ShellTime = 0;
        if (!Shell.isEmpty()) {
            Clock.restart();
            ShellRows = RunShell();
            ShellTime = Clock.nsecsElapsed() / 1e9;
        }
        Clock.restart();
        OpenGraph(Round == 0);
        const double OpenTime = Clock.nsecsElapsed() / 1e9;
        OpenBest = std::min(OpenBest, OpenTime);
        if (ShellTime > 0) {
            ShellBest = std::min(ShellBest, ShellTime);
            Best = std::min(Best, OpenTime / ShellTime);
        }
    }
    Print(QStringLiteral("  graph opened: %1 points in %2 s; sqlite3 shell scan: %3 rows in %4 s")
              .arg(Points).arg(OpenBest, 0, 'f', 3).arg(ShellRows).arg(ShellBest, 0, 'f', 3));
    if (!Shell.isEmpty())
        Print(QStringLiteral("graph opening: %1 x the shell's full scan (target <= %2) %3")
                  .arg(Best, 0, 'f', 2).arg(kOpenTarget, 0, 'f', 1)
                  .arg(Best <= kOpenTarget && Points == ShellRows ? "OK" : "MISSED"));
    const double Redraw = std::max(RedrawZoom, RedrawScroll);
    Print(QStringLiteral("graph redraw: zoom %1 ms, scroll %2 ms, %3 x the %4 ms target %5")
              .arg(RedrawZoom, 0, 'f', 1).arg(RedrawScroll, 0, 'f', 1).arg(Redraw / kRedrawTargetMs, 0, 'f', 2)
              .arg(kRedrawTargetMs, 0, 'f', 0).arg(Redraw <= kRedrawTargetMs ? "OK" : "MISSED"));
    const double PerPoint = Points ? double(Held) / double(Points) : 0;
    Print(QStringLiteral("graph memory: %1 bytes a point held (%2 resident growth a point; target <= %3) %4")
              .arg(PerPoint, 0, 'f', 1).arg(Points ? double(ResidentDelta) / double(Points) : 0, 0, 'f', 1)
              .arg(kBytesTarget, 0, 'f', 0).arg(PerPoint <= kBytesTarget ? "OK" : "MISSED"));
    return 0;
}
