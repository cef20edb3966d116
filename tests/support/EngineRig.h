#pragma once
// The polling engine of the program, the device object and a simulated
// transducer on a pseudo-terminal, in a fresh folder, for one test.
#include "SimulatorFixture.h"
#include "TestEnvironment.h"
#include "uRequestDevices.h"

#include <QString>
#include <memory>

class TEngineRig {
public:
    // Extra lines for INI/ComPort.ini (section Transmitter), e.g. "ReadTotalConstant=60".
    explicit TEngineRig(const QStringList &ComPortLines = {});
    ~TEngineRig();

    TRequestDevices &Engine() { return *FEngine; }
    TLanx1Simulator &Sim() { return FSim.Sim(); }
    TTestFolder &Folder() { return FFolder; }
    // Runs one poll step in the polling thread and waits for it to end.
    void PollOnce();

private:
    TTestFolder FFolder;
    TSimulatorFixture FSim;
    std::unique_ptr<TRequestDevices> FEngine;
};
