#include "uTextFit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>

namespace {
// Air either side of a panel's text, so that neighbouring panels do not touch.
constexpr int kPanelAir = 4;
// A frame's window icon and its minimise, maximise and close buttons, with the
// padding most window managers give them.
constexpr int kTitleBarFurniture = 4 * 28 + 24;
} // namespace

int LabelWidthFor(const QLabel *Label, const QString &Text) {
    const QMargins M = Label->contentsMargins();
    const int Indent = Label->indent() > 0 ? Label->indent() : 0;
    return Label->fontMetrics().horizontalAdvance(Text) + M.left() + M.right() + 2 * Label->margin() + Indent +
           2 * kPanelAir;
}

void FitLabelToText(QLabel *Label) {
    Label->setFixedWidth(LabelWidthFor(Label, Label->text()));
}

int TitleBarWidthFor(const QWidget *Window, const QString &Title) {
    QFont Font = QApplication::font("QMdiSubWindowTitleBar");
    Font.setBold(true);
    Q_UNUSED(Window);
    return QFontMetrics(Font).horizontalAdvance(Title) + kTitleBarFurniture;
}
