#include "BenchLine.h"

#include "uBDE.h"
#include "uSysUtils.h"

#include <cstdio>

bool StartBenchLine(TLanx1Simulator &Sim, TTransmitter &Port, const QString &IniFile, int Baud) {
    Sim.SetBaudRate(Baud);
    if (!Sim.Start()) {
        std::fprintf(stderr, "no pseudo-terminal for the simulator\n");
        return false;
    }
    Port.SetIniFileName(IniFile);
    TPortSettings S = Port.GetSettings();
    S.Port = Sim.PortName();
    S.BaudRate = QString::number(Baud);
    S.EndOfFrame = 1;
    Port.SetSettings(S);
    return true;
}

void UseBenchFolder(const QString &Dir) {
    SetAppDir(Dir);
    SetProgramDir(Dir);
    ForceDirectories(Dir + QStringLiteral("/INI"));
    SetDbPath(Dir + QStringLiteral("/DATA"));
}
