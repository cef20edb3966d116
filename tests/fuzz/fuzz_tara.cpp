// Any bytes as a table file: loading must never crash, hang or take memory out
// of proportion to the text, and whatever loads must convert sanely.
#include "Tara.h"
#include "uTextFile.h"
#include "uWin1251.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cmath>
#include <cstdlib>

namespace {

QString TableFile() {
    static const QString Path = [] {
        const QString Dir = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        const QString P = Dir + QStringLiteral("/fuzz_tara_%1.txt").arg(QCoreApplication::applicationPid());
        QFile F(P);
        F.open(QIODevice::WriteOnly);
        return P;
    }();
    // Registered once the path exists, so that it runs before the path is destroyed.
    static const bool Cleanup = std::atexit([] { QFile::remove(Path); }) == 0;
    (void)Cleanup;
    return Path;
}

void Check(bool Condition) {
    if (!Condition)
        std::abort();
}

void ScanWholeLine(const QString &Line) {
    qsizetype Pos = 0;
    double V = 0;
    while (ScanNumber(Line, Pos, V)) {
        Check(std::isfinite(V));
        Check(Pos <= Line.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
    const QString Text = FromWin1251(reinterpret_cast<const char *>(Data), static_cast<qsizetype>(Size));
    const QStringList Lines = SplitTextLines(Text);

    QStringList Names{QStringLiteral("ttDefault1"), QStringLiteral("T"), QStringLiteral("Не определено")};
    if (!Lines.isEmpty() && Lines.front().contains(u'='))
        Names << Lines.front().section(u'=', 0, 0);

    TTara Tara;
    Tara.FileName = TableFile();
    for (const QString &Name : Names) {
        Tara.TableName = Name;
        const bool Ok = Tara.LoadFromStrings(Lines);
        // Never more points than lines of text.
        Check(Tara.Table.size() <= static_cast<size_t>(Lines.size()));
        if (Ok)
            for (const TTaraPoint &P : Tara.Table)
                Check(std::isfinite(P.Level) && std::isfinite(P.Volume));
        for (double Level : {-1e9, -1.0, 0.0, 0.5, 50.0, 1e4, 1e12}) {
            double Volume = 12345;
            const bool Has = Tara.LevelToVolume(Level, Volume);
            Check(Has == (!Name.isEmpty() && Tara.Table.size() >= 2));
            if (!Has)
                Check(Volume == 12345);
        }
    }
    for (qsizetype i = 0; i < std::min<qsizetype>(Lines.size(), 64); ++i)
        ScanWholeLine(Lines[i]);
    return 0;
}
