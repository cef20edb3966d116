#pragma once
// The publisher: every archived poll cycle goes to an MQTT broker as one
// message, QoS 1, and none is lost to an outage.
//
// It runs on its own thread and sends what the archive holds, in the
// archive's own order (the order the readings were taken), so that a message
// live and the same one sent later are the same. Each archived cycle
// (NotifyCycleArchived) only wakes it and never waits. The cursor — per series
// the place in the archive of the last reading the broker acknowledged — is
// kept in INI/Mqtt.ini; after every connection the readings after it are sent,
// at MaxRate messages a second at most. A broker that is unreachable or
// refuses the client leaves polling and archiving alone; the publisher keeps
// trying again.
//
// Messages go under the device's plant number: nothing is sent until the
// polling engine has learned it (it reads it first while a publisher runs),
// and the status says why. Readings archived with a plant number go under
// that one; older readings without it under the device's.
//
// A window shows the state by polling Status() or on OnStatusChanged, which is
// called on the publisher's thread (hand it over to the window's thread).
#include "uLinkState.h"
#include "uMqttPayload.h"
#include "uMqttSettings.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

enum class TMqttLinkState {
    Stopped,    // not started (or stopped)
    Connecting, // a connection is being made
    Connected,  // connected: the broker accepted the client
    NoLink,     // no connection; LastError says why; it tries again
    NoPlant,    // the device's plant number is not known: nothing is sent; LastError says why
};

struct TMqttStatus {
    TMqttLinkState State = TMqttLinkState::Stopped;
    // Cycles owed to the broker: those the archive holds after the cursor
    // (awaiting acknowledgement or not sent yet), counted from the archive.
    std::int64_t Queued = 0;
    bool CatchingUp = false;     // sending from the archive
    std::int64_t Published = 0;  // messages acknowledged since the start
    QString LastError;           // in Russian; empty while connected without trouble
    TDateTime Cursor = 0;        // the latest of the series' cursors

    bool Connected() const { return State == TMqttLinkState::Connected; }
    // "MQTT: подключено (N в очереди)", "MQTT: нет связи (N в очереди)",
    // "MQTT: нет номера установки (N в очереди)", "MQTT: выключено"
    QString Text() const;
};

struct TMqttPublisherOptions {
    QString IniPath;       // where the cursor is kept; empty: MqttIniPath()
    bool SaveCursor = true; // false: the cursor lives in memory only (a folder without INI)
};

class TMqttPublisher {
public:
    explicit TMqttPublisher(TMqttPublisherOptions Options = {});
    ~TMqttPublisher(); // stops
    TMqttPublisher(const TMqttPublisher &) = delete;
    TMqttPublisher &operator=(const TMqttPublisher &) = delete;

    // Starts publishing with these settings (Enabled is not looked at), a
    // running publisher being stopped first. With no cursor in the file yet,
    // the cursor is set to the end of the archive: readings archived before
    // are not sent. The polling engine is asked to learn the plant number.
    // False, with the reason in the status, when the settings are not valid.
    bool Start(const TMqttSettings &Settings);
    // Says "offline" to the broker, waits a moment for outstanding
    // acknowledgements, saves the cursor and ends the thread.
    void Stop();
    bool Running() const { return FThread.joinable(); }

    TMqttStatus Status() const;
    // Called on the publisher's thread whenever the state, the error or the
    // queue length changed (the latter at most a few times a second).
    std::function<void(const TMqttStatus &)> OnStatusChanged;

    // A cycle was archived (what NotifyCycleArchived delivers): it is read
    // from the archive; never blocks.
    void Submit(const TCycleReadings &Cycle);

private:
    struct TInFlight {
        int Mid = 0;
        TCycleReadings Cycle;
        bool Acked = false;
    };

    void Run();
    bool Connect();
    void Drop(const QString &Error);
    void Pump();
    bool NextCycle(TCycleReadings &Cycle);
    void Acknowledged(int Mid);
    // Moves the cursor over the run of acknowledged messages at the front.
    void Settle();
    // What Status().Queued says; under FLock.
    std::int64_t QueuedLocked() const;
    void RecountIfDue();
    void ClearForeignRetained();
    QString NoPlantText() const; // under FLock
    void SaveCursorIfDue(bool Now);
    void SetState(TMqttLinkState State, const QString &Error, bool KeepError = false);
    void Notify(bool Force);
    void Shutdown();
    QString IniFile() const;

    void SubmitLink(const TLinkState &Link);
    void PublishLinkIfDue();
    static void OnConnectCb(struct mosquitto *, void *Self, int Rc);
    static void OnDisconnectCb(struct mosquitto *, void *Self, int Rc);
    static void OnPublishCb(struct mosquitto *, void *Self, int Mid, int Reason, const struct mqtt5__property *Props);

    TMqttPublisherOptions FOptions;
    TMqttSettings FSettings;
    TMqttUnits FUnits;
    TMqttAddress FAddress;
    int FListener = 0;
    int FLinkListener = 0;

    // Shared with other threads.
    mutable std::mutex FLock;
    std::condition_variable FWake;
    bool FStopping = false;
    std::uint64_t FArrived = 0;         // cycles archived since the start
    int FPlant = kPlantUnknown;         // the device's, as the engine last told it
    QString FPlantTrouble;              // why it is not known: the link's error
    int FAddressNumber = 0;
    bool FLearnSet = false;             // this publisher asked the engine to learn it
    std::int64_t FCountBase = 0;        // cycles after the cursor at the last count
    std::uint64_t FArrivedAtCount = 0;
    std::int64_t FPublishedAtCount = 0;
    TMqttStatus FStatus;
    TLinkState FLink;     // the device link's state, since FLink.At
    bool FLinkDue = false; // to be published

    // The publisher thread's own.
    struct mosquitto *FMosq = nullptr;
    bool FConnected = false;
    bool FDropDue = false;
    QString FDropReason;
    int FConnPlant = 0;
    std::int64_t FConnectDeadline = 0;
    std::int64_t FRetryAt = 0;
    int FRetryDelay = 500;
    TArchiveCursor FCursor; // acknowledged
    TArchiveCursor FSent;   // handed to the broker on this connection
    TDateTime FCursorTime = 0;
    bool FCursorDirty = false;
    std::int64_t FCursorSavedAt = 0;
    bool FCatchUp = true;   // the last read of the archive was a full batch
    std::deque<TCycleReadings> FBacklog;
    std::int64_t FNextBacklogRead = 0;
    std::uint64_t FSeenArrived = 0;
    std::int64_t FRecountAt = 0;
    QStringList FRetained;  // retained topics left on the broker, as the file says
    bool FRetainedKnown = false;
    std::deque<TInFlight> FInFlight;
    int FStatusMid = -1;
    bool FStatusAcked = false;
    double FTokens = 0;
    std::int64_t FTokensAt = 0;
    std::int64_t FNotifiedAt = 0;
    TMqttStatus FNotified;
    std::thread FThread;
};
