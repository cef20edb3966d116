#include "TElidedLabel.h"

#include <QPainter>
#include <QStyle>

TElidedLabel::TElidedLabel(const QString &Text, QWidget *Parent) : QLabel(Text, Parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize TElidedLabel::minimumSizeHint() const {
    const QSize Hint = QLabel::minimumSizeHint();
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("…")) * 4, Hint.height());
}

bool TElidedLabel::ShowsWholeText() const {
    return fontMetrics().horizontalAdvance(text()) <= contentsRect().width();
}

void TElidedLabel::paintEvent(QPaintEvent *Event) {
    UpdateToolTip(); // the text may have changed since the last resize
    if (ShowsWholeText()) {
        QLabel::paintEvent(Event);
        return;
    }
    QPainter P(this);
    const QRect R = contentsRect();
    const QString Shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, R.width());
    style()->drawItemText(&P, R, static_cast<int>(alignment()), palette(), isEnabled(), Shown, foregroundRole());
}

void TElidedLabel::resizeEvent(QResizeEvent *Event) {
    QLabel::resizeEvent(Event);
    UpdateToolTip();
}

void TElidedLabel::UpdateToolTip() {
    const QString Tip = ShowsWholeText() ? QString() : text();
    if (toolTip() != Tip)
        setToolTip(Tip);
}
