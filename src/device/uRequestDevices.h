#pragma once
// The polling engine: it owns the serial transmitter, the polling thread, the
// poll timer and the request log. ExecuteRequest performs one whole exchange
// for a request kind; in the background, each timer wake-up runs a poll cycle
// over the selected kinds and archives the readings that came back normally.
#include "uCustomTimer.h"
#include "uLog.h"
#include "uString.h"
#include "uTransmitter.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TRequestDevices;

struct TListDevice {
    std::uint8_t Type = 0; // 0: the transducer, the only kind that is polled
    int Reserved = 0;
    bool Enabled = false;
    QString Name;
};

// The polling thread: it sleeps on a condition until the timer wakes it, runs
// one poll step and sleeps again. A wake-up while it works is dropped.
class TRequestThread {
public:
    explicit TRequestThread(TRequestDevices &Engine);
    ~TRequestThread(); // terminates and waits

    // Starts one poll step unless one is running (then nothing happens).
    void Resume();
    // Asks the thread to end and waits for it; a running step is finished first.
    void TerminateAndWait();
    bool Busy() const { return FBusy.load(); }
    // Poll steps completed so far.
    std::uint64_t Steps() const { return FSteps.load(); }

    int RequestStatus = 0;
    TBuffer ReplyBuffer;
    std::uint8_t DeviceType = 0;

private:
    void Execute();

    TRequestDevices &FEngine;
    std::mutex FLock;
    std::condition_variable FWake;
    bool FResumed = false;
    bool FTerminated = false;
    std::atomic<bool> FBusy{false};
    std::atomic<bool> FFinished{false};
    std::atomic<std::uint64_t> FSteps{0};
    std::thread FThread;
};

struct TRequestDevicesOptions {
    // A port used for this run instead of the one in the settings (not saved).
    QString PortOverride;
};

class TRequestDevices {
public:
    // The start-up blocks, each in its own error trap.
    explicit TRequestDevices(const TRequestDevicesOptions &Options = {});
    // The shut-down blocks: a running poll step is waited for.
    ~TRequestDevices();
    TRequestDevices(const TRequestDevices &) = delete;
    TRequestDevices &operator=(const TRequestDevices &) = delete;

    // One complete exchange: 0 when a valid reply came, -1 otherwise. From any
    // thread; exchanges never overlap (a caller waits for a running one).
    int ExecuteRequest(std::uint8_t Kind);
    bool AnyDeviceEnabled() const;
    void PollStep();
    void PollCycle();
    void ArchiveReadings(std::uint8_t Kind);

    // Holds the exchange lock across several exchanges (a command with its
    // retries, a poll step); re-entrant for the thread that holds it.
    void BeginExchanges();
    void EndExchanges();

    std::unique_ptr<TTransmitter> Transmitter;
    std::unique_ptr<TRequestThread> RequestThread;
    std::mutex RequestLock; // taken by the user-interface thread around a resume
    std::unique_ptr<TCustomTimer> ReqDevicesTimer;
    std::unique_ptr<TLog> RequestLog;
    std::vector<TListDevice> DeviceList;
    int DeviceCount = 0;
    std::atomic<int> EchoRadix{0}; // 10 or 16; anything else logs nothing
    std::function<void(const QString &Name)> OnDevicePolled;

private:
    int NextDevice();
    void LogExchange(const QByteArray &Sent, const QByteArray &Reply);

    int FCursor = 0;
    std::thread::id FExchangeOwner;
    int FExchangeDepth = 0;
};

// The engine of the running program; empty before start-up and after shut-down.
extern TRequestDevices *RequestDevices;
// ExecuteRequest of the running engine; -1 without one.
int ExecuteRequest(std::uint8_t Kind);

// Keeps the exchange lock for a scope.
class TExchangeGuard {
public:
    explicit TExchangeGuard(TRequestDevices &Engine) : FEngine(Engine) { FEngine.BeginExchanges(); }
    ~TExchangeGuard() { FEngine.EndExchanges(); }
    TExchangeGuard(const TExchangeGuard &) = delete;
    TExchangeGuard &operator=(const TExchangeGuard &) = delete;

private:
    TRequestDevices &FEngine;
};
