#pragma once
// Where the program keeps its files: portable or installed.
//
// A copy that holds a file named "portable" beside the program is portable:
// DATA/, PAR/, TarTabl/ and INI/fGraph.ini stay beside the program file, INI/
// and the request log in the folder current at start, and no folder is
// created.
//
// A copy installed by the system (its program file under /usr, or the package's
// marker share/lanx1/installed beside its bin folder) is installed, whoever
// runs it: root, who may write anywhere, too. It keeps all of them in the
// user's data folder (~/.local/share/lanx1 on Linux), which also becomes the
// working directory. Its first start creates the folders and a ComPort.ini
// naming the first serial port of the system.
//
// Any other copy is portable when its program folder can be written to, and
// installed when not.
#include <QString>
#include <QStringList>
#include <functional>

enum class TFolderMode { Portable, Installed };

// What the rule looks at.
struct TFolderFacts {
    QString ProgramDir;       // folder of the program file
    bool ProgramDirWritable = false; // not tried for a system copy
    bool PortableFile = false; // ProgramDir holds a file "portable"
    bool SystemInstalled = false; // under /usr, or ProgramDir/../share/lanx1/installed exists
    QString CurrentDir;       // current directory at start
    QString UserDataDir;      // QStandardPaths::AppDataLocation
};

// Where the files go.
struct TFolderLayout {
    TFolderMode Mode = TFolderMode::Portable;
    QString DataDir; // holds DATA/, PAR/, TarTabl/, INI/fGraph.ini (ProgramDir)
    QString IniDir;  // holds INI/ and the request log (AppDir)
    bool operator==(const TFolderLayout &) const = default;
};

// The rule itself: no file is touched.
TFolderLayout ChooseFolders(const TFolderFacts &Facts);

// The marker the package installs, relative to the program's folder.
inline constexpr char kInstalledMarker[] = "../share/lanx1/installed";

// The facts of this machine for the program folder ProgramDir (the user's data
// folder is that of the application "lanx1", whatever the running program's name).
TFolderFacts ProbeFolders(const QString &ProgramDir);

// Makes Layout the one in use: ProgramDir and AppDir point at its folders and,
// installed, the working directory moves there and the folders and a default
// INI/ComPort.ini (naming the port FirstPort gives, asked only then) are
// created when missing. False when a folder could not be made; *Error says which.
bool ApplyFolders(const TFolderLayout &Layout, const std::function<QString()> &FirstPort,
                  QString *Error = nullptr);

// The first serial port of the system's list; empty when there is none.
QString FirstSerialPort();

// The folders of the layout in use, for the "about" window: name and path.
struct TFolderEntry {
    QString Title;
    QString Path;
};
QList<TFolderEntry> FoldersInUse();
// The current one as the user reads it: "переносная" or "установленная".
QString FolderModeText();
// The mode of the layout in use.
TFolderMode FolderModeInUse();
