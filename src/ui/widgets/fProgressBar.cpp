#include "fProgressBar.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcProgress, "lanx1.progress")

namespace {

QPointer<TFormProgressBar> TheWindow;

void CenterOnScreen(QWidget *Window) {
    const QScreen *Screen = Window->screen() ? Window->screen() : QGuiApplication::primaryScreen();
    if (!Screen)
        return;
    QRect Frame = Window->frameGeometry();
    Frame.moveCenter(Screen->availableGeometry().center());
    Window->move(Frame.topLeft());
}

// The window the progress window belongs to: the one the user works in, else
// the main window, so that the window manager keeps it above that window
// rather than letting a click on the main window bury it.
QWidget *ProgressOwner() {
    if (QWidget *Active = QApplication::activeWindow())
        return Active;
    for (QWidget *W : QApplication::topLevelWidgets())
        if (W->objectName() == QLatin1String("FormMain") && W->isVisible())
            return W;
    return nullptr;
}

} // namespace

TFormProgressBar::TFormProgressBar(const QString &Text, int Max, QWidget *Owner)
    : QWidget(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), FText(Text), FMax(Max) {
    setObjectName(QStringLiteral("FormProgressBar"));
    FProgressBar = new QProgressBar(this);
    FProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    FProgressBar->setRange(0, 100);
    FProgressBar->setValue(0);
    FProgressBar->setTextVisible(false);
    FProgressBar->setFixedSize(641, 16);
    auto *Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(8, 8, 8, 8);
    Layout->addWidget(FProgressBar);
    setFixedSize(sizeHint());
    UpdateCaption();
}

int TFormProgressBar::Position() const {
    return FProgressBar->value();
}

bool TFormProgressBar::SetPercent(int Percent) {
    Percent = std::clamp(Percent, 0, 100); // the bar never leaves its range
    if (Percent == Position())
        return false;
    FProgressBar->setValue(Percent);
    UpdateCaption();
    return true;
}

void TFormProgressBar::UpdateCaption() {
    setWindowTitle(FText + u' ' + QString::number(Position()) + u'%');
}

void ShowProgress(const QString &Text, int Position, int Max) {
    try {
        if (!TheWindow) {
            TheWindow = new TFormProgressBar(Text, Max, ProgressOwner());
            CenterOnScreen(TheWindow);
            // A window left open is not left behind when the program ends.
            static const bool Hooked = [] {
                if (QCoreApplication::instance())
                    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &CloseProgress);
                return true;
            }();
            Q_UNUSED(Hooked);
        }
        SetProgressPosition(Position);
        if (TheWindow)
            TheWindow->show();
    } catch (const std::exception &E) {
        qCWarning(lcProgress) << "progress window:" << E.what();
    } catch (...) {
        qCWarning(lcProgress) << "progress window failed";
    }
}

void SetProgressPosition(int P) {
    try {
        if (!TheWindow || P < 0)
            return;
        const int Max = TheWindow->Max();
        if (Max == 0) // no steps to count: the bar stays where it is
            return;
        const double Percent = std::nearbyint(static_cast<double>(P) * 100.0 / Max);
        if (!std::isfinite(Percent))
            return;
        if (!TheWindow->SetPercent(static_cast<int>(std::clamp(Percent, -1.0, 101.0))))
            return;
        QCoreApplication::processEvents();
    } catch (const std::exception &E) {
        qCWarning(lcProgress) << "progress position:" << E.what();
    } catch (...) {
        qCWarning(lcProgress) << "progress position failed";
    }
}

void CloseProgress() {
    delete TheWindow.data();
    TheWindow = nullptr;
}

TFormProgressBar *ProgressWindow() {
    return TheWindow.data();
}
