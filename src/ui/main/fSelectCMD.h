#pragma once
// The command-selection window: which request kinds each poll cycle sends.
#include <QWidget>

class QCheckBox;

class TFormSelectCMD;

// The window while it is open, else nullptr.
extern TFormSelectCMD *FormSelectCMD;
// Creates the window when it is closed, then shows it (not modal).
void ShowSelectCMD();
// Refresh of the window, called by the main window's RefreshAll (nothing to redraw).
void RefreshSelectCMD();

// "Команды ЛАНКС1хх": one check box per request kind of the poll set and
// "Выделить все". Checking a box adds its kind to PollSet, unchecking removes
// it. The window frees itself when closed (Esc or the close box).
class TFormSelectCMD : public QWidget {
    Q_OBJECT
public:
    explicit TFormSelectCMD(QWidget *Parent = nullptr);
    ~TFormSelectCMD() override;

protected:
    void keyPressEvent(QKeyEvent *Event) override;
    void closeEvent(QCloseEvent *Event) override;

private:
    QCheckBox *NewCommandBox(const QString &Name, const QString &Text, int Kind);
    void SelectAll(bool Checked);

    QCheckBox *chbAll = nullptr;
    QCheckBox *chbLevel = nullptr;
    QCheckBox *chbVolume = nullptr;
    QCheckBox *chbFreq = nullptr;
    QCheckBox *chbReadAll = nullptr;
};
