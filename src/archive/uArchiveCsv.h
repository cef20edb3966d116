#pragma once
// Archive series as CSV for spreadsheets and scripts.
//
// Two forms: the spreadsheet form of the graph window (the locale's decimal
// separator, ';' between columns where the decimal separator is ',' and ','
// otherwise, "dd.MM.yyyy HH:mm:ss,zzz", UTF-8 with a byte-order mark) and the
// RFC 4180 form of lanx1ctl (header "time,value", ISO 8601 with milliseconds,
// '.' decimals). Fields holding the separator, a quote or a line end are quoted
// as RFC 4180 asks. Lines end with CR LF.
#include "uDataCtrl.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <utility>

class QIODevice;

struct TCsvFormat {
    QChar Decimal = u'.';
    QChar Separator = u',';
    QString TimeFormat = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz");
    QStringList Header{QStringLiteral("time"), QStringLiteral("value")};
    bool ByteOrderMark = false;
};

// The spreadsheet form for the decimal separator Decimal; ValueTitle heads the
// value column ("Уровень, %").
TCsvFormat SpreadsheetCsvFormat(QChar Decimal, const QString &ValueTitle);
// The same with the decimal separator of Locale.
TCsvFormat SpreadsheetCsvFormat(const QLocale &Locale, const QString &ValueTitle);
// The RFC 4180 form with ISO 8601 date-times and '.' decimals.
TCsvFormat ScriptCsvFormat();

// Text as one CSV field: quoted, with quotes doubled, when it holds the
// separator, a quote, CR or LF.
QString CsvField(const QString &Text, QChar Separator);
// One line (without its end) of a point.
QString CsvLine(const TCsvFormat &Format, TDateTime DT, double V);

// Called now and then with the rows written and the rows in all; false cancels.
using TCsvProgress = std::function<bool(std::size_t Done, std::size_t Total)>;

enum class TCsvResult { Written, Cancelled, Failed };

// The rows to write: Count points, Row(i) giving point i (time, value), so
// that a series held in another shape is written without a copy.
struct TCsvRows {
    std::size_t Count = 0;
    std::function<std::pair<TDateTime, double>(std::size_t Index)> Row;
};
// The points [First, Last) of Series (cut to its size).
TCsvRows SeriesRows(const TArchiveSeries &Series, std::size_t First, std::size_t Last);

// Writes the header and the rows to Out, a piece at a time.
TCsvResult WriteCsv(QIODevice &Out, const TCsvFormat &Format, const TCsvRows &Rows, const TCsvProgress &Progress = {},
                    QString *Error = nullptr);
// The same into the file Path, through a temporary file that replaces Path
// only once wholly written: a failure or a cancel leaves no new file and an
// old one as it was.
TCsvResult WriteCsvFile(const QString &Path, const TCsvFormat &Format, const TCsvRows &Rows,
                        const TCsvProgress &Progress = {}, QString *Error = nullptr);
