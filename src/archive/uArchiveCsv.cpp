#include "uArchiveCsv.h"

#include "uDateTime.h"
#include "uFormat.h"

#include <QIODevice>
#include <QSaveFile>

namespace {

// Rows gathered before one write and one progress call.
constexpr std::size_t kRowsPerPiece = 4096;

bool Put(QIODevice &Out, const QByteArray &Data, QString *Error) {
    if (Out.write(Data) == Data.size())
        return true;
    if (Error)
        *Error = Out.errorString();
    return false;
}

} // namespace

TCsvFormat SpreadsheetCsvFormat(const QLocale &Locale, const QString &ValueTitle) {
    const QString Point = Locale.decimalPoint();
    return SpreadsheetCsvFormat(Point.isEmpty() ? QChar(u'.') : Point.front(), ValueTitle);
}

TCsvFormat SpreadsheetCsvFormat(QChar Decimal, const QString &ValueTitle) {
    TCsvFormat F;
    F.Decimal = Decimal;
    F.Separator = F.Decimal == u',' ? QChar(u';') : QChar(u',');
    F.TimeFormat = QStringLiteral("dd.MM.yyyy HH:mm:ss,zzz");
    F.Header = {QStringLiteral("Дата и время"), ValueTitle};
    F.ByteOrderMark = true;
    return F;
}

TCsvFormat ScriptCsvFormat() {
    return {};
}

QString CsvField(const QString &Text, QChar Separator) {
    bool Quote = false;
    for (const QChar C : Text)
        if (C == Separator || C == u'"' || C == u'\r' || C == u'\n') {
            Quote = true;
            break;
        }
    if (!Quote)
        return Text;
    QString Quoted = Text;
    Quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + Quoted + u'"';
}

QString CsvLine(const TCsvFormat &Format, TDateTime DT, double V) {
    QString Number = ExactNumberText(V);
    if (Format.Decimal != u'.')
        Number.replace(u'.', Format.Decimal);
    return CsvField(DateTimeToQt(DT).toString(Format.TimeFormat), Format.Separator) + Format.Separator +
           CsvField(Number, Format.Separator);
}

TCsvRows SeriesRows(const TArchiveSeries &Series, std::size_t First, std::size_t Last) {
    Last = std::min(Last, Series.size());
    First = std::min(First, Last);
    return {Last - First, [&Series, First](std::size_t i) { return std::pair{Series.DT[First + i], Series.V[First + i]}; }};
}

TCsvResult WriteCsv(QIODevice &Out, const TCsvFormat &Format, const TCsvRows &Rows, const TCsvProgress &Progress,
                    QString *Error) {
    const std::size_t Total = Rows.Count;
    QByteArray Piece;
    if (Format.ByteOrderMark)
        Piece += "\xEF\xBB\xBF";
    QStringList Header;
    for (const QString &Title : Format.Header)
        Header << CsvField(Title, Format.Separator);
    Piece += Header.join(Format.Separator).toUtf8() + "\r\n";
    if (Progress && !Progress(0, Total))
        return TCsvResult::Cancelled;
    for (std::size_t i = 0; i < Total;) {
        const std::size_t End = std::min(Total, i + kRowsPerPiece);
        for (; i < End; ++i) {
            const auto [DT, V] = Rows.Row(i);
            Piece += CsvLine(Format, DT, V).toUtf8() + "\r\n";
        }
        if (!Put(Out, Piece, Error))
            return TCsvResult::Failed;
        Piece.clear();
        if (Progress && !Progress(i, Total))
            return TCsvResult::Cancelled;
    }
    if (!Piece.isEmpty() && !Put(Out, Piece, Error))
        return TCsvResult::Failed;
    return TCsvResult::Written;
}

TCsvResult WriteCsvFile(const QString &Path, const TCsvFormat &Format, const TCsvRows &Rows,
                        const TCsvProgress &Progress, QString *Error) {
    // Unbuffered, so that a short write (disk full) shows at once; leaving
    // without commit discards the temporary file.
    QSaveFile File(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (Error)
            *Error = File.errorString();
        return TCsvResult::Failed;
    }
    const TCsvResult R = WriteCsv(File, Format, Rows, Progress, Error);
    if (R != TCsvResult::Written) {
        File.cancelWriting();
        return R;
    }
    if (!File.commit()) {
        if (Error)
            *Error = File.errorString();
        return TCsvResult::Failed;
    }
    return TCsvResult::Written;
}
