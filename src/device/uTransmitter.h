#pragma once
// The serial port of the system: its settings file, an open/close pair that
// tells the user when the port will not open, and one synchronous exchange,
// Transmit, that sends a request with its checksum and reads back whatever
// reply arrives within the time-outs.
//
// The port object lives in a thread of its own that runs no event loop: every
// operation is handed to that thread and waited for, so Transmit may be called
// from any thread (the polling thread, the user-interface thread, a tool's
// main thread) while the port itself is only ever touched by one thread and no
// event loop reads from it behind the exchange's back. Calls from several
// threads are taken one after the other.
#include "uPortOpenFailure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

class TIniFile;
class TPortThread;
class QSerialPort;

// A platform error of the port while it is used: not open, gone, refused.
class ETransmitterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The port failed under an exchange (an adapter pulled, a pseudo-terminal
// gone) or has not come back yet: nothing reached the line.
class EPortLost : public ETransmitterError {
public:
    using ETransmitterError::ETransmitterError;
};

// The settings of the port as the settings file and a settings dialog see
// them. Texts are always one of the value lists below (see Normalize).
struct TPortSettings {
    QString Port = QStringLiteral("COM1");          // "COM1", "ttyUSB0" or a device path
    QString BaudRate = QStringLiteral("9600");      // one of BaudRateTexts()
    int CustomBaudRate = 9600;                      // bits per second when BaudRate is "Custom"
    QString DataBits = QStringLiteral("8");         // one of DataBitsTexts()
    QString StopBits = QStringLiteral("1");         // one of StopBitsTexts()
    QString Parity = QStringLiteral("None");        // one of ParityTexts()
    QString FlowControl = QStringLiteral("None");   // one of FlowControlTexts(); "Custom" leaves it as it is
    int ReadInterval = 50;         // ms of silence after the first byte that end a read
    int ReadTotalConstant = 150;   // ms of a read in all, plus ...
    int ReadTotalMultiplier = 2;   // ... ms per requested byte
    int WriteTotalConstant = 100;  // ms of a write in all, plus ...
    int WriteTotalMultiplier = 2;  // ... ms per byte written
    // 1: a read also ends as soon as the bytes form one complete reply frame
    // with a valid checksum; 0: only the time-outs end it.
    int EndOfFrame = 1;

    static const QStringList &BaudRateTexts();
    static const QStringList &DataBitsTexts();
    static const QStringList &StopBitsTexts();
    static const QStringList &ParityTexts();
    static const QStringList &FlowControlTexts();

    // The value of List that Text names regardless of letter case, else Fallback.
    static QString MatchText(const QString &Text, const QStringList &List, const QString &Fallback);
    // Every text mapped onto its list ("even" -> "Even", unknown -> fallback).
    void Normalize();
    // Bits per second the settings stand for (CustomBaudRate for "Custom").
    int BaudRateValue() const;
    // Bits of one character on the line: start, data, parity and stop bits.
    double CharacterBits() const;
    // The silence of 3.5 characters that ends a frame, in ms (at least 2).
    double FrameGapMs() const;
    // Read time-out in all for a read of Count bytes, write time-out for Count bytes.
    int ReadTotalTimeout(int Count) const;
    int WriteTotalTimeout(int Count) const;

    bool operator==(const TPortSettings &) const = default;
};

class TTransmitter;
// Sent: the frame as it went out (with its checksum); Answered: at least one
// byte came back; Reply: the bytes that came back.
using TTransmitEvent = std::function<void(TTransmitter *Sender, const QByteArray &Sent, bool Answered,
                                          const QByteArray &Reply)>;
// The port was lost (Available false) or came back (true); Port is its name.
using TPortStateEvent = std::function<void(TTransmitter *Sender, bool Available, const QString &Port)>;

class TTransmitter {
public:
    // Closed; the settings file is INI/ComPort.ini under the application folder of now.
    TTransmitter();
    ~TTransmitter(); // closes the port
    TTransmitter(const TTransmitter &) = delete;
    TTransmitter &operator=(const TTransmitter &) = delete;

    // Called after every completed exchange, in the thread that called Transmit.
    TTransmitEvent OnTransmit;
    // Called once when the port is lost and once when it is back, in the
    // thread that exchanges.
    TPortStateEvent OnPortState;

    QString Name() const { return FName; } // section of the settings file
    QString IniFileName() const { return FIniFileName; }
    void SetIniFileName(const QString &FileName) { FIniFileName = FileName; }

    TPortSettings GetSettings() const;
    // Normalizes the texts; an open port takes the new settings at once
    // (false when it refuses them).
    bool SetSettings(const TPortSettings &Settings);
    QString GetPort() const;
    void SetPort(const QString &Port);

    // Reads the settings file into the settings (an open port takes them);
    // throws ETransmitterError when an open port refuses them. A key the file
    // lacks takes its default, not the value in use: that may be a port of
    // this run only (demo mode), which must not reach the file by way of a
    // later SaveSettings.
    void LoadSettings();
    // Writes all settings to the settings file; throws EIniFileError.
    void SaveSettings() const;
    void ReadIni(const TIniFile &IniFile); // as LoadSettings, from IniFile
    void WriteIni(TIniFile &IniFile) const;

    // Connects the port with the current settings. On failure tells the user
    // ("Ошибка активации порта :" + port, and the reason on a line of its
    // own) and returns false; the port stays closed.
    bool Open();
    // As Open, but tells nobody: false with the system's reason in Reason.
    bool OpenQuietly(QString &Reason);
    // Why the last open failed (missing, no right, busy and by whom).
    TPortOpenFailure LastOpenFailure() const;
    // Disconnects the port; false if that failed (no message).
    bool Close();
    bool IsOpen() const;
    // The port failed under an exchange and has not been reopened yet.
    bool IsLost() const;
    // How often the port was opened or reopened so far: what was learned of
    // the device at the other end holds only while this stays the same (the
    // adapter may have come back with another device on it).
    std::uint64_t Openings() const { return FOpenings.load(); }

    // A modal error message with an OK button (through the message service).
    static void ShowError(const QString &Caption, const QString &Text);

    // One exchange: Frame (plus its CRC when AddCRC) is sent, at most ReplyMax
    // bytes are read into Reply under the time-outs; both buffers are emptied
    // before the write and after the read. True when Reply is not empty.
    // Throws ETransmitterError when the port is not open, EPortLost when it
    // failed (gone) or has not come back. A lost port is reopened by the name
    // it had (or its stable link) at most once a second, on the exchanges
    // that follow; the exchange that finds it back goes ahead.
    bool Transmit(const QByteArray &Frame, QByteArray &Reply, bool AddCRC, int ReplyMax);

    // The first exchange after the port opened or came back begins with the
    // start-up guard: whatever arrives is dropped until the line has been
    // silent for StartGuardMs. A reply owed to a question of an earlier run
    // (a process that ended, or was killed, with a reply still on its way) or
    // of the time before the port went must not pass for the answer to the
    // new question. The guard is the read time-out of the longest reply
    // (ReadTotalConstant + ReadTotalMultiplier x ReplyMax): it stops a reply
    // from a device that answers up to that late. It lasts at most
    // 4 x StartGuardMs + 1000 ms on a line that never falls silent.
    static int StartGuardMs(const TPortSettings &S, int ReplyMax) { return S.ReadTotalTimeout(ReplyMax); }
    // Whether the next exchange begins with the start-up guard.
    bool StartGuardDue() const { return FGuardDue.load(); }

    // Waits until the line has been silent for SilenceMs, discarding what
    // arrives meanwhile (at most MaxMs in all). After a failed exchange, the
    // answer to it may still be on its way: it must not meet the next request.
    void RecoverLine(int SilenceMs, int MaxMs);

    // The response time of the last exchange that got a reply: from the last
    // request byte handed to the line to the last byte of the reply, in ms
    // (0 after an exchange without a reply).
    double LastResponseMs() const { return FLastResponseMs.load(); }

    // A flag (owned by the caller, may be null) that cuts the waits of an
    // exchange or a line recovery short as soon as it is set: the read then
    // ends with what has come so far. Waits look at it every few milliseconds.
    void SetAbortFlag(const std::atomic<bool> *Abort) { FAbort = Abort; }

    // Bytes that belonged to no reply: what followed a complete frame and what
    // a line recovery discarded, what came in between two exchanges. Waits
    // for the end of the running exchange and the guard after it.
    std::uint64_t NoiseBytes() const;
    // The same count as it stands, without waiting: for windows, which never
    // wait on the line.
    std::uint64_t NoiseBytesSoFar() const;

    // The /dev/serial/by-id link (in ById) that stands for a ttyUSB/ttyACM
    // port, so that an adapter that comes back under another number is found;
    // empty for other ports or when there is none.
    static QString StablePortLink(const QString &Port,
                                  const QString &ById = QStringLiteral("/dev/serial/by-id"));

    // Length of the reply frame that Reply begins with, judged by its function
    // byte (0x03: 5 + byte count; 0x10: 8; 0x83, 0x90: 5; 0xFA: 6), or 0 when
    // the bytes so far do not tell.
    static int ExpectedReplyLength(const QByteArray &Reply);
    // Reply is exactly one such frame and its checksum is right.
    static bool IsCompleteReply(const QByteArray &Reply);

private:
    // The settings of Ini in section Name, defaults for what the file lacks.
    TPortSettings ReadSettings(const TIniFile &Ini) const;
    bool OpenPort(const TPortSettings &S, const QString &Name, QString &Reason);
    void MarkLost(const QString &Port);
    bool TryReopen(const TPortSettings &S);

    QString FName = QStringLiteral("Transmitter");
    QString FIniFileName;
    mutable std::mutex FSettingsLock; // settings are copied by whichever thread exchanges
    TPortSettings FSettings;
    std::unique_ptr<TPortThread> FThread;
    QSerialPort *FPort = nullptr; // lives in FThread and is only touched there
    // Loss and reopening: changed only by the thread that exchanges.
    std::atomic<bool> FLost{false};
    qint64 FLastReopen = 0; // ms of the monotonic clock
    QString FStableLink;    // by-id link of the port opened last
    TPortOpenFailure FOpenFailure; // under FSettingsLock
    std::atomic<std::uint64_t> FNoise{0};
    std::atomic<bool> FGuardDue{false};
    std::atomic<std::uint64_t> FOpenings{0};
    std::atomic<double> FLastResponseMs{0};
    std::atomic<const std::atomic<bool> *> FAbort{nullptr};
};
