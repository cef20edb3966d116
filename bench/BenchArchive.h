#pragma once
// What the archive and graph benchmarks share: printing a figure, a month of
// 1 Hz readings generated into day tables, and the sqlite3 shell's full scan
// of those tables, the yardstick both are measured against.
#include "uDateTime.h"

#include <QString>
#include <QStringList>

constexpr int kBenchDays = 30;
constexpr int kSecondsPerDay = 86400;

void Print(const QString &Line);
// One reading a second for kBenchDays days from First, one "aLevel" day table
// each under the archive's folder (DbPath); the files' paths, empty on failure.
QStringList GenerateMonth(TDateTime First);
// Path of the sqlite3 shell, empty when it is not installed.
QString SqliteShell();
// Runs "SELECT count(*), sum(V) FROM aLevel" on every file; the rows counted.
qint64 ShellScan(const QString &Shell, const QStringList &Files);
