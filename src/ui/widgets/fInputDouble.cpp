#include "fInputDouble.h"

#include "EditNum.h"
#include "uFormat.h"
#include "uInputLayout.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>

Q_LOGGING_CATEGORY(lcInputDouble, "lanx1.input.double")

TFormInputDouble::TFormInputDouble(const QString &Caption, const QString &Prompt, int Digits, double Value,
                                   QWidget *Parent)
    : QDialog(Parent), FConfirmed(Value) {
    setObjectName(QStringLiteral("FormInputDouble"));
    setWindowTitle(Caption);
    lblCaption = new QLabel(Prompt, this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    enValue = new TEditNum(this);
    enValue->setObjectName(QStringLiteral("enValue"));
    enValue->setText(FloatToStrF(Value, TFloatFormat::ffFixed, 9, Digits, DefaultFormatSettings()));
    CreateDialogButtons(this, btnOK, btnCancel);
    LayoutInputDialog(this, lblCaption, enValue, btnOK, btnCancel);
    connect(btnOK, &QPushButton::clicked, this, &TFormInputDouble::Confirm);
    enValue->setFocus();
}

void TFormInputDouble::SetEditColor(const QColor &Color) {
    QPalette Palette = enValue->palette();
    Palette.setColor(QPalette::Base, Color);
    enValue->setPalette(Palette);
}

void TFormInputDouble::Confirm() {
    double V = 0;
    if (!TryStrToFloat(enValue->text(), V, DefaultFormatSettings())) {
        SetEditColor(Qt::red);
        return;
    }
    SetEditColor(Qt::white);
    FConfirmed = V;
    accept();
}

double InputDouble(const QString &Caption, const QString &Prompt, int Digits, double Value, bool *Ok) {
    if (Ok)
        *Ok = false;
    try {
        TFormInputDouble Form(Caption, Prompt, Digits, Value);
        if (Form.exec() != QDialog::Accepted)
            return Value;
        if (Ok)
            *Ok = true;
        return Form.Confirmed();
    } catch (const std::exception &E) {
        qCWarning(lcInputDouble) << "real input:" << E.what();
    } catch (...) {
        qCWarning(lcInputDouble) << "real input failed";
    }
    return Value;
}
