#include "SpinEdit.h"

#include <QRegularExpression>
#include <algorithm>

TSpinEdit::TSpinEdit(QWidget *Parent) : QSpinBox(Parent) {
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

bool TSpinEdit::ParseInteger(const QString &Text, qlonglong &Value) const {
    QString T = Text.trimmed();
    if (!prefix().isEmpty() && T.startsWith(prefix()))
        T = T.mid(prefix().size());
    if (!suffix().isEmpty() && T.endsWith(suffix()))
        T.chop(suffix().size());
    T = T.trimmed();
    static const QRegularExpression Integer(QStringLiteral("^[-+]?[0-9]{1,18}$"));
    if (!Integer.match(T).hasMatch())
        return false;
    bool Ok = false;
    Value = T.toLongLong(&Ok);
    return Ok;
}

int TSpinEdit::TypedValue() const {
    qlonglong V = 0;
    if (!ParseInteger(text(), V))
        return minimum();
    return static_cast<int>(std::clamp<qlonglong>(V, minimum(), maximum()));
}

QValidator::State TSpinEdit::validate(QString &Input, int &Pos) const {
    const QValidator::State State = QSpinBox::validate(Input, Pos);
    qlonglong V = 0;
    if (State == QValidator::Invalid && ParseInteger(Input, V))
        return QValidator::Intermediate; // out of range for now; fixup brings it in
    return State;
}

void TSpinEdit::fixup(QString &Input) const {
    qlonglong V = 0;
    const qlonglong Clamped =
        ParseInteger(Input, V) ? std::clamp<qlonglong>(V, minimum(), maximum()) : minimum();
    Input = prefix() + QString::number(Clamped) + suffix();
}
