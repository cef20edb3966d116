#pragma once
#include <QDialog>
#include <memory>

class QLineEdit;
class QPushButton;
class TDescriptionOfDouble;
class TEditNum;

// Edits title, hint, unit, digits and limits of Description in place; Ok tells
// whether the user confirmed.
void InputDescriptionOfDouble(TDescriptionOfDouble *Description, bool &Ok);

// The "Описание параметра" dialog over a working copy of a description.
class TFormInputDescriptionOfDouble : public QDialog {
    Q_OBJECT
public:
    explicit TFormInputDescriptionOfDouble(const TDescriptionOfDouble &Description, QWidget *Parent = nullptr);
    ~TFormInputDescriptionOfDouble() override;

    // Writes what the user typed into Description: the texts as typed, the
    // digits truncated (kept within 0..18), the limits only when minimum <= maximum.
    void ApplyTo(TDescriptionOfDouble &Description) const;

private:
    std::unique_ptr<TDescriptionOfDouble> FDescription; // the working copy
    QLineEdit *edtTitle = nullptr;
    QLineEdit *edtHint = nullptr;
    QLineEdit *edtDimension = nullptr;
    TEditNum *enDigits = nullptr;
    TEditNum *enMaximum = nullptr;
    TEditNum *enMinimum = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
};
