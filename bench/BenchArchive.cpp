#include "BenchArchive.h"

#include "uArchiveDb.h"
#include "uBDE.h"
#include "uSysUtils.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <sqlite3.h>

namespace {

// One table filled with a reading per second in one transaction.
bool FillDay(const QString &Path, TDateTime Day) {
    if (!CreateArchiveTable(Path))
        return false;
    sqlite3 *Db = nullptr;
    bool Ok = sqlite3_open_v2(Path.toUtf8().constData(), &Db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
              sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt *St = nullptr;
    Ok = Ok && sqlite3_prepare_v2(Db, "INSERT INTO aLevel (V, DT) VALUES (?1, ?2)", -1, &St, nullptr) == SQLITE_OK;
    char Text[kArchiveTimeLength];
    for (int s = 0; Ok && s < kSecondsPerDay; ++s) {
        Ok = FormatArchiveTime(Day + s / 86400.0, Text);
        sqlite3_bind_double(St, 1, 1500.0 + (s % 3600) * 0.1 + (s % 7) * 0.3);
        sqlite3_bind_text(St, 2, Text, static_cast<int>(kArchiveTimeLength), SQLITE_STATIC);
        Ok = Ok && sqlite3_step(St) == SQLITE_DONE;
        sqlite3_reset(St);
    }
    sqlite3_finalize(St);
    Ok = Ok && sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(Db);
    return Ok;
}

} // namespace

void Print(const QString &Line) {
    std::printf("%s\n", Line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QStringList GenerateMonth(TDateTime First) {
    QStringList Files;
    QElapsedTimer Clock;
    Clock.start();
    for (int d = 0; d < kBenchDays; ++d) {
        const QString Path = ArchiveFilePath(QStringLiteral("aLevel"), First + d, QStringLiteral(".db"));
        if (!ForceDirectories(ExtractFileDir(Path)) || !FillDay(Path, First + d)) {
            Print(QStringLiteral("  cannot generate %1").arg(Path));
            return {};
        }
        Files << Path;
    }
    Print(QStringLiteral("  generated %1 rows in %2 day tables in %3 s")
              .arg(kBenchDays * kSecondsPerDay).arg(kBenchDays).arg(Clock.elapsed() / 1000.0, 0, 'f', 1));
    return Files;
}

QString SqliteShell() {
    return QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
}

qint64 ShellScan(const QString &Shell, const QStringList &Files) {
    qint64 Rows = 0;
    for (const QString &File : Files) {
        QProcess P;
        P.start(Shell, {File, QStringLiteral("SELECT count(*), sum(V) FROM aLevel")});
        P.waitForFinished(-1);
        Rows += QString::fromLatin1(P.readAllStandardOutput()).section(u'|', 0, 0).toLongLong();
    }
    return Rows;
}
