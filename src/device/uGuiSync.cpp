#include "uGuiSync.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <utility>

// The event loop is woken by a queued call by name: Qt builds and runs the
// call itself, and everything the woken code uses comes through the sync's
// own lock, so no state crosses the threads behind that lock's back.
class TGuiWake : public QObject {
    Q_OBJECT
public:
    explicit TGuiWake(std::function<void()> Run) : FRun(std::move(Run)) {}
    Q_INVOKABLE void Wake() { FRun(); }

private:
    std::function<void()> FRun;
};

TGuiSync &TGuiSync::Instance() {
    static TGuiSync Sync;
    return Sync;
}

TGuiSync::TGuiSync() {
    FGuiThread = QCoreApplication::instance() ? QCoreApplication::instance()->thread() : QThread::currentThread();
    FWake = new TGuiWake([this] {
        RunPosted();
        std::unique_lock Lock(FLock);
        RunPending(Lock);
    });
    FWake->moveToThread(FGuiThread);
}

void TGuiSync::Wake() {
    if (QCoreApplication::instance())
        QMetaObject::invokeMethod(FWake, "Wake", Qt::QueuedConnection);
}

void TGuiSync::Post(std::function<void()> Fn) {
    {
        std::lock_guard Lock(FLock);
        FPosted.push_back(std::move(Fn));
    }
    Wake();
}

void TGuiSync::RunPosted() {
    std::deque<std::function<void()>> Posted;
    {
        std::lock_guard Lock(FLock);
        Posted.swap(FPosted);
    }
    for (const auto &Fn : Posted) {
        try {
            Fn();
        } catch (...) {
            // a posted screen update that fails leaves the screen as it was
        }
    }
}

bool TGuiSync::InGuiThread() const {
    return QThread::currentThread() == FGuiThread;
}

void TGuiSync::RunPending(std::unique_lock<std::mutex> &Lock) {
    while (!FPending.empty()) {
        TTask *Task = FPending.front();
        FPending.pop_front();
        Lock.unlock();
        try {
            Task->Fn();
        } catch (...) {
            Task->Error = std::current_exception();
        }
        Lock.lock();
        Task->Done = true;
        FChanged.notify_all();
    }
}

void TGuiSync::RunInGui(const std::function<void()> &Fn) {
    if (InGuiThread()) {
        Fn();
        return;
    }
    TTask Task{Fn, false, nullptr};
    {
        std::unique_lock Lock(FLock);
        FPending.push_back(&Task);
        FChanged.notify_all(); // a waiting user-interface thread runs it
    }
    Wake();
    std::unique_lock Lock(FLock);
    FChanged.wait(Lock, [&] { return Task.Done; });
    if (Task.Error)
        std::rethrow_exception(Task.Error);
}

void TGuiSync::WaitUntil(const std::function<bool()> &Ready) {
    std::unique_lock Lock(FLock);
    const bool Gui = InGuiThread();
    for (;;) {
        if (Gui)
            RunPending(Lock);
        if (Ready())
            return;
        // Ready may take what it waits for (the exchange lock does): once it
        // has said yes, it must not be asked again.
        bool Done = false;
        FChanged.wait(Lock, [&] { return (Gui && !FPending.empty()) || (Done = Ready()); });
        if (Done)
            return;
    }
}

void TGuiSync::Notify() {
    std::lock_guard Lock(FLock);
    FChanged.notify_all();
}

void TGuiSync::Update(const std::function<void()> &Fn) {
    std::lock_guard Lock(FLock);
    Fn();
    FChanged.notify_all();
}

#include "uGuiSync.moc"
