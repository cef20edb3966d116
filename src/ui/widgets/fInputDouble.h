#pragma once
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class TEditNum;

// Asks for a real number shown with Digits decimals; returns it, or Value when
// the user cancels. No range check: the callers' setters apply their own.
double InputDouble(const QString &Caption, const QString &Prompt, int Digits, double Value, bool *Ok = nullptr);

// The real-number dialog: prompt, number edit, OK and "Отменить". OK with a
// text that is no number turns the edit red and keeps the dialog open.
class TFormInputDouble : public QDialog {
    Q_OBJECT
public:
    TFormInputDouble(const QString &Caption, const QString &Prompt, int Digits, double Value,
                     QWidget *Parent = nullptr);
    // The number confirmed by OK.
    double Confirmed() const { return FConfirmed; }

private:
    void Confirm();
    void SetEditColor(const QColor &Color);

    QLabel *lblCaption = nullptr;
    TEditNum *enValue = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
    double FConfirmed = 0;
};
