#pragma once
// The far end of a serial line for tests: a pseudo-terminal whose master side
// is driven by a script in a thread of its own (wait for the request, answer
// in pieces, late, or not at all), while the code under test opens PortName().
#include "uPseudoTerminal.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <thread>

class TRawPeer {
public:
    using TScript = std::function<void(TPseudoTerminal &Line)>;

    TRawPeer();
    ~TRawPeer(); // waits for the script
    bool IsOpen() const { return FLine.IsOpen(); }
    QString PortName() const { return FLine.PortName(); }
    TPseudoTerminal &Line() { return FLine; }

    // Runs Script on the master side in the peer's thread (after the last one ended).
    void Run(TScript Script);
    void Join();

    // Collects Count bytes, or what came within TimeoutMs in all.
    static QByteArray ReadCount(TPseudoTerminal &Line, int Count, int TimeoutMs = 10000);
    // Rests for Ms between two pieces of a reply.
    static void Pause(int Ms);

private:
    TPseudoTerminal FLine;
    std::thread FThread;
};
