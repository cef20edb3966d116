// Archive store figures:
//  (a) readings archived per second, each as the polling engine stores it: a
//      row opened, inserted and closed, then a text line appended;
//  (b) a 30-day range of 1 Hz readings read through the store, against the
//      sqlite3 shell's full scan of the same day tables.
#include "BenchArchive.h"
#include "uBDE.h"
#include "uDataCtrl.h"
#include "uSysUtils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <sqlite3.h>

namespace {

constexpr double kWriteTarget = 2000;  // readings per second
constexpr double kReadTarget = 2.0;    // store time / shell time


double WriteRate(const QString &Root) {
    SetDbPath(Root + QStringLiteral("/write"));
    const TDateTime Start = DateTimeFromQt(QDateTime(QDate(2024, 3, 5), QTime(8, 0)));
    // Warm-up: the day folder and table exist, as for every reading but the first of a day.
    ArchiveWrite(QStringLiteral("aLevel"), QString(), Start, 0);
    int Count = 0, Failed = 0;
    QElapsedTimer Clock;
    Clock.start();
    while (Clock.elapsed() < 3000) {
        const TDateTime DT = Start + (Count + 1) / 86400.0;
        const double V = 1000.0 + Count % 97;
        Failed += !ArchiveWrite(QStringLiteral("aLevel"), QString(), DT, V);
        Failed += !ArchiveWriteText(QStringLiteral("aLevel"), QString(), 9, 1, DT, V);
        ++Count;
    }
    const double Seconds = Clock.nsecsElapsed() / 1e9;
    if (Failed)
        Print(QStringLiteral("  %1 writes failed").arg(Failed));
    return Count / Seconds;
}


void ReadRatio(const QString &Root) {
    SetDbPath(Root + QStringLiteral("/read"));
    const TDateTime First = DateTimeFromQt(QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
    const QStringList Files = GenerateMonth(First);
    if (Files.isEmpty())
        return;
    QElapsedTimer Clock;

    const QString Shell = SqliteShell();
    if (Shell.isEmpty()) {
        Print(QStringLiteral("  sqlite3 shell not found; reading ratio not measured"));
        return;
    }
    // Both sides read the files once first, so both find them in the page cache.
    const auto RunShell = [&] { return ShellScan(Shell, Files); };
    TArchiveSeries Points;
    const TDateTime Stop = First + kBenchDays - 1.0 / 86400;
    const auto RunStore = [&] { ReadArchiveRange(QStringLiteral("aLevel"), First, Stop, Points); };
    RunShell();
    RunStore();

    double Best = 1e9, ShellBest = 1e9, StoreBest = 1e9;
    qint64 ShellRows = 0;
    for (int Round = 0; Round < 3; ++Round) {
        Clock.restart();
        ShellRows = RunShell();
        const double ShellTime = Clock.nsecsElapsed() / 1e9;
        Clock.restart();
        RunStore();
        const double StoreTime = Clock.nsecsElapsed() / 1e9;
        ShellBest = std::min(ShellBest, ShellTime);
        StoreBest = std::min(StoreBest, StoreTime);
        Best = std::min(Best, StoreTime / ShellTime);
    }
    Print(QStringLiteral("  store range query: %1 points in %2 s; sqlite3 shell scan: %3 rows in %4 s")
              .arg(Points.size()).arg(StoreBest, 0, 'f', 3).arg(ShellRows).arg(ShellBest, 0, 'f', 3));
    Print(QStringLiteral("archive reading: %1 x the shell's full scan (target <= %2) %3")
              .arg(Best, 0, 'f', 2).arg(kReadTarget, 0, 'f', 1)
              .arg(Best <= kReadTarget && qint64(Points.size()) == ShellRows ? "OK" : "MISSED"));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    QTemporaryDir Dir(QDir::currentPath() + QStringLiteral("/bench_archive-XXXXXX"));
    if (!Dir.isValid())
        return 1;
    // An argument "write" or "read" runs that part alone.
    const QString Part = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (Part != QStringLiteral("read")) {
        const double Rate = WriteRate(Dir.path());
        Print(QStringLiteral("archive writing: %1 readings/s (target >= %2/s), ratio %3 %4")
              .arg(Rate, 0, 'f', 0).arg(kWriteTarget, 0, 'f', 0).arg(Rate / kWriteTarget, 0, 'f', 2)
              .arg(Rate >= kWriteTarget ? "OK" : "MISSED"));
    }
    if (Part != QStringLiteral("write"))
        ReadRatio(Dir.path());
    return 0;
}
