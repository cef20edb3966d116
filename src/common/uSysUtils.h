#pragma once
// Folders and paths. AppDir is the current directory at start (it holds INI);
// ProgramDir is the folder of the program file (it holds PAR, TarTabl, DATA).
// The two are the same when the program is started from its own folder.
#include <QString>

// Captures the current directory once; later changes of it do not move INI.
QString AppDir();
void SetAppDir(const QString &Dir); // for tests and tools that pin the folder
QString ProgramDir();
void SetProgramDir(const QString &Dir);
// AppDir/INI/Name, or IniDir/Name while a settings folder is set.
QString IniPath(const QString &Name);
// The settings folder for this run instead of AppDir/INI (lanx1ctl --ini DIR);
// empty restores AppDir/INI.
void SetIniDir(const QString &Dir);

// Name when Dir is empty; Dir + Name when Dir ends with '/'; else Dir + '/' + Name.
QString JoinPath(const QString &Dir, const QString &Name);
// Creates the missing folders of Path and the file itself, empty, when missing.
bool ForceFile(const QString &Path);
// Creates Dir with its missing parents.
bool ForceDirectories(const QString &Dir);
// The file name of Path without its folder and its extension.
QString FileNameWithoutExt(const QString &Path);
// The folder part of Path, empty when it has none.
QString ExtractFileDir(const QString &Path);
