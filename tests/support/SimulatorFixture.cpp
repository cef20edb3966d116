#include "SimulatorFixture.h"

#include "uMath.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

TSimulatorFixture::TSimulatorFixture() {
    EXPECT_TRUE(FSim.Start()) << "no pseudo-terminal for the simulator";
}

TSimulatorFixture::~TSimulatorFixture() {
    FSim.Stop();
    if (FLine >= 0)
        ::close(FLine);
}

bool TSimulatorFixture::OpenLine() {
    if (FLine >= 0)
        return true;
    FLine = ::open(PortName().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FLine < 0)
        return false;
    termios T{};
    if (tcgetattr(FLine, &T) == 0) {
        cfmakeraw(&T);
        tcsetattr(FLine, TCSANOW, &T);
    }
    return true;
}

bool TSimulatorFixture::Send(const QByteArray &Frame) {
    if (!OpenLine())
        return false;
    qsizetype Done = 0;
    while (Done < Frame.size()) {
        const ssize_t N = ::write(FLine, Frame.constData() + Done, static_cast<size_t>(Frame.size() - Done));
        if (N > 0) {
            Done += N;
            continue;
        }
        if (N < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd P{FLine, POLLOUT, 0};
        ::poll(&P, 1, 100);
    }
    return true;
}

QByteArray TSimulatorFixture::Receive(int Bytes, int TimeoutMs) {
    QByteArray Data;
    if (!OpenLine())
        return Data;
    using TClock = std::chrono::steady_clock;
    const auto Deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
    char Chunk[512];
    while (Data.size() < Bytes) {
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now()).count();
        if (Left <= 0)
            break;
        pollfd P{FLine, POLLIN, 0};
        if (::poll(&P, 1, static_cast<int>(Left)) <= 0)
            continue;
        const ssize_t N = ::read(FLine, Chunk, sizeof Chunk);
        if (N > 0)
            Data.append(Chunk, N);
    }
    return Data;
}

QByteArray TSimulatorFixture::Exchange(const QByteArray &FrameWithoutCrc, int Bytes, int TimeoutMs) {
    if (!Send(AppendCrc16(FrameWithoutCrc)))
        return {};
    return Receive(Bytes, TimeoutMs);
}
