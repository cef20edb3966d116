#include "fInputText.h"

#include "uInputLayout.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>

Q_LOGGING_CATEGORY(lcInputText, "lanx1.input.text")

namespace {
constexpr int kMinFieldWidth = 220;
}

TFormInputText::TFormInputText(const QString &Caption, const QString &Prompt, const QString &Value, TTextCheck Check,
                               QWidget *Parent)
    : QDialog(Parent), FCheck(std::move(Check)), FConfirmed(Value) {
    setObjectName(QStringLiteral("FormInputText"));
    setWindowTitle(Caption);
    lblCaption = new QLabel(Prompt, this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    edValue = new QLineEdit(Value, this);
    edValue->setObjectName(QStringLiteral("edValue"));
    edValue->setMinimumWidth(kMinFieldWidth);
    edValue->selectAll();
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setStyleSheet(QStringLiteral("color: red"));
    lblProblem->hide();

    auto *Row = new QHBoxLayout;
    Row->addWidget(lblCaption);
    Row->addWidget(edValue, 1);
    auto *Layout = new QVBoxLayout(this);
    Layout->addLayout(Row);
    Layout->addWidget(lblProblem);
    Layout->addLayout(DialogButtonRow(this, btnOK, btnCancel, false));
    Layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, &TFormInputText::Confirm);
    edValue->setFocus();
}

void TFormInputText::Confirm() {
    const QString Text = edValue->text();
    const QString Problem = FCheck ? FCheck(Text) : QString();
    if (!Problem.isEmpty()) {
        lblProblem->setText(Problem);
        lblProblem->show();
        edValue->setFocus();
        return;
    }
    FConfirmed = Text;
    accept();
}

QString InputText(const QString &Caption, const QString &Prompt, const QString &Value, const TTextCheck &Check,
                  bool *Ok, QWidget *Parent) {
    if (Ok)
        *Ok = false;
    try {
        TFormInputText Form(Caption, Prompt, Value, Check, Parent);
        if (Form.exec() != QDialog::Accepted)
            return Value;
        if (Ok)
            *Ok = true;
        return Form.Confirmed();
    } catch (const std::exception &E) {
        qCWarning(lcInputText) << "text input:" << E.what();
    } catch (...) {
        qCWarning(lcInputText) << "text input failed";
    }
    return Value;
}
