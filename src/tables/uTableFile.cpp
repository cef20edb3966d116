#include "uTableFile.h"

#include "uFormat.h"
#include "uTextFile.h"
#include "uWin1251.h"

#include <QFileInfo>
#include <algorithm>

namespace {

QString Written(const QString &Path, const QStringList &Lines) {
    try {
        WriteTextLines(Path, Lines);
    } catch (const ETextFileError &E) {
        // The system's reason ends the exception's text ("Cannot write PATH: REASON").
        const QString Text = QString::fromLocal8Bit(E.what());
        return QStringLiteral("Не удаётся записать файл %1: %2").arg(Path, Text.mid(Text.lastIndexOf(QStringLiteral(": ")) + 2));
    }
    return {};
}

} // namespace

QString TableNameProblem(const QString &Name) {
    if (Name.isEmpty())
        return QStringLiteral("Имя таблицы не задано.");
    if (Name.contains(u'=') || Name.contains(u'*'))
        return QStringLiteral("Имя таблицы не может содержать «=» и «*».");
    if (Name.contains(u'\n') || Name.contains(u'\r'))
        return QStringLiteral("Имя таблицы должно быть одной строкой.");
    if (Name.front().isSpace() || Name.back().isSpace())
        return QStringLiteral("Имя таблицы не может начинаться или кончаться пробелом.");
    if (FromWin1251(ToWin1251(Name)) != Name)
        return QStringLiteral("В имени таблицы есть знаки, которых нет в кодировке файлов таблиц (Windows-1251).");
    return {};
}

QStringList PutTable(const QStringList &Lines, const QString &Name, std::span<const TTaraPoint> Points) {
    QStringList Block = TableLines(Name, Points, QStringLiteral("Уровень, % -> Объем, %"));
    const qsizetype Header = FindTableHeader(Lines, Name);
    if (Header >= 0) {
        // The comment block above the old table stays; the header and its
        // points make way for the new ones.
        const qint64 Count = std::max<qint64>(TableHeaderCount(Lines[Header]), 0);
        const qsizetype End = Header + 1 + static_cast<qsizetype>(std::min<qint64>(Count, Lines.size() - Header - 1));
        Block = Block.mid(Block.size() - static_cast<qsizetype>(Points.size()) - 1); // header and points
        return Lines.mid(0, Header) + Block + Lines.mid(End);
    }
    QStringList Result = Lines;
    if (!Result.isEmpty() && !Result.back().trimmed().isEmpty())
        Result << QString();
    return Result + Block + QStringList{QString()};
}

QString WriteTableToFile(const QString &Path, const QString &Name, std::span<const TTaraPoint> Points) {
    const QString NameProblem = TableNameProblem(Name);
    if (!NameProblem.isEmpty())
        return NameProblem;
    QStringList Lines;
    const QFileInfo Info(Path);
    if (Info.exists()) {
        bool Ok = false;
        if (Info.isFile())
            Lines = ReadTextLines(Path, &Ok);
        if (!Ok)
            return QStringLiteral("Не удаётся прочитать файл таблиц %1.").arg(Path);
    }
    return Written(Path, PutTable(Lines, Name, Points));
}

QStringList TableCsvLines(std::span<const TTaraPoint> Points) {
    const auto Text = [](double V) { return ExactNumberText(V).replace(u'.', u','); };
    QStringList Lines{QStringLiteral("Уровень, %;Объем, %")};
    for (const TTaraPoint &P : Points)
        Lines << Text(P.Level) + u';' + Text(P.Volume);
    return Lines;
}

QString WriteTableCsv(const QString &Path, std::span<const TTaraPoint> Points) {
    return Written(Path, TableCsvLines(Points));
}
