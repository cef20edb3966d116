#pragma once
// The readings and parameters windows as the main window reaches them.

// Makes the main window's "Показания ЛАНКС1хх" and "Параметры ЛАНКС1хх" open
// the two windows and its RefreshAll redraw them while they are open.
void RegisterLanx1Windows();
// Frees both windows if they are open, without closing them (their positions
// are not stored): the end of the program, before the device object goes.
void DestroyLanx1Windows();
