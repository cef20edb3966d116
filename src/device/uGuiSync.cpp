#include "uGuiSync.h"

#include <QCoreApplication>
#include <QMetaObject>

TGuiSync &TGuiSync::Instance() {
    static TGuiSync Sync;
    return Sync;
}

TGuiSync::TGuiSync() {
    FGuiThread = QCoreApplication::instance() ? QCoreApplication::instance()->thread() : QThread::currentThread();
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
    if (QCoreApplication *App = QCoreApplication::instance())
        QMetaObject::invokeMethod(App, [this] {
            std::unique_lock Lock(FLock);
            RunPending(Lock);
        }, Qt::QueuedConnection);
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
