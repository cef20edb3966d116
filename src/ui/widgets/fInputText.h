#pragma once
#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// Why a text cannot be taken, for the user; empty when it can.
using TTextCheck = std::function<QString(const QString &)>;

// Asks for a line of text; returns it, or Value when the user cancels. A text
// that Check refuses is not confirmed: the reason is shown under the field,
// in red, and the dialog stays open.
QString InputText(const QString &Caption, const QString &Prompt, const QString &Value, const TTextCheck &Check = {},
                  bool *Ok = nullptr, QWidget *Parent = nullptr);

// The text dialog: prompt, line edit (edValue), the reason a text is refused
// (lblProblem), OK and "Отменить".
class TFormInputText : public QDialog {
    Q_OBJECT
public:
    TFormInputText(const QString &Caption, const QString &Prompt, const QString &Value, TTextCheck Check,
                   QWidget *Parent = nullptr);
    // The text confirmed by OK.
    QString Confirmed() const { return FConfirmed; }

private:
    void Confirm();

    QLabel *lblCaption = nullptr;
    QLineEdit *edValue = nullptr;
    QLabel *lblProblem = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
    TTextCheck FCheck;
    QString FConfirmed;
};
