#pragma once
// The program's icon (the tank with its level mark of the desktop entry),
// drawn in code at the sizes window managers ask for, so that no image
// plug-in is needed to show it.
#include <QIcon>

QIcon ProgramIcon();
// Makes it the icon of every window of the application.
void InstallProgramIcon();
