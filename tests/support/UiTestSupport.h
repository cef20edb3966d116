#pragma once
// Helpers of the window tests: waiting on a condition while the event loop
// runs, answering the next modal window, and the echo's lines without their
// time stamps.
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QWidget;

// Runs the event loop until Ready() holds; false after TimeoutMs.
bool WaitFor(const std::function<bool()> &Ready, int TimeoutMs = 5000);
// Hands the next modal window to Fn from inside its own event loop, as long
// as the returned watcher lives.
std::unique_ptr<QTimer> OnNextModal(std::function<void(QWidget *)> Fn);
// The text after the time stamp of an echo line ("dd.MM.yyyy HH:mm:ss ").
QString EchoBody(const QString &Line);
