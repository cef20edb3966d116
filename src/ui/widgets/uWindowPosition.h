#pragma once
// Windows remember where they were: AppDir/INI/WndPos.ini, one section per
// window named after its objectName (its class name when it has none), keys
// Name, Left, Top, Width, Height and WindowState (0 normal, 1 minimised,
// 2 maximised). Left and Top are the frame position, Width and Height the size.
#include <QObject>
#include <QString>

// The file both functions use.
QString WindowPositionFile();

// Restores a top-level window's bounds (Left, Top, then Width, Height) and then
// its state; missing keys keep the current values. Anything that is not a
// window is ignored, and so is a missing file or INI folder.
void LoadWindowPosition(QObject *AObject);
// True when the file holds a position for this window.
bool HasSavedWindowPosition(QObject *AObject);
// Stores a top-level window's bounds and state, creating the file when missing
// (not the INI folder). Throws EIniFileError when the file cannot be written.
void SaveWindowPosition(QObject *AObject);
