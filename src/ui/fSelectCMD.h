#pragma once
// The command-selection window: which request kinds each poll cycle sends.
class TFormSelectCMD;

// The window while it is open, else nullptr.
extern TFormSelectCMD *FormSelectCMD;
// Creates the window when it is closed, then shows it (not modal).
void ShowSelectCMD();
// Refresh of the window, called by the main window's RefreshAll (nothing to redraw).
void RefreshSelectCMD();
