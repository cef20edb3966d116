#pragma once
// Sizes that let a text be read whole at the font in use, rather than widths
// measured once for another font.
#include <QString>

class QLabel;
class QWidget;

// The width Label needs to show Text on one line: the text's advance plus the
// label's frame, margin and indent, and a little air either side.
int LabelWidthFor(const QLabel *Label, const QString &Text);
// Keeps Label exactly as wide as its text.
void FitLabelToText(QLabel *Label);
// The width a window needs so that the window frame shows its title whole:
// the title in the title bar's (bold) font, with room for the frame's icon and
// its three buttons.
int TitleBarWidthFor(const QWidget *Window, const QString &Title);
