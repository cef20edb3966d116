#pragma once
// The one progress window of the program, shown while a sequence of steps runs
// (command retries, table transfer, archive loading). Failures inside never
// reach the caller.
#include <QString>
#include <QWidget>

class QProgressBar;

// Creates the window when none exists (Text and Max are kept from that first
// call), then moves the bar to Position of Max and shows it without blocking.
void ShowProgress(const QString &Text, int Position, int Max);
// Moves the bar to P x 100 / Max percent; repaints and lets pending input be processed.
void SetProgressPosition(int P);
// Destroys the window if one exists.
void CloseProgress();

// A fixed window without title-bar buttons: one bar, the caption Text + " " + percent + "%".
class TFormProgressBar : public QWidget {
    Q_OBJECT
public:
    // Owner: the window it stays above (a window of its own, transient for Owner).
    TFormProgressBar(const QString &Text, int Max, QWidget *Owner = nullptr);

    QString Text() const { return FText; }
    int Max() const { return FMax; }
    int Position() const;
    QProgressBar *ProgressBar() const { return FProgressBar; }
    // Moves the bar to Percent (kept within 0..100); false when it already was there.
    bool SetPercent(int Percent);

private:
    void UpdateCaption();

    QString FText;
    int FMax = 0;
    QProgressBar *FProgressBar = nullptr;
};

// The window while it exists (for tests), else nullptr.
TFormProgressBar *ProgressWindow();
