#pragma once
// A pseudo-terminal pair: the master side is held here, the slave side is a
// device path (/dev/pts/N) that any program opens as its serial port.
#include <QByteArray>
#include <QString>

class TPseudoTerminal {
public:
    TPseudoTerminal();
    ~TPseudoTerminal();
    TPseudoTerminal(const TPseudoTerminal &) = delete;
    TPseudoTerminal &operator=(const TPseudoTerminal &) = delete;

    // Opens a new pair in raw mode; false when the system refuses.
    bool Open();
    void Close();
    bool IsOpen() const { return FMaster >= 0; }
    // Path of the slave side, the port name to give the serial port.
    QString PortName() const { return FSlaveName; }
    int MasterHandle() const { return FMaster; }

    // Writes all of Data to the master side; false on failure.
    bool Write(const QByteArray &Data);
    // Reads what arrives on the master side within TimeoutMs (at most MaxBytes);
    // empty on time-out. A time-out of 0 only takes what is already there.
    QByteArray Read(int TimeoutMs, int MaxBytes = 4096);

private:
    int FMaster = -1;
    int FSlaveKeeper = -1; // keeps the slave open so the master never sees a hang-up
    QString FSlaveName;
};
