#include "EditNum.h"

#include <QKeyEvent>

TEditNum::TEditNum(QWidget *Parent) : QLineEdit(Parent) {
    SetValue(0);
}

void TEditNum::SetFormat(TFloatFormat Value) {
    if (Value == FFormat)
        return;
    const double V = this->Value();
    FFormat = Value;
    SetValue(V);
}

void TEditNum::SetPrecision(int Value) {
    if (Value == FPrecision)
        return;
    const double V = this->Value();
    FPrecision = Value;
    SetValue(V);
}

void TEditNum::SetDigits(int Value) {
    if (Value == FDigits)
        return;
    const double V = this->Value();
    FDigits = Value;
    SetValue(V);
}

double TEditNum::Value() const {
    double V = 0;
    return TryStrToFloat(text(), V, DefaultFormatSettings()) ? V : 0.0;
}

void TEditNum::SetValue(double Value) {
    setText(FloatToStrF(Value, FFormat, FPrecision, FDigits, DefaultFormatSettings()));
}

bool TEditNum::AcceptsCharacter(QChar C) const {
    if (C >= u'0' && C <= u'9')
        return true;
    if (C == u'-') // only the caret position counts, not what follows it
        return (hasSelectedText() ? selectionStart() : cursorPosition()) == 0;
    const QChar Separator = DefaultFormatSettings().DecimalSeparator;
    return C == Separator && !text().contains(Separator);
}

void TEditNum::keyPressEvent(QKeyEvent *Event) {
    switch (Event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    // Keys that are no characters: the dialog (Esc, Tab) or the caret (Delete) handles them.
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        QLineEdit::keyPressEvent(Event);
        return;
    default:
        break;
    }
    // Clipboard and undo keep working; what they bring in is checked when Value is read.
    if (Event->matches(QKeySequence::Copy) || Event->matches(QKeySequence::Cut) ||
        Event->matches(QKeySequence::Paste) || Event->matches(QKeySequence::SelectAll) ||
        Event->matches(QKeySequence::Undo) || Event->matches(QKeySequence::Redo)) {
        QLineEdit::keyPressEvent(Event);
        return;
    }
    const QString Text = Event->text();
    if (Text.isEmpty()) { // caret movement and other keys without a character
        QLineEdit::keyPressEvent(Event);
        return;
    }
    if (Text.size() == 1 && !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
        AcceptsCharacter(Text.front())) {
        QLineEdit::keyPressEvent(Event);
        return;
    }
    Event->accept(); // any other character is dropped
}
