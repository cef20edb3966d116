#include "uSysUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <mutex>

namespace {

struct TFolders {
    std::mutex Lock;
    QString App;
    QString Program;
    QString Ini;
};

TFolders &Folders() {
    static TFolders F;
    return F;
}

} // namespace

QString AppDir() {
    TFolders &F = Folders();
    std::lock_guard Guard(F.Lock);
    if (F.App.isEmpty())
        F.App = QDir::currentPath();
    return F.App;
}

void SetAppDir(const QString &Dir) {
    TFolders &F = Folders();
    std::lock_guard Guard(F.Lock);
    F.App = Dir;
}

QString ProgramDir() {
    TFolders &F = Folders();
    std::lock_guard Guard(F.Lock);
    if (F.Program.isEmpty())
        F.Program = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return F.Program;
}

void SetProgramDir(const QString &Dir) {
    TFolders &F = Folders();
    std::lock_guard Guard(F.Lock);
    F.Program = Dir;
}

void SetIniDir(const QString &Dir) {
    TFolders &F = Folders();
    std::lock_guard Guard(F.Lock);
    F.Ini = Dir;
}

QString IniPath(const QString &Name) {
    {
        TFolders &F = Folders();
        std::lock_guard Guard(F.Lock);
        if (!F.Ini.isEmpty())
            return JoinPath(F.Ini, Name);
    }
    return JoinPath(JoinPath(AppDir(), QStringLiteral("INI")), Name);
}

QString JoinPath(const QString &Dir, const QString &Name) {
    if (Dir.isEmpty())
        return Name;
    if (Dir.endsWith(u'/'))
        return Dir + Name;
    return Dir + u'/' + Name;
}

bool ForceDirectories(const QString &Dir) {
    return Dir.trimmed().isEmpty() || QDir().mkpath(Dir);
}

bool ForceFile(const QString &Path) {
    if (!ForceDirectories(ExtractFileDir(Path)))
        return false;
    if (QFile::exists(Path))
        return true;
    QFile File(Path);
    return File.open(QIODevice::WriteOnly);
}

QString FileNameWithoutExt(const QString &Path) {
    const QString Name = QFileInfo(Path).fileName();
    const qsizetype Dot = Name.lastIndexOf(u'.');
    return Dot < 0 ? Name : Name.left(Dot);
}

QString ExtractFileDir(const QString &Path) {
    const qsizetype Slash = Path.lastIndexOf(u'/');
    return Slash < 0 ? QString() : Path.left(Slash == 0 ? 1 : Slash);
}
