#pragma once
// Where the main window and the readings, parameters and command-selection
// windows open when no position of theirs is saved: side by side on the
// screen, none covering another. Saved positions always win over this.
#include <QMargins>
#include <QRect>
#include <QSize>
#include <array>

class QWidget;

enum TFirstStartWindow { fsMain, fsReadings, fsCommands, fsParameters, fsWindowCount };

// Frame rectangles for windows of the given client sizes within the screen's
// available area, each window's frame adding Frame to its client size.
// The readings, command-selection and parameters windows stand in one row at
// their own sizes along the bottom of the screen (the command selection under
// the readings when the row is too wide); the main window takes the whole
// width above them, since its echo lines are long. When the row does
// not fit the screen, or would leave the main window under MinMainHeight, the
// windows are cascaded from the top left corner instead (Fits false).
struct TFirstStartLayout {
    std::array<QRect, fsWindowCount> Frames;
    bool Fits = false;
};
constexpr int kMinMainHeight = 200;
TFirstStartLayout FirstStartLayout(const QRect &Screen, const std::array<QSize, fsWindowCount> &Sizes,
                                   const QMargins &Frame, int Gap = 4);

// Applies the layout on the primary screen to those windows that have no
// saved position; null windows are left out.
void ArrangeFirstStart(const std::array<QWidget *, fsWindowCount> &Windows);
