#include "uCertificate.h"

#include "uTextFile.h"
#include "uWin1251.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

// Lines (not empty) looked at to choose the separator: headers are short, and
// a wrong choice would show in the first rows anyway.
constexpr int kSampleLines = 2000;
// Longest piece of a cell quoted in a message.
constexpr qsizetype kQuotedLength = 40;

enum class TCellKind { Empty, Number, NonFinite, Text };

struct TCell {
    TCellKind Kind = TCellKind::Empty;
    double Value = 0;
    QStringView Text; // trimmed, without its quotes
    bool Numeric() const { return Kind == TCellKind::Number || Kind == TCellKind::NonFinite; }
};

// How numbers may be written between a separator's cells.
struct TNumberStyle {
    bool CommaDecimal = true; // "," may be the decimal separator (not where it separates cells)
    bool Grouping = false;    // "1 234,5": only where a blank cannot separate cells
};

TNumberStyle StyleOf(QChar Separator) {
    if (Separator == u',')
        return {false, false};
    if (Separator == u' ')
        return {true, false};
    return {true, true};
}

// Blanks, the no-break spaces spreadsheets put between digit groups included.
bool IsBlank(QChar C) {
    return C == u' ' || C == u'\t' || C == QChar(0x00A0) || C == QChar(0x2007) || C == QChar(0x202F);
}

bool IsDigit(QChar C) {
    return C >= u'0' && C <= u'9';
}

QStringView Trimmed(QStringView S) {
    while (!S.isEmpty() && IsBlank(S.front()))
        S = S.mid(1);
    while (!S.isEmpty() && IsBlank(S.back()))
        S.chop(1);
    return S;
}

bool IsSign(QChar C) {
    return C == u'+' || C == u'-' || C == QChar(0x2212);
}

