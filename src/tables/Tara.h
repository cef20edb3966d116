#pragma once
// Level-to-volume calibration tables.
//
// A table file is Windows-1251 text holding any number of named tables:
//   * comment lines contain a '*' (so "* <Name>=<Count>" is no header);
//   * a header line is "Name=Count";
//   * the Count lines right below a header are its points: level, then volume,
//     decimal comma whatever the user's regional settings, separated by any
//     characters that cannot belong to a number; the rest of the line is ignored.
#include <QString>
#include <QStringList>
#include <span>
#include <vector>

struct TTaraPoint {
    double Level = 0;
    double Volume = 0;
};

using TTaraTable = std::vector<TTaraPoint>;

// Scans one number of a point line from Pos (0-based). Number characters are
// '0'..'9', '-' and ','; characters before the first of them are skipped; the
// number is the longest run of them holding at most one comma (a second comma
// ends it). "", ",", "-", "1-2" and "12,5-3" are no number. On success Value is
// set and Pos moves past the run.
bool ScanNumber(const QString &Line, qsizetype &Pos, double &Value);

class TTara {
public:
    // The file being edited: a table loads only while a file of this name exists.
    QString FileName;
    // The table to load; empty means no table.
    QString TableName;
    // The points of the loaded table, in file order (never sorted).
    TTaraTable Table;

    // Loads the table TableName out of Lines (the first header of that name,
    // letter case ignored). False for: no file FileName, empty name, no header,
    // a negative count, too few lines, a point line without two numbers.
    // After a failure in the point lines Table holds the points read before it,
    // padded with zero points up to the header's count when the text had at
    // least that many lines below the header; a count beyond the text is never
    // allocated, so a header such as "T=2000000000" costs nothing.
    bool LoadFromStrings(const QStringList &Lines);

    // Piecewise-linear volume of Level; the end segments are extended beyond
    // the table (no clamping). False, Volume untouched, without a table name or
    // with fewer than two points.
    bool LevelToVolume(double Level, double &Volume) const;
};

// The index in Lines of the header of the table Name as LoadFromStrings
// finds it (the first, letter case ignored), or -1.
qsizetype FindTableHeader(const QStringList &Lines, const QString &Name);
// The point count of a header line: the whole number after the first '=',
// 0 when there is none (as LoadFromStrings reads it).
qint64 TableHeaderCount(const QString &HeaderLine);

// A table as the program writes it: the comment block of the typical file
// with Units on its fourth line ("Уровень, % -> Объем, %"), the header
// "Name=<count>", then a line "level volume" per point, each number in the
// general format with 9 significant digits and the decimal comma, never with
// an exponent (the point reader would take "1E-6" for 1 and -6), so that each
// reads back as the same single.
QStringList TableLines(const QString &Name, std::span<const TTaraPoint> Points, const QString &Units);

// The 48 lines of the typical table file: "ttDefault1" (0..10000 mm onto
// 0..100 %) and the 32-point "ttDefault2" (level % onto volume %).
QStringList TypicalTableLines();

// The file written after the table was read from the device: the table
// "ttFromLanx1" with its 32 points, each "level volume" in the general format
// with 9 significant digits and the decimal comma, but never with an exponent:
// a very small or very large value is written out in full (1e-6 as
// "0,000001"), so that each reads back as the same single. A point not
// received (NaN) writes "NAN", which does not parse, so the table then fails
// to load.
QStringList DeviceTableLines(std::span<const TTaraPoint, 32> Points);

// The points of a table read from the device that hold a level and a volume.
// A table of fewer than 32 points leaves the device's other slots empty, and
// they read as NaN.
int DeviceTablePointCount(std::span<const TTaraPoint, 32> Points);
