#include "fInputDescriptionOfDouble.h"
#include "uInputLayout.h"

#include "EditNum.h"
#include "IODescription.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcInputDescription, "lanx1.input.description")

namespace {

// The largest number of decimals the number formats write.
constexpr double kMaxDigits = 18;

TEditNum *NewNumberEdit(const QString &Name, double Value, QWidget *Parent) {
    auto *Edit = new TEditNum(Parent);
    Edit->setObjectName(Name);
    Edit->SetFormat(TFloatFormat::ffGeneral);
    Edit->SetPrecision(15);
    Edit->SetDigits(0);
    Edit->SetValue(Value);
    return Edit;
}

QLineEdit *NewTextEdit(const QString &Name, const QString &Text, QWidget *Parent) {
    auto *Edit = new QLineEdit(Text, Parent);
    Edit->setObjectName(Name);
    return Edit;
}

} // namespace

TFormInputDescriptionOfDouble::TFormInputDescriptionOfDouble(const TDescriptionOfDouble &Description,
                                                             QWidget *Parent)
    : QDialog(Parent), FDescription(std::make_unique<TDescriptionOfDouble>()) {
    setObjectName(QStringLiteral("FormInputDescriptionOfDouble"));
    setWindowTitle(QStringLiteral("Описание параметра"));
    FDescription->Assign(&Description);

    edtTitle = NewTextEdit(QStringLiteral("edtTitle"), FDescription->Title, this);
    edtHint = NewTextEdit(QStringLiteral("edtHint"), FDescription->Hint, this);
    edtDimension = NewTextEdit(QStringLiteral("edtDimension"), FDescription->Dimension, this);
    enDigits = NewNumberEdit(QStringLiteral("enDigits"), FDescription->Digits, this);
    enMaximum = NewNumberEdit(QStringLiteral("enMaximum"), FDescription->GetMax(), this);
    enMinimum = NewNumberEdit(QStringLiteral("enMinimum"), FDescription->GetMin(), this);

    auto *Grid = new QGridLayout;
    const std::pair<QString, QWidget *> Rows[] = {
        {QStringLiteral("Наименование"), edtTitle},
        {QStringLiteral("Описание"), edtHint},
        {QStringLiteral("Единица измерения"), edtDimension},
        {QStringLiteral("Кол-во десятичных разрядов"), enDigits},
        {QStringLiteral("Максимум"), enMaximum},
        {QStringLiteral("Минимум"), enMinimum},
    };
    int Row = 0;
    for (const auto &[Title, Edit] : Rows) {
        auto *Label = new QLabel(Title, this);
        Label->setBuddy(Edit);
        Grid->addWidget(Label, Row, 0);
        Grid->addWidget(Edit, Row, 1);
        ++Row;
    }
    Grid->setColumnMinimumWidth(1, 200);

    QBoxLayout *Buttons = DialogButtonRow(this, btnOK, btnCancel);

    auto *Layout = new QVBoxLayout(this);
    Layout->addLayout(Grid);
    Layout->addLayout(Buttons);
    Layout->setSizeConstraint(QLayout::SetFixedSize);

    edtTitle->setFocus();
}

TFormInputDescriptionOfDouble::~TFormInputDescriptionOfDouble() = default;

void TFormInputDescriptionOfDouble::ApplyTo(TDescriptionOfDouble &Description) const {
    Description.Title = edtTitle->text();
    Description.Hint = edtHint->text();
    Description.Dimension = edtDimension->text();
    // A negative or huge count must not wrap around in the byte that holds it.
    const double Digits = std::trunc(enDigits->Value());
    Description.Digits = static_cast<std::uint8_t>(std::clamp(Digits, 0.0, kMaxDigits));
    Description.SetMinMax(enMinimum->Value(), enMaximum->Value());
}

void InputDescriptionOfDouble(TDescriptionOfDouble *Description, bool &Ok) {
    Ok = false;
    if (!Description)
        return;
    try {
        TFormInputDescriptionOfDouble Form(*Description);
        if (Form.exec() != QDialog::Accepted)
            return;
        Form.ApplyTo(*Description);
        Ok = true;
    } catch (const std::exception &E) {
        qCWarning(lcInputDescription) << "description input:" << E.what();
    } catch (...) {
        qCWarning(lcInputDescription) << "description input failed";
    }
}
