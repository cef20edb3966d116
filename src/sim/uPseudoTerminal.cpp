#include "uPseudoTerminal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

TPseudoTerminal::TPseudoTerminal() = default;

TPseudoTerminal::~TPseudoTerminal() {
    Close();
}

bool TPseudoTerminal::Open() {
    Close();
    FMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (FMaster < 0)
        return false;
    // Programs started meanwhile (a tool under test) must not inherit the
    // line: a copy of the master in a child keeps the line up after Close.
    fcntl(FMaster, F_SETFD, FD_CLOEXEC);
    if (grantpt(FMaster) != 0 || unlockpt(FMaster) != 0) {
        Close();
        return false;
    }
    char Name[128];
    if (ptsname_r(FMaster, Name, sizeof Name) != 0) {
        Close();
        return false;
    }
    FSlaveName = QString::fromLocal8Bit(Name);
    FSlaveKeeper = ::open(Name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FSlaveKeeper >= 0) {
        termios T{};
        if (tcgetattr(FSlaveKeeper, &T) == 0) {
            cfmakeraw(&T);
            tcsetattr(FSlaveKeeper, TCSANOW, &T);
        }
    }
    const int Flags = fcntl(FMaster, F_GETFL);
    fcntl(FMaster, F_SETFL, Flags | O_NONBLOCK);
    return true;
}

void TPseudoTerminal::Close() {
    if (FSlaveKeeper >= 0)
        ::close(FSlaveKeeper);
    if (FMaster >= 0)
        ::close(FMaster);
    FSlaveKeeper = FMaster = -1;
}

bool TPseudoTerminal::Write(const QByteArray &Data) {
    qsizetype Done = 0;
    while (FMaster >= 0 && Done < Data.size()) {
        const ssize_t N = ::write(FMaster, Data.constData() + Done, static_cast<size_t>(Data.size() - Done));
        if (N > 0) {
            Done += N;
            continue;
        }
        if (N < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd P{FMaster, POLLOUT, 0};
        ::poll(&P, 1, 100);
    }
    return Done == Data.size();
}

QByteArray TPseudoTerminal::Read(int TimeoutMs, int MaxBytes) {
    if (FMaster < 0)
        return {};
    pollfd P{FMaster, POLLIN, 0};
    if (::poll(&P, 1, TimeoutMs) <= 0 || !(P.revents & POLLIN))
        return {};
    QByteArray Buffer(MaxBytes, Qt::Uninitialized);
    const ssize_t N = ::read(FMaster, Buffer.data(), static_cast<size_t>(MaxBytes));
    if (N <= 0)
        return {};
    Buffer.resize(N);
    return Buffer;
}