// Spreadsheets and programs write these for values that are no number.
bool IsNonFiniteWord(QStringView S) {
    if (!S.isEmpty() && IsSign(S.front()))
        S = S.mid(1);
    for (const char16_t *Word : {u"nan", u"inf", u"infinity", u"\u221E"})
        if (S.compare(QStringView(Word), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Reads one cell: an optional sign, digits (in groups of three split by single
// blanks when the style allows it), one decimal separator, an exponent.
TCell ReadCell(QStringView Raw, TNumberStyle Style) {
    TCell Cell;
    QStringView S = Trimmed(Raw);
    if (S.size() >= 2 && S.front() == u'"' && S.back() == u'"')
        S = Trimmed(S.mid(1, S.size() - 2));
    Cell.Text = S;
    if (S.isEmpty())
        return Cell;
    Cell.Kind = TCellKind::Text;
    if (IsNonFiniteWord(S)) {
        Cell.Kind = TCellKind::NonFinite;
        return Cell;
    }

    std::string Ascii;
    Ascii.reserve(static_cast<size_t>(S.size()));
    qsizetype i = 0;
    if (IsSign(S[0])) {
        if (S[0] != u'+')
            Ascii += '-';
        ++i;
    }
    int Digits = 0, Group = 0;
    bool Grouped = false;
    for (; i < S.size(); ++i) {
        if (IsDigit(S[i])) {
            Ascii += static_cast<char>(S[i].unicode());
            ++Digits;
            ++Group;
        } else if (Style.Grouping && IsBlank(S[i]) && Digits > 0) {
            if (Grouped ? Group != 3 : Group > 3)
                return Cell;
            Grouped = true;
            Group = 0;
        } else {
            break;
        }
    }
    if (Grouped && Group != 3)
        return Cell;
    int Fraction = 0;
    if (i < S.size() && (S[i] == u'.' || (Style.CommaDecimal && S[i] == u','))) {
        Ascii += '.';
        for (++i; i < S.size() && IsDigit(S[i]); ++i, ++Fraction)
            Ascii += static_cast<char>(S[i].unicode());
    }
    if (Digits + Fraction == 0)
        return Cell;
    if (i < S.size() && (S[i] == u'e' || S[i] == u'E')) {
        Ascii += 'e';
        ++i;
        if (i < S.size() && (S[i] == u'+' || S[i] == u'-'))
            Ascii += static_cast<char>(S[i++].unicode());
        int Exponent = 0;
        for (; i < S.size() && IsDigit(S[i]); ++i, ++Exponent)
            Ascii += static_cast<char>(S[i].unicode());
        if (Exponent == 0)
            return Cell;
    }
    if (i != S.size())
        return Cell;
    double Value = 0;
    const char *End = Ascii.data() + Ascii.size();
    const auto [Ptr, Error] = std::from_chars(Ascii.data(), End, Value);
    if (Error == std::errc::result_out_of_range || (Error == std::errc() && !std::isfinite(Value))) {
        Cell.Kind = TCellKind::NonFinite;
        return Cell;
    }
    if (Error != std::errc() || Ptr != End)
        return Cell;
    Cell.Kind = TCellKind::Number;
    Cell.Value = Value;
    return Cell;
}

// The raw cells of a line: between separators (a quoted cell may hold one),
// or the runs of non-blanks for blank-separated text.
QList<QStringView> SplitCells(QStringView Line, QChar Separator) {
    QList<QStringView> Cells;
    const qsizetype N = Line.size();
    if (Separator == u' ') {
        for (qsizetype i = 0; i < N;) {
            while (i < N && IsBlank(Line[i]))
                ++i;
            const qsizetype Start = i;
            while (i < N && !IsBlank(Line[i]))
                ++i;
            if (i > Start)
                Cells.append(Line.mid(Start, i - Start));
        }
        return Cells;
    }
    bool Quoted = false;
    qsizetype Start = 0;
    for (qsizetype i = 0; i <= N; ++i) {
        if (i == N || (!Quoted && Line[i] == Separator)) {
            Cells.append(Line.mid(Start, i - Start));
            Start = i + 1;
        } else if (Line[i] == u'"') {
            Quoted = !Quoted; // a doubled quote inside a quoted cell toggles twice
        }
    }
    return Cells;
}

QList<TCell> ReadCells(QStringView Line, QChar Separator) {
    const TNumberStyle Style = StyleOf(Separator);
    QList<TCell> Cells;
    for (const QStringView Raw : SplitCells(Line, Separator))
        Cells.append(ReadCell(Raw, Style));
    return Cells;
}

int NumericCells(const QList<TCell> &Cells) {
    int Count = 0;
    for (const TCell &C : Cells)
        Count += C.Numeric();
    return Count;
}

// A cell's text as a message quotes it.
QString Quoted(QStringView Text) {
    QString S = Text.left(kQuotedLength).toString();
    if (Text.size() > kQuotedLength)
        S += QChar(0x2026);
    return QChar(0x00AB) + S + QChar(0x00BB);
}

QString DecodeText(const QByteArray &Bytes, QString &Encoding) {
    if (Bytes.startsWith("\xEF\xBB\xBF")) {
        Encoding = QStringLiteral("UTF-8");
        return QString::fromUtf8(Bytes.mid(3));
    }
    if (Bytes.startsWith("\xFF\xFE") || Bytes.startsWith("\xFE\xFF")) {
        Encoding = QStringLiteral("UTF-16");
        QStringDecoder Decoder(Bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return Decoder(Bytes.mid(2));
    }
    // Windows-1251 text with Cyrillic letters is practically never valid
    // UTF-8: a lead byte there is followed by another letter, not by a
    // continuation byte.
    const bool Ascii = std::all_of(Bytes.begin(), Bytes.end(), [](char C) { return (C & 0x80) == 0; });
    if (!Ascii) {
        QStringDecoder Decoder(QStringDecoder::Utf8);
        const QString Text = Decoder(Bytes);
        if (!Decoder.hasError()) {
            Encoding = QStringLiteral("UTF-8");
            return Text;
        }
    }
    Encoding = QStringLiteral("Windows-1251");
    return FromWin1251(Bytes);
}

// The separator under which most of the sample lines hold two numbers.
QChar ChooseSeparator(const QStringList &Lines, int &DataLines) {
    QChar Best;
    DataLines = 0;
    for (const QChar Separator : {QChar(u';'), QChar(u'\t'), QChar(u' '), QChar(u',')}) {
        int Count = 0, Sampled = 0;
        for (const QString &Line : Lines) {
            if (Trimmed(Line).isEmpty())
                continue;
            if (++Sampled > kSampleLines)
                break;
            Count += NumericCells(ReadCells(Line, Separator)) >= 2;
        }
        if (Count > DataLines) {
            DataLines = Count;
            Best = Separator;
        }
    }
    return Best;
}

// ---- units

enum class TUnitWord { None, Millimetre, Centimetre, Metre, Litre, CubicMetre, Decalitre };

bool IsLevelWord(TUnitWord W) {
    return W == TUnitWord::Millimetre || W == TUnitWord::Centimetre || W == TUnitWord::Metre;
}

// The words of a text: runs of letters and digits ("м3" and "м³" are one word), lower case.
QStringList Words(QStringView Text) {
    QStringList List;
    for (qsizetype i = 0; i < Text.size();) {
        while (i < Text.size() && !Text[i].isLetterOrNumber())
            ++i;
        const qsizetype Start = i;
        while (i < Text.size() && Text[i].isLetterOrNumber())
            ++i;
        if (i > Start)
            List << Text.mid(Start, i - Start).toString().toLower();
    }
    return List;
}

// The units the words of Text name, in order. "куб. м" is one unit (m³).
QList<TUnitWord> UnitWords(QStringView Text) {
    const QStringList W = Words(Text);
    QList<TUnitWord> Units;
    for (qsizetype i = 0; i < W.size(); ++i) {
        const QString &S = W[i];
        if (S == u"мм" || S == u"mm") {
            Units << TUnitWord::Millimetre;
        } else if (S == u"см" || S == u"cm") {
            Units << TUnitWord::Centimetre;
        } else if (S == u"м" || S == u"m") {
            Units << TUnitWord::Metre;
        } else if (S == u"л" || S == u"l" || S.startsWith(u"литр") || S == u"дм3" || S == u"дм\u00B3") {
            Units << TUnitWord::Litre;
        } else if (S == u"м3" || S == u"м\u00B3" || S == u"m3" || S == u"m\u00B3" || S.startsWith(u"кубометр")) {
            Units << TUnitWord::CubicMetre;
        } else if (S == u"куб" && i + 1 < W.size() && (W[i + 1] == u"м" || W[i + 1] == u"m")) {
            Units << TUnitWord::CubicMetre;
            ++i;
        } else if (S == u"дал" || S == u"dal" || S.startsWith(u"декалитр")) {
            Units << TUnitWord::Decalitre;
        }
    }
    return Units;
}

// Takes the first level unit and the first volume unit of Text that Guess still lacks.
void TakeUnits(QStringView Text, bool Level, bool Volume, TUnitGuess &Guess) {
    for (const TUnitWord W : UnitWords(Text)) {
        if (Level && !Guess.LevelFound && IsLevelWord(W)) {
            Guess.Level = W == TUnitWord::Millimetre   ? TLevelUnit::Millimetre
                          : W == TUnitWord::Centimetre ? TLevelUnit::Centimetre
                                                       : TLevelUnit::Metre;
            Guess.LevelFound = true;
        } else if (Volume && !Guess.VolumeFound && !IsLevelWord(W)) {
            Guess.Volume = W == TUnitWord::Litre        ? TVolumeUnit::Litre
                           : W == TUnitWord::CubicMetre ? TVolumeUnit::CubicMetre
                                                        : TVolumeUnit::Decalitre;
            Guess.VolumeFound = true;
        }
    }
}

} // namespace

QString UnitName(TLevelUnit Unit) {
    switch (Unit) {
    case TLevelUnit::Millimetre: return QStringLiteral("мм");
    case TLevelUnit::Centimetre: return QStringLiteral("см");
    case TLevelUnit::Metre: return QStringLiteral("м");
    }
    return {};
}

QString UnitName(TVolumeUnit Unit) {
    switch (Unit) {
    case TVolumeUnit::Litre: return QStringLiteral("л");
    case TVolumeUnit::CubicMetre: return QStringLiteral("м³");
    case TVolumeUnit::Decalitre: return QStringLiteral("дал");
    }
    return {};
}

QString UnitKey(TLevelUnit Unit) {
    switch (Unit) {
    case TLevelUnit::Millimetre: return QStringLiteral("mm");
    case TLevelUnit::Centimetre: return QStringLiteral("cm");
    case TLevelUnit::Metre: return QStringLiteral("m");
    }
    return {};
}

QString UnitKey(TVolumeUnit Unit) {
    switch (Unit) {
    case TVolumeUnit::Litre: return QStringLiteral("l");
    case TVolumeUnit::CubicMetre: return QStringLiteral("m3");
    case TVolumeUnit::Decalitre: return QStringLiteral("dal");
    }
    return {};
}

bool UnitFromKey(QStringView Key, TLevelUnit &Unit) {
    for (const TLevelUnit U : {TLevelUnit::Millimetre, TLevelUnit::Centimetre, TLevelUnit::Metre})
        if (Key.compare(UnitKey(U), Qt::CaseInsensitive) == 0) {
            Unit = U;
            return true;
        }
    return false;
}

bool UnitFromKey(QStringView Key, TVolumeUnit &Unit) {
    for (const TVolumeUnit U : {TVolumeUnit::Litre, TVolumeUnit::CubicMetre, TVolumeUnit::Decalitre})
        if (Key.compare(UnitKey(U), Qt::CaseInsensitive) == 0) {
            Unit = U;
            return true;
        }
    return false;
}

QString TCertificateProblem::Message() const {
    return Line > 0 ? QStringLiteral("Строка %1: %2").arg(Line).arg(Text) : Text;
}

TCertificateProblem ParseCertificate(const QByteArray &Bytes, TCertificate &Certificate) {
    Certificate = TCertificate();
    // A workbook saved under a text name: the zip of .xlsx, the compound file of .xls.
    if (Bytes.startsWith("PK\x03\x04") || Bytes.startsWith("\xD0\xCF\x11\xE0"))
        return {QStringLiteral("Это книга электронной таблицы, а не текст. Сохраните лист как CSV "
                               "или как текст с разделителями табуляции."),
                0};
    Certificate.Lines = SplitTextLines(DecodeText(Bytes, Certificate.Encoding));
    if (std::all_of(Certificate.Lines.begin(), Certificate.Lines.end(),
                    [](const QString &Line) { return Trimmed(Line).isEmpty(); }))
        return {QStringLiteral("Файл пуст."), 0};

    int DataLines = 0;
    Certificate.Separator = ChooseSeparator(Certificate.Lines, DataLines);
    if (DataLines == 0)
        return {QStringLiteral("В файле нет ни одной строки с двумя числами (уровнем и объёмом)."), 0};

    const QStringList &Lines = Certificate.Lines;
    const QChar Separator = Certificate.Separator;
    for (int i = 0; i < Lines.size(); ++i) {
        const QList<TCell> Cells = ReadCells(Lines[i], Separator);
        const int Numeric = NumericCells(Cells);
        if (Certificate.FirstDataLine < 0) {
            if (Numeric < 2)
                continue;
            Certificate.FirstDataLine = i;
            QList<int> Columns;
            for (int c = 0; c < Cells.size() && Columns.size() < 2; ++c)
                if (Cells[c].Numeric())
                    Columns << c;
            Certificate.LevelColumn = Columns[0];
            Certificate.VolumeColumn = Columns[1];
        }
        if (Numeric > 0)
            Certificate.ColumnCount = std::max(Certificate.ColumnCount, static_cast<int>(Cells.size()));
    }

    // Titles come from the nearest line above the data; blank-separated
    // headers do not line up with the columns.
    for (int c = 0; c < Certificate.ColumnCount; ++c)
        Certificate.ColumnTitles << QString();
    if (Separator != u' ') {
        for (int i = Certificate.FirstDataLine - 1; i >= 0; --i) {
            if (Trimmed(Lines[i]).isEmpty())
                continue;
            const QList<TCell> Cells = ReadCells(Lines[i], Separator);
            for (int c = 0; c < Certificate.ColumnCount && c < Cells.size(); ++c)
                Certificate.ColumnTitles[c] = Cells[c].Text.toString().replace(QStringLiteral("\"\""), QStringLiteral("\""));
            break;
        }
    }
    Certificate.Units = GuessUnits(Certificate, Certificate.LevelColumn, Certificate.VolumeColumn);
    return {};
}

TCertificateProblem ReadCertificateFile(const QString &Path, TCertificate &Certificate) {
    Certificate = TCertificate();
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        return {QStringLiteral("Не удаётся открыть файл: %1").arg(File.errorString()), 0};
    if (File.size() > kMaxCertificateBytes)
        return {QStringLiteral("Файл больше %1 МБ: таблиц вместимости такого размера не бывает.")
                    .arg(kMaxCertificateBytes / (1024 * 1024)),
                0};
    const QByteArray Bytes = File.read(kMaxCertificateBytes + 1);
    if (File.error() != QFileDevice::NoError)
        return {QStringLiteral("Не удаётся прочитать файл: %1").arg(File.errorString()), 0};
    if (Bytes.size() > kMaxCertificateBytes)
        return {QStringLiteral("Файл больше %1 МБ: таблиц вместимости такого размера не бывает.")
                    .arg(kMaxCertificateBytes / (1024 * 1024)),
                0};
    return ParseCertificate(Bytes, Certificate);
}

TUnitGuess GuessUnits(const TCertificate &Certificate, int LevelColumn, int VolumeColumn) {
    TUnitGuess Guess;
    const int First = std::clamp(Certificate.FirstDataLine, 0, static_cast<int>(Certificate.Lines.size()));
    // The cells over the columns say most: a unit named there belongs to that column.
    if (Certificate.Separator != u' ') {
        for (int i = First - 1; i >= 0 && !(Guess.LevelFound && Guess.VolumeFound); --i) {
            const QList<QStringView> Cells = SplitCells(Certificate.Lines[i], Certificate.Separator);
            if (LevelColumn >= 0 && LevelColumn < Cells.size())
                TakeUnits(Cells[LevelColumn], true, false, Guess);
            if (VolumeColumn >= 0 && VolumeColumn < Cells.size())
                TakeUnits(Cells[VolumeColumn], false, true, Guess);
        }
    }
    // Then the header lines as a whole, nearest first.
    for (int i = First - 1; i >= 0 && !(Guess.LevelFound && Guess.VolumeFound); --i)
        TakeUnits(Certificate.Lines[i], true, true, Guess);
    return Guess;
}

TCertificateProblem CertificateRows(const TCertificate &Certificate, int LevelColumn, int VolumeColumn,
                                    std::vector<TCertificateRow> &Rows) {
    Rows.clear();
    if (Certificate.FirstDataLine < 0)
        return {QStringLiteral("В файле нет ни одной строки с двумя числами (уровнем и объёмом)."), 0};
    if (LevelColumn < 0 || VolumeColumn < 0)
        return {QStringLiteral("Столбцы уровня и объёма не выбраны."), 0};
    if (LevelColumn == VolumeColumn)
        return {QStringLiteral("Уровень и объём должны быть в разных столбцах."), 0};

    const auto Fail = [&Rows](const QString &Text, int Line) {
        Rows.clear();
        return TCertificateProblem{Text, Line};
    };
    QStringView LevelText, VolumeText; // of the row before, for the messages
    for (int i = Certificate.FirstDataLine; i < Certificate.Lines.size(); ++i) {
        const QList<TCell> Cells = ReadCells(Certificate.Lines[i], Certificate.Separator);
        if (NumericCells(Cells) == 0)
            continue; // a comment, a repeated header, an empty line
        const int Line = i + 1;
        TCertificateRow Row{Line, 0, 0};
        for (const int Column : {LevelColumn, VolumeColumn}) {
            const QString What = Column == LevelColumn ? QStringLiteral("уровня") : QStringLiteral("объёма");
            if (Column >= Cells.size())
                return Fail(QStringLiteral("нет столбца %1 (%2).").arg(Column + 1).arg(What), Line);
            const TCell &Cell = Cells[Column];
            switch (Cell.Kind) {
            case TCellKind::Empty:
                return Fail(QStringLiteral("пустая ячейка в столбце %1 (%2).").arg(Column + 1).arg(What), Line);
            case TCellKind::Text:
                return Fail(QStringLiteral("в столбце %1 (%2) не число: %3.").arg(Column + 1).arg(What, Quoted(Cell.Text)),
                            Line);
            case TCellKind::NonFinite:
                return Fail(QStringLiteral("в столбце %1 (%2) значение %3 не является конечным числом.")
                                .arg(Column + 1)
                                .arg(What, Quoted(Cell.Text)),
                            Line);
            case TCellKind::Number:
                (Column == LevelColumn ? Row.Level : Row.Volume) = Cell.Value;
                break;
            }
        }
        if (!Rows.empty()) {
            const TCertificateRow &Before = Rows.back();
            if (!(Row.Level > Before.Level))
                return Fail(QStringLiteral("уровень %1 не больше уровня %2 в строке %3; уровни должны строго возрастать.")
                                .arg(Quoted(Cells[LevelColumn].Text), Quoted(LevelText))
                                .arg(Before.Line),
                            Line);
            if (Row.Volume < Before.Volume)
                return Fail(QStringLiteral("объём %1 меньше объёма %2 в строке %3; объёмы не должны убывать.")
                                .arg(Quoted(Cells[VolumeColumn].Text), Quoted(VolumeText))
                                .arg(Before.Line),
                            Line);
        }
        if (Rows.size() >= static_cast<size_t>(kMaxCertificateRows))
            return Fail(QStringLiteral("В файле больше %1 строк с данными; таблица вместимости столько не содержит.")
                            .arg(QStringLiteral("1 000 000")),
                        0);
        Rows.push_back(Row);
        LevelText = Cells[LevelColumn].Text;
        VolumeText = Cells[VolumeColumn].Text;
    }
    if (Rows.size() < 2) {
        const int Line = Rows.empty() ? 0 : Rows.front().Line;
        return Fail(QStringLiteral("в файле только одна строка с данными, а нужно не меньше двух."), Line);
    }
    return {};
}

TCertificateProblem ScaleToPerCent(const std::vector<TCertificateRow> &Rows, double Height, double Capacity,
                                   TPerCentTable &Table) {
    Table = TPerCentTable();
    if (!(Height > 0) || !std::isfinite(Height))
        return {QStringLiteral("Высота резервуара должна быть больше нуля."), 0};
    if (!(Capacity > 0) || !std::isfinite(Capacity))
        return {QStringLiteral("Вместимость резервуара должна быть больше нуля."), 0};
    for (const TCertificateRow &Row : Rows) {
        if (Row.Level > Height) {
            ++Table.LeftOut;
            continue;
        }
        Table.Points.push_back({100.0 * Row.Level / Height, 100.0 * Row.Volume / Capacity});
        Table.Lines.push_back(Row.Line);
    }
    if (Table.Points.size() < 2) {
        Table = TPerCentTable();
        return {QStringLiteral("Не выше заданной высоты резервуара меньше двух строк таблицы."), 0};
    }
    return {};
}
