#include "uIniFile.h"

#include "uMakeFolder.h"
#include "uWin1251.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcIniFile, "lanx1.inifile")

namespace {

// Files larger than this are not settings files; they read as empty.
constexpr qint64 kMaxIniSize = 64 * 1024 * 1024;

bool IsSectionHeader(const QByteArray &Line, QByteArray *Name = nullptr) {
    const QByteArray T = Line.trimmed();
    if (T.size() < 2 || T.front() != '[')
        return false;
    const qsizetype Close = T.indexOf(']');
    if (Close < 0)
        return false;
    if (Name)
        *Name = T.mid(1, Close - 1).trimmed();
    return true;
}

// Splits "key=value"; false for lines that are no key (comments, garbage).
bool SplitKey(const QByteArray &Line, QByteArray &Key, QByteArray &Value) {
    const qsizetype Eq = Line.indexOf('=');
    if (Eq <= 0)
        return false;
    Key = Line.left(Eq).trimmed();
    if (Key.isEmpty() || Key.front() == ';' || Key.front() == '#')
        return false;
    Value = Line.mid(Eq + 1).trimmed();
    return true;
}

// Names are trimmed of the blanks the file's bytes are trimmed of, and no more:
// a no-break space is part of a name, or a listed key could not be read back.
QString TrimBlanks(const QString &Name) {
    const auto Blank = [](QChar C) { return C == u' ' || (C >= u'\t' && C <= u'\r'); };
    qsizetype From = 0, To = Name.size();
    while (From < To && Blank(Name[From]))
        ++From;
    while (To > From && Blank(Name[To - 1]))
        --To;
    return Name.mid(From, To - From);
}

bool SameName(const QByteArray &Raw, const QString &Name) {
    return FromWin1251(Raw).compare(TrimBlanks(Name), Qt::CaseInsensitive) == 0;
}

bool ParseInteger(QString Text, int &Value) {
    Text = Text.trimmed();
    bool Negative = false;
    if (Text.startsWith(u'-') || Text.startsWith(u'+')) {
        Negative = Text.front() == u'-';
        Text.remove(0, 1);
    }
    bool Ok = false;
    qint64 V = 0;
    if (Text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        const quint64 U = Text.mid(2).toULongLong(&Ok, 16);
        // Hexadecimal texts are bit patterns: 0x8000000F is a negative integer.
        if (!Ok || U > 0xFFFFFFFFull)
            return false;
        V = static_cast<qint32>(static_cast<quint32>(U));
    } else {
        if (Text.isEmpty() || !std::all_of(Text.begin(), Text.end(), [](QChar C) { return C.isDigit() && C.unicode() < 128; }))
            return false;
        V = Text.toLongLong(&Ok, 10);
        if (!Ok || V > 2147483648LL)
            return false;
    }
    if (Negative)
        V = -V;
    if (V < INT32_MIN || V > INT32_MAX)
        return false;
    Value = static_cast<int>(V);
    return true;
}

} // namespace

TIniFile::TIniFile(QString FileName) : FFileName(std::move(FileName)) {
    Load();
}

void TIniFile::Load() {
    FLines.clear();
    FLoadError.clear();
    QFile File(FFileName);
    QByteArray Data;
    if (!File.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(FFileName))
            return; // a missing file reads as empty, and a write creates it
        FLoadError = QStringLiteral("cannot read: ") + File.errorString();
    } else if (File.size() > kMaxIniSize) {
        FLoadError = QStringLiteral("larger than 64 MiB");
    } else {
        Data = File.read(kMaxIniSize + 1);
        if (File.error() != QFileDevice::NoError)
            FLoadError = QStringLiteral("cannot read: ") + File.errorString();
        else if (Data.size() > kMaxIniSize)
            FLoadError = QStringLiteral("larger than 64 MiB");
    }
    if (!FLoadError.isEmpty()) {
        qCWarning(lcIniFile) << FFileName << FLoadError << "- read as empty and not written";
        return;
    }
    qsizetype Start = 0;
    while (Start < Data.size()) {
        qsizetype End = Start;
        while (End < Data.size() && Data[End] != '\n' && Data[End] != '\r')
            ++End;
        TLine Line{Data.mid(Start, End - Start), {}};
        if (End < Data.size()) {
            const qsizetype EndLen = (Data[End] == '\r' && End + 1 < Data.size() && Data[End + 1] == '\n') ? 2 : 1;
            Line.Ending = Data.mid(End, EndLen);
            End += EndLen;
        }
        FLines.push_back(std::move(Line));
        Start = End;
    }
}

void TIniFile::CheckLoaded() const {
    if (!FLoadError.isEmpty())
        throw EIniFileError("Not written: " + FFileName.toStdString() + " did not load (" +
                            FLoadError.toStdString() + ")");
}

void TIniFile::Save() const {
    CheckLoaded();
    // Assembled first and written unbuffered, so that a short write (disk full)
    // shows in the count written: a buffered QSaveFile may commit a truncated
    // file. Leaving without commit discards the temporary file.
    QByteArray Data;
    for (const TLine &Line : FLines)
        Data += Line.Text + Line.Ending;
    QString Reason;
    if (!MakeFolderOf(FFileName, &Reason))
        throw EIniFileError("Cannot write " + FFileName.toStdString() + ": no folder (" + Reason.toStdString() + ")");
    QSaveFile File(FFileName);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || File.write(Data) != Data.size() || !File.commit())
        throw EIniFileError("Cannot write " + FFileName.toStdString() + ": " + File.errorString().toStdString());
}

