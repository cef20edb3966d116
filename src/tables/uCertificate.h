#pragma once
// Calibration certificates (a tank's strapping table) as spreadsheets export
// them: text with one row of the table a line, the level and the volume among
// its cells, usually one row per centimetre or millimetre, in mm and litres or
// m³. Reading one goes in three steps, so that an import dialog can show and
// change what each step decided:
//
//   ParseCertificate   how the text is written: encoding, cell separator,
//                      where the data start, how many columns, which two
//                      columns and units are likely;
//   CertificateRows    the (level, volume) rows of two chosen columns, checked;
//   ScaleToPerCent     the rows in per cent of a height and a capacity, as the
//                      transducer's table holds them.
//
// Every refusal comes back as a TCertificateProblem with a Russian sentence
// for the user and the line of the file it concerns; nothing is ever half
// imported.
//
// What is understood:
//   * encodings: UTF-8 (with or without its byte-order mark), UTF-16 with its
//     mark (spreadsheets' "Unicode text"), otherwise Windows-1251;
//   * cells separated by ";", by tabs, by blanks, or by "," when the decimal
//     separator is "."; the separator is the one under which most lines hold
//     two numbers (";" before tab before blanks before "," among equals);
//   * numbers with a decimal comma or point, an exponent, a sign, and (between
//     ";" or tabs) digit groups split by blanks ("1 234,5"); cells may be quoted;
//   * lines before the first line holding two numbers are headers; after it,
//     lines holding no number at all (comments, repeated headers, blank lines)
//     are passed over, and every other line is a row of the table.
#include "Tara.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

enum class TLevelUnit { Millimetre, Centimetre, Metre };
enum class TVolumeUnit { Litre, CubicMetre, Decalitre };

// As the user reads them: "мм", "см", "м"; "л", "м³", "дал".
QString UnitName(TLevelUnit Unit);
QString UnitName(TVolumeUnit Unit);
// As the command line writes them: "mm", "cm", "m"; "l", "m3", "dal".
QString UnitKey(TLevelUnit Unit);
QString UnitKey(TVolumeUnit Unit);
// The unit of a command-line key (letter case ignored); false for another word.
bool UnitFromKey(QStringView Key, TLevelUnit &Unit);
bool UnitFromKey(QStringView Key, TVolumeUnit &Unit);

// More data rows than any certificate has: such a file is refused.
constexpr int kMaxCertificateRows = 1'000'000;
// Larger files are refused before they are read.
constexpr qint64 kMaxCertificateBytes = 128 * 1024 * 1024;

// Why a certificate cannot be used.
struct TCertificateProblem {
    QString Text;  // a Russian sentence for the user; empty: no problem
    int Line = 0;  // the line of the file it concerns, from 1; 0 for the whole file
    bool Failed() const { return !Text.isEmpty(); }
    // Text, preceded by "Строка N: " when it concerns a line.
    QString Message() const;
};

// What the guess of the units found.
struct TUnitGuess {
    TLevelUnit Level = TLevelUnit::Millimetre;
    TVolumeUnit Volume = TVolumeUnit::Litre;
    bool LevelFound = false;  // false: no header word named it, Level is the default
    bool VolumeFound = false;
};

// How a certificate's text is written and what it holds.
struct TCertificate {
    QString Encoding;         // "UTF-8", "UTF-16" or "Windows-1251"
    QChar Separator;          // ';', '\t', ',' or ' ' (any run of blanks)
    QStringList Lines;        // the text, line by line (line N of the file is Lines[N - 1])
    int FirstDataLine = -1;   // index in Lines of the first line holding two numbers
    int ColumnCount = 0;      // cells of the widest row (numbers or not)
    QStringList ColumnTitles; // per column, the header cell above it, "" when none (blank-separated text has none)
    int LevelColumn = 0;      // the first two columns holding numbers in the first row, from 0
    int VolumeColumn = 1;
    TUnitGuess Units;         // guessed from the header words over those two columns
};

// Works out how Bytes (a whole file) are written. Fails for an empty file, a
// spreadsheet workbook instead of text, and text without any line holding two
// numbers.
TCertificateProblem ParseCertificate(const QByteArray &Bytes, TCertificate &Certificate);
// The same for a file; also fails when it cannot be read or is larger than
// kMaxCertificateBytes.
TCertificateProblem ReadCertificateFile(const QString &Path, TCertificate &Certificate);

// The units named by the header words over two columns (0-based): "мм", "см",
// "м" for the level, "л", "м3", "м³", "куб. м", "дал" for the volume (and
// their Latin spellings). The header lines are searched from the one just
// above the data upwards, the cells over each column first, then whole lines.
TUnitGuess GuessUnits(const TCertificate &Certificate, int LevelColumn, int VolumeColumn);

// One row of the table and the line of the file it came from (from 1).
struct TCertificateRow {
    int Line = 0;
    double Level = 0;
    double Volume = 0;
};

// The rows of the two columns (0-based), in file order. Every row must hold a
// finite number in both; levels must strictly increase and volumes must not
// decrease; at least two and at most kMaxCertificateRows rows. The first line
// that breaks a rule is named, and Rows is then empty.
TCertificateProblem CertificateRows(const TCertificate &Certificate, int LevelColumn, int VolumeColumn,
                                    std::vector<TCertificateRow> &Rows);

// A certificate's rows as the transducer's table holds them.
struct TPerCentTable {
    TTaraTable Points;      // level in per cent of the height, volume in per cent of the capacity
    std::vector<int> Lines; // the file line of each point
    int LeftOut = 0;        // rows above the height, left out
};

// Level % = 100 * level / Height and volume % = 100 * volume / Capacity, in
// the units of the rows; the usual Height is the last row's level and the
// usual Capacity its volume, but either may be set (the transducer's
// measuring range may end below the top of the tank). Rows above Height are
// left out and counted. Fails unless both are positive and at least two rows
// remain; Table is then empty.
TCertificateProblem ScaleToPerCent(const std::vector<TCertificateRow> &Rows, double Height, double Capacity,
                                   TPerCentTable &Table);
