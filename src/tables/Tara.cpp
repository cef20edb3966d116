#include "Tara.h"

#include "uFormat.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {

bool IsNumberChar(QChar C) {
    return (C >= u'0' && C <= u'9') || C == u'-' || C == u',';
}

// "-"? digits? (',' digits?)? with at least one digit.
bool ToDouble(QStringView Run, double &Value) {
    qsizetype i = 0;
    if (i < Run.size() && Run[i] == u'-')
        ++i;
    qsizetype Digits = 0;
    QByteArray Text = Run.left(i).toLatin1();
    for (; i < Run.size(); ++i) {
        const QChar C = Run[i];
        if (C >= u'0' && C <= u'9') {
            ++Digits;
            Text += static_cast<char>(C.unicode());
        } else if (C == u',') {
            Text += '.';
        } else {
            return false; // a minus inside the number
        }
    }
    if (Digits == 0)
        return false;
    bool Ok = false;
    const double V = Text.toDouble(&Ok);
    if (!Ok || !std::isfinite(V))
        return false;
    Value = V;
    return true;
}

bool FileExists(const QString &Path) {
    const QFileInfo Info(Path);
    return Info.exists() && !Info.isDir();
}

} // namespace

qint64 TableHeaderCount(const QString &HeaderLine) {
    const qsizetype Eq = HeaderLine.indexOf(u'=');
    if (Eq < 0)
        return 0;
    const QStringView Text = QStringView(HeaderLine).mid(Eq + 1);
    bool Ok = false;
    const int Count = Text.toInt(&Ok, 10);
    // toInt also accepts surrounding blanks; a count must be the digits alone.
    if (!Ok || Text.isEmpty() || Text.front().isSpace() || Text.back().isSpace())
        return 0;
    return Count;
}

