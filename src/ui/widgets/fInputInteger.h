#pragma once
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class TSpinEdit;

// Asks for an integer within [MinValue, MaxValue]; returns it, or Value when
// the user cancels (Ok, when given, tells which).
int InputInteger(const QString &Caption, const QString &Prompt, int Value, int MinValue, int MaxValue,
                 bool *Ok = nullptr);

// The integer dialog: prompt, spin field, OK and "Отменить". Enter confirms, Esc cancels.
class TFormInputInteger : public QDialog {
    Q_OBJECT
public:
    TFormInputInteger(const QString &Caption, const QString &Prompt, int Value, int MinValue, int MaxValue,
                      QWidget *Parent = nullptr);
    // The value confirmed by OK.
    int Confirmed() const { return FConfirmed; }

private:
    void Confirm();

    QLabel *lblCaption = nullptr;
    TSpinEdit *speValue = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
    int FConfirmed = 0;
};
