#include "UiTestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QWidget>

bool WaitFor(const std::function<bool()> &Ready, int TimeoutMs) {
    QDeadlineTimer Deadline(TimeoutMs);
    while (!Ready()) {
        if (Deadline.hasExpired())
            return false;
        QEventLoop Loop;
        QTimer::singleShot(5, &Loop, &QEventLoop::quit);
        Loop.exec();
    }
    return true;
}

std::unique_ptr<QTimer> OnNextModal(std::function<void(QWidget *)> Fn) {
    auto Timer = std::make_unique<QTimer>();
    Timer->setInterval(5);
    QObject::connect(Timer.get(), &QTimer::timeout, [T = Timer.get(), Fn] {
        if (QWidget *Modal = QApplication::activeModalWidget()) {
            T->stop();
            Fn(Modal);
        }
    });
    Timer->start();
    return Timer;
}

QString EchoBody(const QString &Line) {
    static const QRegularExpression Stamp(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d "));
    const QRegularExpressionMatch M = Stamp.match(Line);
    return M.hasMatch() ? Line.mid(M.capturedLength()) : QStringLiteral("<no time stamp> ") + Line;
}
