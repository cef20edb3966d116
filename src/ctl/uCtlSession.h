#pragma once
// What a device command of lanx1ctl runs on: the device object and the
// polling engine as the program starts them (INI/ComPort.ini of the current
// folder, request log, archive settings), with the command line's overrides
// applied for this run only, and commands carried out with plain retries.
#include "uCtlArgs.h"
#include "uLanx1Commands.h"
#include "uRequestDevices.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

// The one device object of the tool, with the address override; freed last.
class TCtlDevice {
public:
    explicit TCtlDevice(const TGlobalOptions &Options);
    ~TCtlDevice();
    TCtlDevice(const TCtlDevice &) = delete;
    TCtlDevice &operator=(const TCtlDevice &) = delete;
};

// Why the request log could not be written in a session of this run; empty
// when it was written (or no session ran). main turns it into exit status 1.
QString RequestLogFailureOfRun();

class TCtlSession {
public:
    // Starts the engine for the device object of a TCtlDevice that outlives the
    // session; throws ECtlFailure when the port does not open.
    explicit TCtlSession(const TGlobalOptions &Options);
    ~TCtlSession();
    TCtlSession(const TCtlSession &) = delete;
    TCtlSession &operator=(const TCtlSession &) = delete;

    TRequestDevices &Engine() { return *FEngine; }
    int Attempts() const { return FAttempts; }

    // One command with up to Attempts tries; a failure is remembered (the first one).
    bool Execute(std::uint8_t Kind, const QString &Hint);
    TExecute Executor();
    bool Failed() const { return !FFailure.isEmpty(); }
    // The line that describes the first failed command.
    QString FailureText() const { return FFailure; }
    // Throws ECtlFailure with the first failure when there was one.
    void ThrowIfFailed() const;
    // The line for a table block that got no valid reply.
    static QString BlockFailureText(const TTableBlockFailure &Block);

    // Values the device sent in the replies of this session that the device
    // object refused, and whether a reply reported no frequency signal.
    const QList<TRefusedValue> &Refused() const { return FRefused; }
    bool NoFrequencySignal() const { return FNoSignal; }

private:
    QString ExchangeFailure(const QString &Request) const;

    std::unique_ptr<TRequestDevices> FEngine;
    int FAttempts = 5;
    QByteArray FLastSent; // the last frame that went out, checksum included
    QString FFailure;
    QList<TRefusedValue> FRefused;
    bool FNoSignal = false;
};
