#pragma once
// Putting a table into a table file, and a table out as a spreadsheet file.
//
// A table file holds any number of named tables (see Tara.h). A table put
// into one replaces the table of its name that loading would find, so that
// the file never offers two versions of it; otherwise it is added at the end
// with the comment block the program writes above its tables.
#include "Tara.h"

#include <QString>
#include <QStringList>
#include <span>

// Why Name cannot name a table in a file, for the user; empty when it can.
// A name is not empty, holds no '=' or '*' (which would end it or make its
// header a comment), no line break, no blank at either end (headers are
// compared verbatim), and only characters of Windows-1251 (the files' code page).
QString TableNameProblem(const QString &Name);

// Lines with the table Name set to Points: the first header of Name (letter
// case ignored) and the point lines its count claims are replaced by the new
// header and points, or, without such a header, the table is appended after
// an empty line, with its comment block ("Уровень, % -> Объем, %").
QStringList PutTable(const QStringList &Lines, const QString &Name, std::span<const TTaraPoint> Points);

// Puts the table into the file Path, which is created when missing. The file
// is replaced only once all of it is written (a temporary file renamed over
// it), so a failure leaves it as it was. Returns why it failed, for the user;
// empty on success.
QString WriteTableToFile(const QString &Path, const QString &Name, std::span<const TTaraPoint> Points);

// A table as a spreadsheet reads it: the line "Уровень, %;Объем, %", then
// "level;volume" per point with the decimal comma, each number in the
// shortest form that reads back exactly.
QStringList TableCsvLines(std::span<const TTaraPoint> Points);
// Writes them to Path (Windows-1251, replaced only once whole); why it
// failed, or empty.
QString WriteTableCsv(const QString &Path, std::span<const TTaraPoint> Points);
