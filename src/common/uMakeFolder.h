#pragma once
// The program's folders (INI, PAR, TarTabl, DATA and the archive's day folders)
// are made when a file is first written into them, in either folder mode.
//
// A folder that cannot be made is told to the user once a run, with its path
// and the reason, through the message service; every later write into it fails
// as well, quietly, and the callers' own messages about that file are then left
// out (FolderFailed), so that a missing folder does not bring a message box at
// every change of a setting.
#include <QString>

// Makes the folder of the file FilePath, with its missing parents, when it is
// missing. False when it could not be made; *Reason then says why.
bool MakeFolderOf(const QString &FilePath, QString *Reason = nullptr);
// Whether the folder of FilePath is one that could not be made (and was told).
bool FolderFailed(const QString &FilePath);
// Forgets the folders that were told (tests).
void ForgetFailedFolders();

// The reason of a failed file operation, as the user reads it.
QString FileErrorReason(int Errno);
