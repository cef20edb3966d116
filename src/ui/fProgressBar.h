#pragma once
// The one progress window of the program, shown while a sequence of steps runs
// (command retries, table transfer, archive loading). Failures inside never
// reach the caller.
#include <QString>

class TFormProgressBar;

// Creates the window when none exists (Text and Max are kept from that first
// call), then moves the bar to Position of Max and shows it without blocking.
void ShowProgress(const QString &Text, int Position, int Max);
// Moves the bar to P x 100 / Max percent; repaints and lets pending input be processed.
void SetProgressPosition(int P);
// Destroys the window if one exists.
void CloseProgress();
// The window while it exists (for tests), else nullptr.
TFormProgressBar *ProgressWindow();
