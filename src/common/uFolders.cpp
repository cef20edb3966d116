#include "uFolders.h"

#include "uIniFile.h"
#include "uSysUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <atomic>

namespace {

std::atomic<TFolderMode> ModeInUse{TFolderMode::Portable};

// A new file can be made in Dir (a read-only medium, another user's folder or
// an immutable folder all refuse it; permission bits alone do not tell root).
bool CanCreateIn(const QString &Dir) {
    if (!QFileInfo(Dir).isDir())
        return false;
    QTemporaryFile Probe(JoinPath(Dir, QStringLiteral(".lanx1-probe-XXXXXX")));
    return Probe.open();
}

} // namespace

TFolderLayout ChooseFolders(const TFolderFacts &Facts) {
    TFolderLayout L;
    const bool Writable = Facts.ProgramDirWritable && !Facts.SystemInstalled;
    if (Writable || Facts.PortableFile || Facts.UserDataDir.isEmpty()) {
        L.Mode = TFolderMode::Portable;
        L.DataDir = Facts.ProgramDir;
        L.IniDir = Facts.CurrentDir;
        return L;
    }
    L.Mode = TFolderMode::Installed;
    L.DataDir = Facts.UserDataDir;
    L.IniDir = Facts.UserDataDir;
    return L;
}

TFolderFacts ProbeFolders(const QString &ProgramDir) {
    TFolderFacts F;
    F.ProgramDir = ProgramDir;
    F.PortableFile = QFileInfo(JoinPath(ProgramDir, QStringLiteral("portable"))).isFile();
    // Where it lies, not whether its folder can be written: root can write
    // /usr/bin, and must not take the system's copy for a portable one (nor
    // try a file there).
    const QString Clean = QDir::cleanPath(QFileInfo(ProgramDir).absoluteFilePath());
    F.SystemInstalled = Clean.startsWith(QStringLiteral("/usr/")) ||
                        QFileInfo(QDir(ProgramDir).filePath(QLatin1String(kInstalledMarker))).isFile();
    F.ProgramDirWritable = !F.SystemInstalled && CanCreateIn(ProgramDir);
    F.CurrentDir = AppDir();
    // lanx1ctl shares the program's folder: the name is the program's, not the tool's.
    const QString Own = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("lanx1"));
    F.UserDataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCoreApplication::setApplicationName(Own);
    return F;
}

bool ApplyFolders(const TFolderLayout &Layout, const std::function<QString()> &FirstPort, QString *Error) {
    ModeInUse = Layout.Mode;
    SetProgramDir(Layout.DataDir);
    SetAppDir(Layout.IniDir);
    if (Layout.Mode == TFolderMode::Portable)
        return true;
    const QDir Data(Layout.DataDir);
    for (const QString &Sub : {QStringLiteral("DATA"), QStringLiteral("PAR"), QStringLiteral("TarTabl"),
                               QStringLiteral("INI")}) {
        if (!ForceDirectories(Data.filePath(Sub))) {
            if (Error)
                *Error = QStringLiteral("cannot create the folder ") + Data.filePath(Sub);
            return false;
        }
    }
    if (!QDir::setCurrent(Layout.IniDir)) {
        if (Error)
            *Error = QStringLiteral("cannot enter the folder ") + Layout.IniDir;
        return false;
    }
    const QString ComPort = IniPath(QStringLiteral("ComPort.ini"));
    const QString Port = QFileInfo::exists(ComPort) || !FirstPort ? QString() : FirstPort();
    if (!Port.isEmpty()) {
        try {
            TIniFile Ini(ComPort);
            Ini.WriteString(QStringLiteral("Transmitter"), QStringLiteral("Port"), Port);
        } catch (const EIniFileError &E) {
            if (Error)
                *Error = QString::fromUtf8(E.what());
            return false;
        }
    }
    return true;
}

QString FirstSerialPort() {
    const QList<QSerialPortInfo> Ports = QSerialPortInfo::availablePorts();
    return Ports.isEmpty() ? QString() : Ports.first().portName();
}

QList<TFolderEntry> FoldersInUse() {
    const QString Data = ProgramDir();
    return {{QStringLiteral("Настройки (INI)"), JoinPath(AppDir(), QStringLiteral("INI"))},
            {QStringLiteral("Журнал запросов"), AppDir()},
            {QStringLiteral("Архив (DATA)"), JoinPath(Data, QStringLiteral("DATA"))},
            {QStringLiteral("Файлы параметров (PAR)"), JoinPath(Data, QStringLiteral("PAR"))},
            {QStringLiteral("Тарировочные таблицы (TarTabl)"), JoinPath(Data, QStringLiteral("TarTabl"))},
            {QStringLiteral("Настройки графика (fGraph.ini)"), JoinPath(Data, QStringLiteral("INI"))}};
}

TFolderMode FolderModeInUse() {
    return ModeInUse;
}

QString FolderModeText() {
    return FolderModeInUse() == TFolderMode::Installed ? QStringLiteral("установленная")
                                                       : QStringLiteral("переносная");
}
