#pragma once
// An integer field with up and down buttons that, unlike a plain spin box, lets
// the user type a number outside its range: the number is brought into the
// range when the field is confirmed, and a text that is no integer becomes the
// minimum.
#include <QSpinBox>

class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget *Parent = nullptr);

    // The typed text as an integer clamped into the range (minimum when it is none).
    int TypedValue() const;

protected:
    QValidator::State validate(QString &Input, int &Pos) const override;
    void fixup(QString &Input) const override;

private:
    bool ParseInteger(const QString &Text, qlonglong &Value) const;
};
