#pragma once
// The simulated transducer on a fresh pseudo-terminal, pacing its replies at a
// baud rate, and a transmitter set up for it (not yet open): the line the
// exchange benchmarks time.
#include "TLanx1Simulator.h"
#include "uTransmitter.h"

#include <QString>

// False (with a message on stderr) when no pseudo-terminal can be had.
bool StartBenchLine(TLanx1Simulator &Sim, TTransmitter &Port, const QString &IniFile, int Baud);

// The program's folders (INI, DATA) in Dir, as a fresh portable copy has them.
void UseBenchFolder(const QString &Dir);
