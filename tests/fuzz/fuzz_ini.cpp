// Any bytes as an ini file: reading must never crash, and one write must keep
// every other line byte for byte (only the written key's line changes, or new
// lines appear; an unended last line may gain its CR LF when a line follows it).
#include "uIniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <vector>

namespace {

struct TLine {
    QByteArray Text, Ending;
    bool operator==(const TLine &) const = default;
};

// The same split as the ini reader: CR LF, LF or CR.
std::vector<TLine> Split(const QByteArray &Data) {
    std::vector<TLine> Lines;
    qsizetype Start = 0;
    while (Start < Data.size()) {
        qsizetype End = Start;
        while (End < Data.size() && Data[End] != '\n' && Data[End] != '\r')
            ++End;
        TLine Line{Data.mid(Start, End - Start), {}};
        if (End < Data.size()) {
            const qsizetype Len = (Data[End] == '\r' && End + 1 < Data.size() && Data[End + 1] == '\n') ? 2 : 1;
            Line.Ending = Data.mid(End, Len);
            End += Len;
        }
        Lines.push_back(Line);
        Start = End;
    }
    return Lines;
}

void Check(bool Condition) {
    if (!Condition)
        std::abort();
}

QString IniFile() {
    static const QString Path =
        (QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
        QStringLiteral("/fuzz_ini_%1.ini").arg(QCoreApplication::applicationPid());
    // Registered once the path exists, so that it runs before the path is destroyed.
    static const bool Cleanup = std::atexit([] { QFile::remove(Path); }) == 0;
    (void)Cleanup;
    return Path;
}

QByteArray ReadFile(const QString &Path) {
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

const QByteArray kHeader = "[Fuzz]";
const QByteArray kKeyLine = "Key=Value";

// Old and New equal line by line once New's Count added lines at Skip are left
// out, except that Old's unended last line may have gained CR LF when the additions follow it.
bool SameExcept(const std::vector<TLine> &Old, const std::vector<TLine> &New, size_t Skip, size_t Count) {
    for (size_t i = 0; i < Old.size(); ++i) {
        const TLine &N = New[i < Skip ? i : i + Count];
        const bool LastGainedEnd = i + 1 == Old.size() && Old[i].Ending.isEmpty() && Count > 0 && Skip == Old.size() &&
                                   N.Text == Old[i].Text && N.Ending == "\r\n";
        if (!(N == Old[i]) && !LastGainedEnd)
            return false;
    }
    return true;
}

void CheckOnlyOneKeyChanged(const QByteArray &Before, const QByteArray &After) {
    const std::vector<TLine> Old = Split(Before), New = Split(After);
    const TLine Added{kKeyLine, "\r\n"};
    if (New.size() == Old.size()) { // replaced in place, keeping the line's end
        size_t Diffs = 0;
        for (size_t i = 0; i < Old.size(); ++i)
            if (!(Old[i] == New[i])) {
                Check(New[i] == (TLine{kKeyLine, Old[i].Ending}));
                ++Diffs;
            }
        Check(Diffs <= 1);
    } else if (New.size() == Old.size() + 1) { // appended to its section
        size_t At = 0;
        while (At < Old.size() && Old[At] == New[At])
            ++At;
        if (At + 1 == Old.size() && Old[At].Ending.isEmpty() && !(New[At] == Added))
            ++At; // the unended last line, now followed by the key
        Check(New[At] == Added);
        Check(SameExcept(Old, New, At, 1));
    } else if (New.size() == Old.size() + 2) { // a new section at the end
        Check(New[Old.size()] == (TLine{kHeader, "\r\n"}) && New[Old.size() + 1] == Added);
        Check(SameExcept(Old, New, Old.size(), 2));
    } else {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
    const QByteArray Bytes(reinterpret_cast<const char *>(Data), static_cast<qsizetype>(Size));
    const QString Path = IniFile();
    {
        QFile F(Path);
        if (!F.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        F.write(Bytes);
    }

    TIniFile Ini(Path);
    const QStringList Sections = Ini.ReadSections();
    for (qsizetype s = 0; s < std::min<qsizetype>(Sections.size(), 8); ++s) {
        const QStringList Keys = Ini.ReadSection(Sections[s]);
        for (qsizetype k = 0; k < std::min<qsizetype>(Keys.size(), 8); ++k) {
            Check(Ini.ValueExists(Sections[s], Keys[k]));
            (void)Ini.ReadString(Sections[s], Keys[k], QString());
            (void)Ini.ReadInteger(Sections[s], Keys[k], 0);
            (void)Ini.ReadBool(Sections[s], Keys[k], false);
            (void)Ini.ReadFloat(Sections[s], Keys[k], 0.0);
        }
    }
    (void)Ini.ReadInteger(QStringLiteral("Transmitter"), QStringLiteral("BaudRate"), 9600);
    (void)Ini.ReadFloat(QStringLiteral("Lanx1"), QStringLiteral("Freq1"), 0.0);

    Ini.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QStringLiteral("Value"));
    const QByteArray After = ReadFile(Path);
    CheckOnlyOneKeyChanged(Bytes, After);
    Check(TIniFile(Path).ReadString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QString()) == QStringLiteral("Value"));
    return 0;
}