qsizetype TIniFile::FindSection(const QString &Section) const {
    QByteArray Name;
    for (size_t i = 0; i < FLines.size(); ++i)
        if (IsSectionHeader(FLines[i].Text, &Name) && SameName(Name, Section))
            return static_cast<qsizetype>(i);
    return -1;
}

qsizetype TIniFile::SectionEnd(qsizetype Header) const {
    qsizetype i = Header + 1;
    while (i < static_cast<qsizetype>(FLines.size()) && !IsSectionHeader(FLines[static_cast<size_t>(i)].Text))
        ++i;
    return i;
}

qsizetype TIniFile::FindKey(const QString &Section, const QString &Key) const {
    // Every section of that name counts, as a settings reader would see them in turn.
    QByteArray Name, K, V;
    bool Inside = false;
    for (size_t i = 0; i < FLines.size(); ++i) {
        const QByteArray &Text = FLines[i].Text;
        if (IsSectionHeader(Text, &Name)) {
            Inside = SameName(Name, Section);
            continue;
        }
        if (Inside && SplitKey(Text, K, V) && SameName(K, Key))
            return static_cast<qsizetype>(i);
    }
    return -1;
}

QString TIniFile::ReadString(const QString &Section, const QString &Key, const QString &Default) const {
    const qsizetype i = FindKey(Section, Key);
    if (i < 0)
        return Default;
    QByteArray K, V;
    SplitKey(FLines[static_cast<size_t>(i)].Text, K, V);
    return FromWin1251(V);
}

int TIniFile::ReadInteger(const QString &Section, const QString &Key, int Default) const {
    int Value = 0;
    return ParseInteger(ReadString(Section, Key, QString()), Value) ? Value : Default;
}

bool TIniFile::ReadBool(const QString &Section, const QString &Key, bool Default) const {
    return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(const QString &Section, const QString &Key, double Default,
                           const TFormatSettings &Settings) const {
    return StrToFloatDef(ReadString(Section, Key, QString()), Default, Settings);
}

void TIniFile::WriteString(const QString &Section, const QString &Key, const QString &Value) {
    if (FUpdating == 0) {
        Load(); // another writer may have changed the file since it was read
        CheckLoaded(); // before anything changes
    }
    // Line breaks inside a value would split it into lines of their own.
    QString Clean = Value;
    Clean.replace(u'\r', u' ').replace(u'\n', u' ');
    const QByteArray NewLine = ToWin1251(TrimBlanks(Key)) + '=' + ToWin1251(Clean);
    const qsizetype Existing = FindKey(Section, Key);
    if (Existing >= 0) {
        FLines[static_cast<size_t>(Existing)].Text = NewLine;
    } else {
        const qsizetype Header = FindSection(Section);
        // A last line without an end gets one only when a line goes after it.
        const auto EndLastLine = [this] {
            if (!FLines.empty() && FLines.back().Ending.isEmpty())
                FLines.back().Ending = "\r\n";
        };
        if (Header < 0) {
            EndLastLine();
            FLines.push_back({'[' + ToWin1251(TrimBlanks(Section)) + ']', "\r\n"});
            FLines.push_back({NewLine, "\r\n"});
        } else {
            // After the last non-blank line of the section, so that a blank
            // separator line before the next section stays where it is.
            qsizetype At = SectionEnd(Header);
            while (At - 1 > Header && FLines[static_cast<size_t>(At - 1)].Text.trimmed().isEmpty())
                --At;
            if (At == static_cast<qsizetype>(FLines.size()))
                EndLastLine();
            FLines.insert(FLines.begin() + At, TLine{NewLine, "\r\n"});
        }
    }
    if (FUpdating == 0)
        Save();
}

void TIniFile::BeginUpdate() {
    if (FUpdating++ == 0)
        Load();
}

void TIniFile::EndUpdate() {
    if (FUpdating > 0 && --FUpdating == 0)
        Save();
}

void TIniFile::WriteInteger(const QString &Section, const QString &Key, int Value) {
    WriteString(Section, Key, QString::number(Value));
}

void TIniFile::WriteBool(const QString &Section, const QString &Key, bool Value) {
    WriteInteger(Section, Key, Value ? 1 : 0);
}

void TIniFile::WriteFloat(const QString &Section, const QString &Key, double Value,
                          const TFormatSettings &Settings) {
    WriteString(Section, Key, FloatToStr(Value, Settings));
}

bool TIniFile::SectionExists(const QString &Section) const {
    return FindSection(Section) >= 0;
}

bool TIniFile::ValueExists(const QString &Section, const QString &Key) const {
    return FindKey(Section, Key) >= 0;
}

QStringList TIniFile::ReadSection(const QString &Section) const {
    QStringList Keys;
    QByteArray Name, K, V;
    bool Inside = false;
    for (const TLine &Line : FLines) {
        if (IsSectionHeader(Line.Text, &Name)) {
            Inside = SameName(Name, Section);
            continue;
        }
        if (Inside && SplitKey(Line.Text, K, V))
            Keys << FromWin1251(K);
    }
    return Keys;
}

QStringList TIniFile::ReadSections() const {
    QStringList Names;
    QByteArray Name;
    for (const TLine &Line : FLines)
        if (IsSectionHeader(Line.Text, &Name))
            Names << FromWin1251(Name);
    return Names;
}

bool TIniFile::CreateEmpty(const QString &FileName) {
    if (QFile::exists(FileName))
        return true;
    if (!MakeFolderOf(FileName))
        return false;
    QFile File(FileName);
    return File.open(QIODevice::WriteOnly);
}
