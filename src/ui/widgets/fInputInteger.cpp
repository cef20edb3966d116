#include "fInputInteger.h"

#include "SpinEdit.h"
#include "uInputLayout.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>

Q_LOGGING_CATEGORY(lcInputInteger, "lanx1.input.integer")

namespace {
int LastInputInteger = 0; // the last value a user confirmed
} // namespace

TFormInputInteger::TFormInputInteger(const QString &Caption, const QString &Prompt, int Value, int MinValue,
                                     int MaxValue, QWidget *Parent)
    : QDialog(Parent), FConfirmed(Value) {
    setObjectName(QStringLiteral("FormInputInteger"));
    setWindowTitle(Caption);
    lblCaption = new QLabel(Prompt, this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    speValue = new TSpinEdit(this);
    speValue->setObjectName(QStringLiteral("speValue"));
    speValue->setSingleStep(1);
    speValue->setMaximum(MaxValue);
    speValue->setMinimum(MinValue);
    speValue->setValue(Value); // shown clamped into the range
    CreateDialogButtons(this, btnOK, btnCancel);
    LayoutInputDialog(this, lblCaption, speValue, btnOK, btnCancel);
    connect(btnOK, &QPushButton::clicked, this, &TFormInputInteger::Confirm);
    speValue->setFocus();
}

void TFormInputInteger::Confirm() {
    FConfirmed = speValue->TypedValue(); // clamped into the range of the field
    LastInputInteger = FConfirmed;
    accept();
}

int InputInteger(const QString &Caption, const QString &Prompt, int Value, int MinValue, int MaxValue, bool *Ok) {
    if (Ok)
        *Ok = false;
    try {
        TFormInputInteger Form(Caption, Prompt, Value, MinValue, MaxValue);
        if (Form.exec() != QDialog::Accepted)
            return Value;
        if (Ok)
            *Ok = true;
        return Form.Confirmed();
    } catch (const std::exception &E) {
        qCWarning(lcInputInteger) << "integer input:" << E.what();
    } catch (...) {
        qCWarning(lcInputInteger) << "integer input failed";
    }
    return Value;
}
