#pragma once
// The polling engine: it owns the serial transmitter, the polling thread, the
// poll timer and the request log. ExecuteRequest performs one whole exchange
// for a request kind; in the background, each timer wake-up runs a poll cycle
// over the selected kinds and archives the readings that came back normally.
#include "uCustomTimer.h"
#include "uCycleReadings.h"
#include "uExchangeStatistics.h"
#include "uLinkState.h"
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

// An exchange of a poll cycle that did not bring its readings.
struct TFailedExchange {
    std::uint8_t Kind = 0;
    TExchangeOutcome Outcome = TExchangeOutcome::NoAnswer; // Done: answered, but the device reports an error
    QString Text;                                          // what went wrong, for people
};

struct TPollCycleResult {
    std::vector<TFailedExchange> Failed;
    int ArchiveFailures = 0; // archive writes (rows or text lines) that failed
    bool Ok() const { return Failed.empty() && ArchiveFailures == 0; }
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

    // One complete exchange: 0 when the device answered the request (the
    // reply checked against it and applied), -1 otherwise. From any thread;
    // exchanges never overlap (a caller waits for a running one).
    //
    // Attempt is 1 for a new question and 2, 3, ... for the retries of a
    // command. After a failed exchange the answer may still be on its way, so
    // a new question first waits until the line has been silent for the read
    // time-out; a retry of the same request does not (a late answer to it is
    // still its answer), but the question after it does.
    int ExecuteRequest(std::uint8_t Kind, int Attempt = 1);
    bool AnyDeviceEnabled() const;
    void PollStep();
    // The exchanges of PollSet; a kind is archived only when its own exchange
    // brought its readings.
    TPollCycleResult PollCycle();
    // False when a write of the archive failed.
    bool ArchiveReadings(std::uint8_t Kind);
    // At with the offset from UTC it was taken with.
    bool ArchiveReadings(std::uint8_t Kind, TDateTime At, int UtcOffset);

    // With LearnPlantNumber set (a publisher files readings under it), a poll
    // cycle begins by reading the device's plant number (kind 1, up to three
    // attempts) whenever it is not known for the port as it is open now. A
    // normal reply to kind 0 tells it as well.
    std::atomic<bool> LearnPlantNumber{false};
    // Reads the plant number (kind 1, up to three attempts); true when the
    // device told it. A poll cycle does this itself when LearnPlantNumber is set.
    bool LearnPlantNumberNow();
    // The plant number the device told since the port was last opened;
    // kPlantUnknown before it did, and again after a reopen.
    int KnownPlantNumber() const;

    // Why the archive writes of the last readings failed ("<file>: <reason>"),
    // as long as no later readings were archived whole; empty otherwise.
    QString ArchiveProblem() const;
    // Why the request log could not be written, from its first failure on;
    // empty while it is written.
    QString RequestLogProblem() const;
    // The same in the system's words ("Cannot open log …: Is a directory").
    QString RequestLogError() const;

    // How the last exchange ended, and a text for people when it failed:
    // the device object's error text, else the code ("код исключения 7").
    TExchangeOutcome LastOutcome() const { return FLastOutcome.load(); }
    // The frame of the last exchange, checksum included; for the thread that
    // ran it, once it is over.
    QByteArray LastSentFrame() const { return FLastSent; }
    QString LastFailureText() const;
    // The counters, the response-time histogram (up to the read time-out of
    // the settings in use) and the quality of the latest exchanges as they
    // stand; any thread, never waits on the line (the windows read them).
    TExchangeCounts Statistics() const;
    // The same once the line has settled after the last exchange: the noise
    // that followed its reply is counted. Waits for the port thread.
    TExchangeCounts SettledStatistics() const;
    // Everything to zero, the noise count included; any thread.
    void ResetStatistics();

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
    TExchangeOutcome OutcomeOfReply(bool Done) const;
    // The link's state after a failure of this outcome (the device object's code).
    TLinkState LinkStateOf(TExchangeOutcome Outcome, const QString &Text) const;

    // After an exchange that brought the plant number.
    void NotePlantNumber();
    int FCursor = 0;
    std::atomic<int> FKnownPlant{kPlantUnknown};
    std::atomic<std::uint64_t> FPlantOpening{0}; // the transmitter's Openings() when it was told
    // Line recovery; touched only under the exchange lock.
    QByteArray FLastSent;
    bool FRecoveryDue = false;
    int FRecoverySilenceMs = 0;
    qint64 FQuestionStart = 0;
    std::atomic<TExchangeOutcome> FLastOutcome{TExchangeOutcome::Done};
    QString FLastPort; // of the last exchange, for the failure text
    mutable TExchangeStatistics FStatistics; // the noise count is taken when it is read
    std::atomic<std::uint64_t> FNoiseBase{0}; // noise of the transmitter at the last reset
    mutable std::mutex FProblemLock;
    QString FArchiveProblem;
    QString FRequestLogProblem;
    QString FRequestLogError;
    std::thread::id FExchangeOwner;
    int FExchangeDepth = 0;
};

// The engine of the running program; empty before start-up and after shut-down.
extern TRequestDevices *RequestDevices;
// ExecuteRequest of the running engine; -1 without one.
int ExecuteRequest(std::uint8_t Kind, int Attempt = 1);

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
