#pragma once
// A simulated transducer on a fresh pseudo-terminal for the length of one test,
// with a raw master-side line for tests that speak the protocol byte by byte.
// Tests that open the port themselves (a QSerialPort, the transmitter) just
// use PortName() and never touch Send/Receive, which open the line lazily.
#include "TLanx1Simulator.h"

#include <QByteArray>
#include <QString>

class TSimulatorFixture {
public:
    // Starts the simulator (address 1, no pacing, no faults); a failure to get
    // a pseudo-terminal is reported as a test failure.
    TSimulatorFixture();
    ~TSimulatorFixture();
    TSimulatorFixture(const TSimulatorFixture &) = delete;
    TSimulatorFixture &operator=(const TSimulatorFixture &) = delete;

    TLanx1Simulator &Sim() { return FSim; }
    QString PortName() const { return FSim.PortName(); }

    // Writes Frame to the line as it is (no checksum added).
    bool Send(const QByteArray &Frame);
    // Collects bytes until Bytes have arrived or TimeoutMs have passed.
    QByteArray Receive(int Bytes, int TimeoutMs = 2000);
    // Sends the frame with its checksum appended and collects a reply of Bytes.
    QByteArray Exchange(const QByteArray &FrameWithoutCrc, int Bytes, int TimeoutMs = 2000);

private:
    bool OpenLine();

    TLanx1Simulator FSim;
    int FLine = -1;
};
