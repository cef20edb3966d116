#include "RawPeer.h"

#include <QElapsedTimer>
#include <chrono>

TRawPeer::TRawPeer() {
    FLine.Open();
}

TRawPeer::~TRawPeer() {
    Join();
}

void TRawPeer::Run(TScript Script) {
    Join();
    FThread = std::thread([this, Script = std::move(Script)] { Script(FLine); });
}

void TRawPeer::Join() {
    if (FThread.joinable())
        FThread.join();
}

QByteArray TRawPeer::ReadCount(TPseudoTerminal &Line, int Count, int TimeoutMs) {
    QByteArray Data;
    QElapsedTimer Clock;
    Clock.start();
    while (Data.size() < Count) {
        const qint64 Left = TimeoutMs - Clock.elapsed();
        if (Left <= 0)
            break;
        Data += Line.Read(static_cast<int>(Left), Count - static_cast<int>(Data.size()));
    }
    return Data;
}

void TRawPeer::Pause(int Ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
}
