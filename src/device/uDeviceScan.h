#pragma once
// The search for a transducer of unknown settings: every chosen port, at
// every chosen baud rate, every address of a range, each try one read of
// registers 0..1 (plant number and modification) under a time-out that comes
// from the wire time of the exchange. A device counts only when its reply
// passes every check and a second read confirms it; a reply that fails its
// checksum marks the port and baud rate as "signal there, but garbled".
//
// The scan uses ports of its own and changes no setting: the program's port
// must be closed while it runs (the port is opened exclusively), and what was
// found is applied by the caller.
//
// A dialog runs it either in a worker thread (Run, with the events below
// called in that thread and Stop from any thread), or step by step (Step from
// a timer; one step is one try, at most a few hundred ms). Stop ends a running
// try within a few tens of milliseconds.
#include "uTransmitter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

struct TScanOptions {
    // Ports by name or device path; empty: every serial port the system lists.
    QStringList Ports;
    // In the order they are tried.
    QList<int> BaudRates = DefaultBaudRates();
    int FirstAddress = 1;
    int LastAddress = 247;
    // The address in use now, tried right after address 1 (0: none).
    int CurrentAddress = 0;
    // false: the scan ends at the first device found; true: it searches everything.
    bool FindAll = false;
    // Data bits, parity, stop bits and flow control of every try (the port and
    // the baud rate are the scan's; the time-outs are its own too).
    TPortSettings Line;

    // 9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200.
    static QList<int> DefaultBaudRates();
};

// A device that answered and was confirmed.
struct TScanDevice {
    QString Port;
    int BaudRate = 0;
    int Address = 0;
    std::uint16_t PlantNumber = 0;
    std::uint16_t Modification = 0;
    // "Port=/dev/ttyUSB0 BaudRate=19200 Address=37 PlantNumber=4321 Modification=2"
    QString Line() const;
    bool operator==(const TScanDevice &) const = default;
};

// A port and baud rate where a reply came with a wrong checksum (or too
// short): something is there, usually at another baud rate or parity.
struct TScanGarbled {
    QString Port;
    int BaudRate = 0;
    int Address = 0; // the address of the first such try
};

// A port that could not be opened or was lost under the scan; it is skipped.
struct TScanPortFailure {
    QString Port;
    QString Reason;
};

struct TScanProgress {
    QString Port;     // the try in hand (or the last one, when finished)
    int BaudRate = 0;
    int Address = 0;
    int TriesDone = 0;
    int TriesTotal = 0;
    qint64 ElapsedMs = 0;
    qint64 LeftMs = 0; // estimate of what is left
    int Found = 0;
    bool Finished = false;
    double Fraction() const { return TriesTotal ? double(TriesDone) / TriesTotal : 1.0; }
    // The share of the time: a try at a slow baud rate lasts many times one at
    // a fast one, so the tries alone would run ahead at first and crawl later.
    double TimeFraction() const {
        if (Finished)
            return Fraction(); // all of it, or as far as it went before it was stopped
        const qint64 Whole = ElapsedMs + LeftMs;
        return Whole > 0 ? double(ElapsedMs) / double(Whole) : Fraction();
    }
};

// What one probe brought.
enum class TProbeVerdict : std::uint8_t {
    Answer,   // a reply that answers the probe (address, function, byte count, checksum)
    Silent,   // nothing came back
    Garbled,  // bytes that are no frame: wrong checksum, or too short
    Foreign,  // a valid frame, but no answer to the probe
};

class TDeviceScan {
public:
    explicit TDeviceScan(const TScanOptions &Options);
    ~TDeviceScan(); // closes the port in use
    TDeviceScan(const TDeviceScan &) = delete;
    TDeviceScan &operator=(const TDeviceScan &) = delete;

    // Events, called in the thread that runs the scan. OnProgress comes
    // before every try and once at the end (Finished set).
    std::function<void(const TScanProgress &)> OnProgress;
    std::function<void(const TScanDevice &)> OnFound;
    std::function<void(const TScanGarbled &)> OnGarbled;
    std::function<void(const TScanPortFailure &)> OnPortFailure;

    // The whole scan (or the rest of it); returns the devices found.
    QList<TScanDevice> Run();
    // One try (with its confirmation when it was answered); false once the
    // scan is over (done, stopped, or the first device found without FindAll).
    bool Step();
    // From any thread: the running try ends at once, the scan ends after it.
    void Stop();
    bool StopRequested() const { return FStop.load(); }
    bool Finished() const;

    // From any thread, at any time.
    TScanProgress Progress() const;
    QList<TScanDevice> Found() const;
    QList<TScanGarbled> Garbled() const;
    QList<TScanPortFailure> PortFailures() const;
    // The ports the scan walks (the system's list when none were given).
    QStringList Ports() const { return FPorts; }

    // The time-out of one try at Baud, in ms: 2 x (request + reply bytes) x
    // 11 bits / Baud + 20 ms.
    static double TryTimeoutMs(int Baud);
    // What a whole scan of Options takes when nobody answers, in ms.
    static double PlannedMs(const TScanOptions &Options, int Ports);
    // First..Last with 1 and Current (when in the range) moved to the front.
    static QList<int> AddressOrder(int First, int Last, int Current);
    // The probe: a read of registers 0..1 at Address, without its checksum.
    static QByteArray ProbeFrame(int Address);
    // Judges Reply to the probe of Address; an answer gives the two registers.
    static TProbeVerdict CheckProbeReply(const QByteArray &Reply, int Address, std::uint16_t &PlantNumber,
                                         std::uint16_t &Modification);
    static constexpr int RequestBytes = 8;
    static constexpr int ReplyBytes = 9;

private:
    TProbeVerdict Probe(int Address, std::uint16_t &PlantNumber, std::uint16_t &Modification);
    bool OpenPort();
    void ClosePort();
    void SkipPort(const QString &Reason);
    void Advance();
    void Finish();
    double LeftPlannedMs() const;
    void Report();

    const TScanOptions FOptions;
    QStringList FPorts;
    QList<int> FAddresses;
    // Position: the next try.
    int FPort = 0, FBaud = 0, FAddress = 0;
    std::unique_ptr<TTransmitter> FLine;
    int FLineBaud = 0;
    std::atomic<bool> FStop{false};
    qint64 FStartNs = -1;
    double FDonePlannedMs = 0;

    mutable std::mutex FLock;
    TScanProgress FProgress;
    QList<TScanDevice> FFound;
    QList<TScanGarbled> FGarbled;
    QList<TScanPortFailure> FPortFailures;
    bool FFinished = false;
};