qsizetype FindTableHeader(const QStringList &Lines, const QString &Name) {
    for (qsizetype i = 0; i < Lines.size(); ++i) {
        const QString &Line = Lines[i];
        const qsizetype Eq = Line.indexOf(u'=');
        if (Eq <= 0 || Line.contains(u'*'))
            continue;
        if (QStringView(Line).left(Eq).compare(Name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool ScanNumber(const QString &Line, qsizetype &Pos, double &Value) {
    if (Pos < 0 || Pos >= Line.size())
        return false;
    qsizetype Start = Pos;
    while (Start < Line.size() && !IsNumberChar(Line[Start]))
        ++Start;
    qsizetype End = Start;
    bool Comma = false;
    while (End < Line.size() && IsNumberChar(Line[End])) {
        if (Line[End] == u',') {
            if (Comma)
                break;
            Comma = true;
        }
        ++End;
    }
    if (!ToDouble(QStringView(Line).mid(Start, End - Start), Value))
        return false;
    Pos = End;
    return true;
}

bool TTara::LoadFromStrings(const QStringList &Lines) {
    Table.clear();
    if (TableName.isEmpty() || !FileExists(FileName))
        return false;
    const qsizetype Header = FindTableHeader(Lines, TableName);
    if (Header < 0)
        return false;
    const qint64 Count = TableHeaderCount(Lines[Header]);
    if (Count < 0)
        return false;

    // Points are appended as they are read: the count comes from the file and
    // must not decide how much memory is taken before the lines bear it out.
    const qsizetype Available = Lines.size() - Header - 1;
    Table.reserve(static_cast<size_t>(std::min<qint64>(Count, Available)));
    for (qint64 k = 1; k <= Count; ++k) {
        TTaraPoint Point;
        qsizetype Pos = 0;
        bool Ok = k <= Available;
        if (Ok) {
            const QString &Line = Lines[Header + k];
            Ok = ScanNumber(Line, Pos, Point.Level) && ScanNumber(Line, Pos, Point.Volume);
        }
        if (!Ok) {
            if (Count <= Available)
                Table.resize(static_cast<size_t>(Count));
            return false;
        }
        Table.push_back(Point);
    }
    return true;
}

bool TTara::LevelToVolume(double Level, double &Volume) const {
    if (TableName.isEmpty() || Table.size() < 2)
        return false;
    const size_t n = Table.size();
    size_t i = 0;
    while (i < n && !(Level <= Table[i].Level))
        ++i;
    const size_t k = i == 0 ? 0 : (i >= n - 1 ? n - 2 : i - 1);
    const TTaraPoint &A = Table[k];
    const TTaraPoint &B = Table[k + 1];
    if (A.Level == B.Level)
        Volume = A.Volume;
    else
        Volume = A.Volume + (Level - A.Level) * (B.Volume - A.Volume) / (B.Level - A.Level);
    return true;
}

namespace {

const QString kStars = QStringLiteral("*******************************");
const QString kFormat = QStringLiteral("* Формат таблицы               ");
const QString kLayout = QStringLiteral("* <Название>=<Количество точек>");

// ttDefault2 in tenths of a percent: level, volume.
constexpr int kDefault2[32][2] = {
    {0, 0},       {32, 10},     {63, 25},     {95, 48},     {126, 73},    {158, 101},   {189, 132},
    {221, 165},   {252, 199},   {284, 234},   {316, 270},   {347, 309},   {379, 347},   {410, 386},
    {442, 426},   {473, 466},   {505, 506},   {537, 547},   {568, 587},   {600, 627},   {631, 665},
    {663, 703},   {694, 741},   {726, 778},   {757, 813},   {789, 846},   {821, 878},   {852, 908},
    {884, 935},   {915, 960},   {947, 980},   {1000, 1000},
};

QString Tenths(int Value) {
    return QStringLiteral("%1,%2").arg(Value / 10).arg(Value % 10);
}

} // namespace

QStringList TypicalTableLines() {
    QStringList Lines{kStars,
                      kFormat,
                      kLayout,
                      QStringLiteral("* Уровень, мм -> Объем, %      "),
                      kStars,
                      QStringLiteral("ttDefault1=2"),
                      QStringLiteral("    0    0,00"),
                      QStringLiteral("10000\t 100,00"),
                      QString(),
                      kStars,
                      kFormat,
                      kLayout,
                      QStringLiteral("* Уровень, % -> Объем, %       "),
                      kStars,
                      QStringLiteral("ttDefault2=32")};
    for (const auto &P : kDefault2)
        Lines << Tenths(P[0]).rightJustified(5) + Tenths(P[1]).rightJustified(8);
    Lines << QString();
    return Lines;
}

QStringList TableLines(const QString &Name, std::span<const TTaraPoint> Points, const QString &Units) {
    TFormatSettings Comma;
    Comma.DecimalSeparator = u',';
    Comma.ThousandSeparator = QChar();
    // Nine digits give every single back; no exponent, which the point reader
    // would take for a second number ("1E-6" is 1 and -6).
    const auto Text = [&Comma](double V) { return FloatToStrNoExponent(V, 9, Comma); };
    QStringList Lines{kStars, kFormat, kLayout, (QStringLiteral("* ") + Units).leftJustified(kStars.size()), kStars,
                      Name + u'=' + QString::number(Points.size())};
    for (const TTaraPoint &P : Points)
        Lines << Text(P.Level) + u' ' + Text(P.Volume);
    return Lines;
}

QStringList DeviceTableLines(std::span<const TTaraPoint, 32> Points) {
    QStringList Lines = TableLines(QStringLiteral("ttFromLanx1"), Points, QStringLiteral("Уровень -> Объем"));
    Lines << QString();
    return Lines;
}

int DeviceTablePointCount(std::span<const TTaraPoint, 32> Points) {
    return static_cast<int>(std::count_if(Points.begin(), Points.end(), [](const TTaraPoint &P) {
        return std::isfinite(P.Level) && std::isfinite(P.Volume);
    }));
}
