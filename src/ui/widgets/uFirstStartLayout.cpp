#include "uFirstStartLayout.h"

#include "uWindowPosition.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace {

QSize WithFrame(QSize Client, const QMargins &Frame) {
    return Client.grownBy(Frame);
}

// A title bar and thin borders, as most window managers draw them; a window
// that is on screen already tells its real frame.
QMargins FrameOf(const QWidget *W) {
    if (W && W->isVisible() && W->frameGeometry() != W->geometry()) {
        const QRect F = W->frameGeometry();
        const QRect G = W->geometry();
        return {G.left() - F.left(), G.top() - F.top(), F.right() - G.right(), F.bottom() - G.bottom()};
    }
    return {2, 30, 2, 2};
}

} // namespace

TFirstStartLayout FirstStartLayout(const QRect &Screen, const std::array<QSize, fsWindowCount> &Sizes,
                                   const QMargins &Frame, int Gap) {
    TFirstStartLayout Result;
    std::array<QSize, fsWindowCount> F;
    for (int i = 0; i < fsWindowCount; ++i)
        F[i] = WithFrame(Sizes[i], Frame);
    // The row along the bottom: readings, command selection and parameters
    // side by side, else the command selection under the readings.
    for (const bool Stacked : {false, true}) {
        const int FirstWidth = Stacked ? std::max(F[fsReadings].width(), F[fsCommands].width())
                                       : F[fsReadings].width() + Gap + F[fsCommands].width();
        const int FirstHeight = Stacked ? F[fsReadings].height() + Gap + F[fsCommands].height()
                                        : std::max(F[fsReadings].height(), F[fsCommands].height());
        const int RowWidth = FirstWidth + Gap + F[fsParameters].width();
        const int RowHeight = std::max(FirstHeight, F[fsParameters].height());
        const int MainHeight = Screen.height() - RowHeight - Gap;
        if (RowWidth > Screen.width() || MainHeight - Frame.top() - Frame.bottom() < kMinMainHeight)
            continue;
        const int Top = Screen.bottom() + 1 - RowHeight;
        Result.Fits = true;
        Result.Frames[fsMain] = QRect(Screen.left(), Screen.top(), Screen.width(), MainHeight);
        Result.Frames[fsReadings] = QRect(QPoint(Screen.left(), Top), F[fsReadings]);
        Result.Frames[fsCommands] =
            Stacked ? QRect(QPoint(Screen.left(), Top + F[fsReadings].height() + Gap), F[fsCommands])
                    : QRect(QPoint(Screen.left() + F[fsReadings].width() + Gap, Top), F[fsCommands]);
        Result.Frames[fsParameters] = QRect(QPoint(Screen.left() + FirstWidth + Gap, Top), F[fsParameters]);
        return Result;
    }
    // Too small a screen for all of them: a cascade keeps every title bar in reach.
    const int Step = Frame.top() > 0 ? Frame.top() : 30;
    const TFirstStartWindow Order[] = {fsMain, fsParameters, fsReadings, fsCommands};
    int Offset = 0;
    for (TFirstStartWindow W : Order) {
        const QSize Size = F[W].boundedTo(Screen.size());
        QPoint At = Screen.topLeft() + QPoint(Offset, Offset);
        At.setX(std::min(At.x(), Screen.right() + 1 - Size.width()));
        At.setY(std::min(At.y(), Screen.bottom() + 1 - Size.height()));
        Result.Frames[W] = QRect(At, Size);
        Offset += Step;
    }
    return Result;
}

void ArrangeFirstStart(const std::array<QWidget *, fsWindowCount> &Windows) {
    const QScreen *Screen = QGuiApplication::primaryScreen();
    if (!Screen)
        return;
    std::array<QSize, fsWindowCount> Sizes;
    for (int i = 0; i < fsWindowCount; ++i)
        Sizes[i] = Windows[i] ? Windows[i]->size() : QSize(0, 0);
    const QMargins Frame = FrameOf(Windows[fsMain]);
    const TFirstStartLayout Layout = FirstStartLayout(Screen->availableGeometry(), Sizes, Frame);
    for (int i = 0; i < fsWindowCount; ++i) {
        QWidget *W = Windows[i];
        if (!W || HasSavedWindowPosition(W))
            continue;
        const QRect F = Layout.Frames[i];
        W->move(F.topLeft()); // a window's position is that of its frame
        if (i == fsMain)
            W->resize(F.size().shrunkBy(Frame));
    }
}
