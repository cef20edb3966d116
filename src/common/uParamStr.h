#pragma once
// The service switch: "/full" on the command line shows the commands that edit
// the plant number. The main window toggles it later (Ctrl+F); the polling
// thread may read it, hence the atomic flag behind the accessors.
#include <QStringList>

bool FullMode();
void SetFullMode(bool Value);

// True when any argument, the program path (argument 0) included, is exactly
// "/full" (letter case counts). Also stores the result as FullMode.
bool InitFullMode(const QStringList &Args);
