#include "uTextFile.h"

#include "uWin1251.h"

#include <QFile>
#include <QSaveFile>

namespace {
constexpr qint64 kMaxTextSize = 64 * 1024 * 1024;

template <typename TText, typename TSlice>
QStringList Split(const TText &Data, TSlice Slice) {
    QStringList Lines;
    qsizetype Start = 0;
    const qsizetype Size = Data.size();
    while (Start < Size) {
        qsizetype End = Start;
        while (End < Size && Data[End] != '\n' && Data[End] != '\r')
            ++End;
        Lines << Slice(Start, End - Start);
        if (End < Size && Data[End] == '\r' && End + 1 < Size && Data[End + 1] == '\n')
            ++End;
        Start = End + 1;
    }
    return Lines;
}
} // namespace

QStringList ReadTextLines(const QString &Path, bool *Ok) {
    if (Ok)
        *Ok = false;
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly) || File.size() > kMaxTextSize)
        return {};
    const QByteArray Data = File.read(kMaxTextSize + 1);
    if (Data.size() > kMaxTextSize || File.error() != QFileDevice::NoError)
        return {};
    if (Ok)
        *Ok = true;
    return Split(Data, [&Data](qsizetype From, qsizetype Length) { return FromWin1251(Data.constData() + From, Length); });
}

QStringList SplitTextLines(const QString &Text) {
    return Split(Text, [&Text](qsizetype From, qsizetype Length) { return Text.mid(From, Length); });
}

void WriteTextLines(const QString &Path, const QStringList &Lines) {
    QByteArray Data;
    for (const QString &Line : Lines)
        Data += ToWin1251(Line) + "\r\n";
    // Unbuffered, so that a short write (disk full, size limit) shows in the
    // count written; a buffered QSaveFile may commit a truncated file. Leaving
    // without commit discards the temporary file.
    QSaveFile File(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || File.write(Data) != Data.size() || !File.commit())
        throw ETextFileError("Cannot write " + Path.toStdString() + ": " + File.errorString().toStdString());
}
