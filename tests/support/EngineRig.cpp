#include "EngineRig.h"

#include "uBDE.h"
#include "uGuiSync.h"
#include "uLanx1Instance.h"
#include "uWin1251.h"

TEngineRig::TEngineRig(const QStringList &ComPortLines) {
    QStringList Lines{QStringLiteral("[Transmitter]"), QStringLiteral("Port=") + FSim.PortName()};
    Lines += ComPortLines;
    WriteAll(FFolder.File(QStringLiteral("INI/ComPort.ini")), ToWin1251(Lines.join(QStringLiteral("\r\n")) + "\r\n"));
    SetDbPath(FFolder.File(QStringLiteral("DATA")));
    CreateLanx1();
    PollSet.Clear();
    FEngine = std::make_unique<TRequestDevices>();
    RequestDevices = FEngine.get();
}

TEngineRig::~TEngineRig() {
    RequestDevices = nullptr;
    FEngine.reset();
    DestroyLanx1();
    PollSet.Clear();
}

void TEngineRig::PollOnce() {
    TRequestThread &Thread = *FEngine->RequestThread;
    const auto Before = Thread.Steps();
    Thread.Resume();
    TGuiSync::Instance().WaitUntil([&] { return Thread.Steps() > Before; });
}
