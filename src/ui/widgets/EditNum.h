#pragma once
// A single-line edit for real numbers: typing lets through only what a number
// can hold, and Value reads and writes the text in the user's number format.
#include "uFormat.h"

#include <QLineEdit>

class TEditNum : public QLineEdit {
    Q_OBJECT
public:
    explicit TEditNum(QWidget *Parent = nullptr);

    TFloatFormat Format() const { return FFormat; }
    int Precision() const { return FPrecision; }
    int Digits() const { return FDigits; }
    // Changing how the number is written re-writes the text with the new setting.
    void SetFormat(TFloatFormat Value);
    void SetPrecision(int Value);
    void SetDigits(int Value);

    // The text as a number with the locale's decimal separator; 0 when it is
    // not one (thousands separators are not accepted).
    double Value() const;
    // Replaces the text with Value written by Format, Precision and Digits.
    void SetValue(double Value);

protected:
    // Typed characters pass only when they can belong to a number: digits,
    // a minus at the very start, one decimal separator.
    void keyPressEvent(QKeyEvent *Event) override;

private:
    bool AcceptsCharacter(QChar C) const;

    TFloatFormat FFormat = TFloatFormat::ffGeneral;
    int FPrecision = 15;
    int FDigits = 4;
};
