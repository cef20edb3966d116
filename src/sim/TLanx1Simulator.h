#pragma once
// A simulated level transducer on a serial line: the device side of the
// register protocol, served by its own thread on a pseudo-terminal (or on a
// given port), with faults that tests and demonstrations can switch on.
//
// Typical use in a test:
//     TLanx1Simulator Sim;
//     Sim.Start();                       // Sim.PortName() is the port to open
//     Sim.SetLevel(50);
//     Sim.SetFault(TSimFault::Silence, 0, 1);   // the next reply is lost
//     ... exchange frames on Sim.PortName() ...
//     Sim.WaitForRequests(2, 1000);
//
// Every public member is thread-safe.
#include "TLanx1DeviceModel.h"
#include "uPseudoTerminal.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// What can go wrong with a reply. Faults are independent and may be active
// together; each applies to requests the device would answer (checksum right,
// own address). Value means, per fault:
enum class TSimFault {
    Silence,       // no reply at all (the request is still carried out)
    BadCrc,        // the reply's checksum is corrupted
    Exception,     // exception reply (function | 0x80) with code Value; the request is not carried out
    Status,        // status reply 0xFA with status Value; the request is not carried out
    TrailingBytes, // Value extra bytes follow the reply
    Delay,         // the reply is sent Value ms late
    WrongFunction, // a read is answered with the echo of a write, a write with a read's reply
    LeadingBytes,  // Value bytes of line noise go before the reply: the device's address,
                   // the function asked, a byte count beyond any reply, then 0x00
    LateBytes,     // Value bytes of line noise follow the reply LateBytesMs after its end,
                   // when the master has long taken the reply: noise between two exchanges
};

class TLanx1Simulator {
public:
    static constexpr int Always = -1; // a fault that applies to every reply until cleared
    static constexpr int LateBytesMs = 60; // the pause before the noise of LateBytes

    TLanx1Simulator();
    ~TLanx1Simulator();
    TLanx1Simulator(const TLanx1Simulator &) = delete;
    TLanx1Simulator &operator=(const TLanx1Simulator &) = delete;

    // Opens a new pseudo-terminal and serves it; false when none can be had.
    bool Start();
    // Serves an existing serial port (raw mode, at the baud rate if set).
    bool Start(const QString &PortPath);
    // Stops serving and waits for the thread; the registers keep their values.
    void Stop();
    bool IsRunning() const;
    // The port the master opens (the slave side of the pseudo-terminal).
    QString PortName() const;

    // The device's address (the low byte of register 7); default 1.
    void SetAddress(int Address);
    int Address() const;
    // Bytes of a reply go out one at a time, 10 bits each at this rate, so a
    // reply takes its real wire time. 0 (default) sends a reply at once.
    void SetBaudRate(int Baud);
    int BaudRate() const;
    // On: the device hears the line only while it is set to BaudRate() (the
    // speed of the master's end of the pseudo-terminal, as the device's end
    // sees it); a request at another speed stays unanswered, as if garbled on
    // the wire. Off (default) or BaudRate() 0: any speed is heard.
    void SetBaudRateCheck(bool On);
    bool BaudRateCheck() const;
    // With the check on: a request at a wrong speed gets bytes that are no
    // frame (as a device's reply looks at another speed) instead of silence.
    void SetWrongBaudGarbage(bool On);
    // The speed the line is set to now (bits per second); 0 when unknown.
    int LineBaudRate() const;
    // Answers of garbage sent for requests at a wrong speed.
    int GarbageSent() const;

    // Switches a fault on for the next Times replies, or Always.
    void SetFault(TSimFault Fault, int Value = 0, int Times = Always);
    void ClearFault(TSimFault Fault);
    void ClearFaults();
    bool FaultActive(TSimFault Fault) const;
    // Control register bit 7 (no frequency signal); the frequency reads 0 meanwhile.
    void SetNoFrequencySignal(bool On);

    // The level in percent: pinned, or sweeping 10..90..10 % over four minutes
    // of the clock (seconds; a steady clock from construction by default).
    void SetLevel(double Percent);
    void ReleaseLevel();
    void SetClock(std::function<double()> Seconds);

    // The registers 0..164 as the master would read them (16-bit words;
    // floats in two registers, most significant word first). Registers 2..6
    // are recomputed from the level whenever they are read.
    std::uint16_t Register(int Index) const;
    void SetRegister(int Index, std::uint16_t Value);
    float FloatAt(int Index) const;
    void SetFloat(int Index, float Value);

    // Complete frames received (recognised by their length, or ended by a
    // silence), in order, whether or not they were answered. The list keeps
    // the latest RequestHistoryLimit frames; RequestCount counts them all.
    static constexpr int RequestHistoryLimit = 10000;
    QList<QByteArray> Requests() const;
    int RequestCount() const;
    bool WaitForRequests(int Count, int TimeoutMs) const;
    // Replies written completely to the line.
    int RepliesSent() const;
    bool WaitForReplies(int Count, int TimeoutMs) const;
    // Bytes of LateBytes noise written to the line.
    int LateBytesSent() const;
    bool WaitForLateBytes(int Count, int TimeoutMs) const;

private:
    struct TFaultState {
        int Value = 0;
        int Times = 0; // 0 inactive, Always, or replies left
    };

    bool StartServing();
    void Run();
    void TakeFrames(QByteArray &Buffer);
    void EndOfSilence(QByteArray &Buffer);
    void HandleFrame(const QByteArray &Frame);
    QByteArray Respond(const QByteArray &Frame, int &DelayMs, bool &Silent, int &LateBytes);
    bool TakeFault(TSimFault Fault, int &Value);
    int FrameGapMs() const;
    bool Send(const QByteArray &Reply, int Baud);
    static QByteArray Garbage(const QByteArray &Frame);
    bool WriteBytes(const char *Data, qsizetype Size);
    bool WaitStop(int TimeoutMs);
    void CloseLine();

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    mutable TLanx1DeviceModel FModel; // reading refreshes the live registers
    std::array<TFaultState, 9> FFaults{};
    int FBaud = 0;
    bool FBaudCheck = false;
    bool FGarbage = false;
    int FGarbageSent = 0;
    QList<QByteArray> FRequests;
    int FRequestCount = 0;
    int FReplies = 0;
    int FLateBytes = 0;
    QString FPortName;

    std::unique_ptr<TPseudoTerminal> FPty;
    int FFd = -1;
    bool FOwnsFd = false;
    int FWake[2] = {-1, -1};
    std::atomic<bool> FStop{false};
    std::thread FThread;
};
