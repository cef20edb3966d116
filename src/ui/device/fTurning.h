#pragma once
// What the two trimming dialogs of the current output share: the correction
// shown large, step buttons that send every change to the transducer at once,
// and the start and save buttons of the main window's actions. The dialog puts
// the transducer into trimming mode when it opens and takes it out when it
// closes.
#include <QDialog>
#include <QString>
#include <cstdint>

class QAction;
class QLabel;
class QToolButton;

// The constants that tell one end of the output from the other.
struct TTurningEnd {
    bool Top = false;        // the 20 mA end, else the 4 mA end
    QString ObjectName;      // window name (positions file)
    QString Caption;
    QString Group;           // group box title with the range
    QString LabelName;       // object name of the value label
    int Lower = 0, Upper = 0; // the steps stay strictly inside
    int Typical = 0;         // the value of the default button
};

class TFormTurning : public QDialog {
    Q_OBJECT
public:
    explicit TFormTurning(const TTurningEnd &End, QWidget *Parent = nullptr);

    // Step buttons enabled exactly while a correction is active; the label shows the correction.
    void RefreshView();
    // A correction is active exactly while the start action is disabled.
    bool Correcting() const;

    // Adds N (negative: subtracts) when the result stays strictly inside the
    // range, then sends the correction again while correcting.
    void Step(int N);
    // The typical correction, sent while correcting.
    void SetTypical();

    QLabel *ValueLabel() const { return FValue; }
    QToolButton *sbtIncrement1 = nullptr;
    QToolButton *sbtDecrement1 = nullptr;
    QToolButton *sbtIncrement5 = nullptr;
    QToolButton *sbtDecrement5 = nullptr;
    QToolButton *sbtDefault = nullptr;
    QToolButton *btnStart = nullptr;
    QToolButton *btnSave = nullptr;

    void done(int Result) override;

protected:
    void showEvent(QShowEvent *Event) override;

private:
    int Value() const;
    void SetValue(int Value);
    void AfterChange();
    QAction *StartAction() const;
    QAction *SaveAction() const;
    QAction *WriteAction() const;

    TTurningEnd FEnd;
    QLabel *FValue = nullptr;
    bool FClosing = false;
};

// Sets the main window's hooks that open the two dialogs (at program start).
void RegisterTurningDialogs();
