#pragma once
// The polling thread needs the user-interface thread for one thing: applying a
// reply to the device object (which refreshes bound values) while it waits.
// The user-interface thread, in turn, sometimes waits for the polling thread:
// a command waits for a running poll cycle to end, shut-down waits for the
// thread to finish. If both simply blocked, each would wait for the other.
//
// So every wait of the user-interface thread goes through WaitUntil, which runs
// the hand-overs the polling thread has queued while it waits; and a hand-over
// is also posted to the event loop for the normal case where the user-interface
// thread is idle. Neither side ever blocks on the other.
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class TGuiSync {
public:
    static TGuiSync &Instance();

    // The thread that counts as the user-interface thread: the application's
    // main thread, or the thread that first asked when there is no application.
    bool InGuiThread() const;
    // Runs Fn in the user-interface thread and waits for it; runs it at once when
    // called from that thread. Exceptions of Fn reach the caller.
    void RunInGui(const std::function<void()> &Fn);
    // Waits until Ready() holds. In the user-interface thread, queued hand-overs
    // run meanwhile. Ready is evaluated under the sync's own lock.
    void WaitUntil(const std::function<bool()> &Ready);
    // Wakes every WaitUntil to look at its condition again.
    void Notify();
    // Runs Fn under the sync's lock (for state that Ready conditions read), then notifies.
    void Update(const std::function<void()> &Fn);
    // Runs Fn later in the user-interface thread's event loop; does not wait.
    // Everything Fn captures is handed over under the sync's own lock.
    void Post(std::function<void()> Fn);

private:
    TGuiSync();
    struct TTask {
        std::function<void()> Fn;
        bool Done = false;
        std::exception_ptr Error;
    };
    void RunPending(std::unique_lock<std::mutex> &Lock);
    void Wake();
    void RunPosted();

    QThread *FGuiThread = nullptr;
    // Receives the event loop's wake-ups; lives in the user-interface thread
    // for the life of the process.
    QObject *FWake = nullptr;
    std::deque<std::function<void()>> FPosted;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<TTask *> FPending;
};
