#include "TLanx1Simulator.h"

#include "uMath.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSimulator, "lanx1.sim")

namespace {

using TClock = std::chrono::steady_clock;

constexpr int MinFrameGapMs = 5;     // a pty delivers a frame at once; a few ms of silence ends it
constexpr int MaxPendingBytes = 512; // line noise is dropped rather than collected forever

int SpeedValue(speed_t Code) {
    switch (Code) {
    case B50: return 50;
    case B75: return 75;
    case B110: return 110;
    case B134: return 134;
    case B150: return 150;
    case B200: return 200;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
    }
}

speed_t SpeedCode(int Baud) {
    switch (Baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return 0;
    }
}

void AddNanoseconds(timespec &T, long long Ns) {
    Ns += T.tv_nsec;
    T.tv_sec += static_cast<time_t>(Ns / 1000000000LL);
    T.tv_nsec = static_cast<long>(Ns % 1000000000LL);
}

std::size_t Slot(TSimFault Fault) {
    return static_cast<std::size_t>(Fault);
}

} // namespace

TLanx1Simulator::TLanx1Simulator() = default;

TLanx1Simulator::~TLanx1Simulator() {
    Stop();
}

bool TLanx1Simulator::Start() {
    Stop();
    auto Pty = std::make_unique<TPseudoTerminal>();
    if (!Pty->Open()) {
        qCWarning(lcSimulator) << "no pseudo-terminal available";
        return false;
    }
    {
        std::lock_guard Guard(FLock);
        FPortName = Pty->PortName();
    }
    FFd = Pty->MasterHandle();
    FOwnsFd = false;
    FPty = std::move(Pty);
    return StartServing();
}

bool TLanx1Simulator::Start(const QString &PortPath) {
    Stop();
    const int Fd = ::open(PortPath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0) {
        qCWarning(lcSimulator) << "cannot open" << PortPath << ":" << strerror(errno);
        return false;
    }
    termios T{};
    if (tcgetattr(Fd, &T) == 0) {
        cfmakeraw(&T);
        T.c_cflag |= CLOCAL | CREAD;
        if (const speed_t Speed = SpeedCode(BaudRate())) {
            cfsetispeed(&T, Speed);
            cfsetospeed(&T, Speed);
        }
        tcsetattr(Fd, TCSANOW, &T);
    }
    {
        std::lock_guard Guard(FLock);
        FPortName = PortPath;
    }
    FFd = Fd;
    FOwnsFd = true;
    return StartServing();
}

bool TLanx1Simulator::StartServing() {
    if (::pipe2(FWake, O_CLOEXEC) != 0) {
        CloseLine();
        return false;
    }
    FStop = false;
    FThread = std::thread([this] { Run(); });
    return true;
}

void TLanx1Simulator::Stop() {
    if (FThread.joinable()) {
        FStop = true;
        const char Byte = 1;
        [[maybe_unused]] const auto Ignored = ::write(FWake[1], &Byte, 1);
        FThread.join();
    }
    CloseLine();
}

void TLanx1Simulator::CloseLine() {
    for (int &Fd : FWake) {
        if (Fd >= 0)
            ::close(Fd);
        Fd = -1;
    }
    if (FOwnsFd && FFd >= 0)
        ::close(FFd);
    FFd = -1;
    FOwnsFd = false;
    FPty.reset();
}

bool TLanx1Simulator::IsRunning() const {
    return FThread.joinable();
}

QString TLanx1Simulator::PortName() const {
    std::lock_guard Guard(FLock);
    return FPortName;
}

void TLanx1Simulator::SetAddress(int Address) {
    std::lock_guard Guard(FLock);
    FModel.SetAddress(Address);
}

int TLanx1Simulator::Address() const {
    std::lock_guard Guard(FLock);
    return FModel.Address();
}

void TLanx1Simulator::SetBaudRate(int Baud) {
    std::lock_guard Guard(FLock);
    FBaud = Baud > 0 ? Baud : 0;
}

int TLanx1Simulator::BaudRate() const {
    std::lock_guard Guard(FLock);
    return FBaud;
}

void TLanx1Simulator::SetBaudRateCheck(bool On) {
    std::lock_guard Guard(FLock);
    FBaudCheck = On;
}

bool TLanx1Simulator::BaudRateCheck() const {
    std::lock_guard Guard(FLock);
    return FBaudCheck;
}

void TLanx1Simulator::SetWrongBaudGarbage(bool On) {
    std::lock_guard Guard(FLock);
    FGarbage = On;
}

int TLanx1Simulator::GarbageSent() const {
    std::lock_guard Guard(FLock);
    return FGarbageSent;
}

// On Linux both ends of a pseudo-terminal share one set of terminal
// attributes: the speed the master's end set is read here from the device's.
int TLanx1Simulator::LineBaudRate() const {
    const int Fd = FFd;
    termios T{};
    if (Fd < 0 || tcgetattr(Fd, &T) != 0)
        return 0;
    return SpeedValue(cfgetospeed(&T));
}

void TLanx1Simulator::SetFault(TSimFault Fault, int Value, int Times) {
    std::lock_guard Guard(FLock);
    FFaults[Slot(Fault)] = {Value, Times < 0 ? Always : Times};
}

void TLanx1Simulator::ClearFault(TSimFault Fault) {
    std::lock_guard Guard(FLock);
    FFaults[Slot(Fault)] = {};
}

void TLanx1Simulator::ClearFaults() {
    std::lock_guard Guard(FLock);
    FFaults.fill({});
}

bool TLanx1Simulator::FaultActive(TSimFault Fault) const {
    std::lock_guard Guard(FLock);
    return FFaults[Slot(Fault)].Times != 0;
}

void TLanx1Simulator::SetNoFrequencySignal(bool On) {
    std::lock_guard Guard(FLock);
    FModel.SetNoFrequencySignal(On);
}

void TLanx1Simulator::SetLevel(double Percent) {
    std::lock_guard Guard(FLock);
    FModel.SetLevel(Percent);
}

void TLanx1Simulator::ReleaseLevel() {
    std::lock_guard Guard(FLock);
    FModel.ReleaseLevel();
}

void TLanx1Simulator::SetClock(std::function<double()> Seconds) {
    std::lock_guard Guard(FLock);
    FModel.SetClock(std::move(Seconds));
}

std::uint16_t TLanx1Simulator::Register(int Index) const {
    std::lock_guard Guard(FLock);
    FModel.UpdateReadings();
    return FModel.Register(Index);
}

void TLanx1Simulator::SetRegister(int Index, std::uint16_t Value) {
    std::lock_guard Guard(FLock);
    FModel.SetRegister(Index, Value);
}

float TLanx1Simulator::FloatAt(int Index) const {
    std::lock_guard Guard(FLock);
    FModel.UpdateReadings();
    return FModel.FloatAt(Index);
}

void TLanx1Simulator::SetFloat(int Index, float Value) {
    std::lock_guard Guard(FLock);
    FModel.SetFloat(Index, Value);
}

QList<QByteArray> TLanx1Simulator::Requests() const {
    std::lock_guard Guard(FLock);
    return FRequests;
}

int TLanx1Simulator::RequestCount() const {
    std::lock_guard Guard(FLock);
    return FRequestCount;
}

bool TLanx1Simulator::WaitForRequests(int Count, int TimeoutMs) const {
    std::unique_lock Guard(FLock);
    return FChanged.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), [&] { return FRequestCount >= Count; });
}

int TLanx1Simulator::RepliesSent() const {
    std::lock_guard Guard(FLock);
    return FReplies;
}

bool TLanx1Simulator::WaitForReplies(int Count, int TimeoutMs) const {
    std::unique_lock Guard(FLock);
    return FChanged.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), [&] { return FReplies >= Count; });
}

int TLanx1Simulator::LateBytesSent() const {
    std::lock_guard Guard(FLock);
    return FLateBytes;
}

bool TLanx1Simulator::WaitForLateBytes(int Count, int TimeoutMs) const {
    std::unique_lock Guard(FLock);
    return FChanged.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), [&] { return FLateBytes >= Count; });
}

int TLanx1Simulator::FrameGapMs() const {
    // 3.5 characters of 10 bits, rounded up, but never shorter than a pty needs.
    const int Baud = BaudRate();
    const int CharsMs = Baud > 0 ? (35000 + Baud - 1) / Baud : 0;
    return std::max(MinFrameGapMs, CharsMs);
}

void TLanx1Simulator::Run() {
    QByteArray Buffer;
    auto LastByte = TClock::now();
    char Chunk[256];
    while (!FStop) {
        int TimeoutMs = -1;
        if (!Buffer.isEmpty()) {
            const auto Silent = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - LastByte);
            TimeoutMs = std::max(0, FrameGapMs() - static_cast<int>(Silent.count()));
        }
        pollfd P[2] = {{FFd, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        const int N = ::poll(P, 2, TimeoutMs);
        if (FStop)
            break;
        if (N < 0) {
            if (errno == EINTR)
                continue;
            qCWarning(lcSimulator) << "poll failed:" << strerror(errno);
            break;
        }
        if (N == 0) {
            EndOfSilence(Buffer);
            continue;
        }
        if (P[0].revents & POLLIN) {
            const ssize_t Got = ::read(FFd, Chunk, sizeof Chunk);
            if (Got > 0) {
                Buffer.append(Chunk, Got);
                LastByte = TClock::now();
                TakeFrames(Buffer);
            }
        } else if (P[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Nobody on the other end yet: look again shortly instead of spinning.
            WaitStop(50);
        }
    }
}

void TLanx1Simulator::TakeFrames(QByteArray &Buffer) {
    while (Buffer.size() >= 2) {
        const auto Function = static_cast<std::uint8_t>(Buffer[1]);
        qsizetype Need = 0;
        if (Function == 0x03)
            Need = 8;
        else if (Function == 0x10 && Buffer.size() >= 7)
            Need = 9 + static_cast<std::uint8_t>(Buffer[6]);
        else
            break; // unknown functions end with the silence after them
        if (Buffer.size() < Need)
            break;
        const QByteArray Frame = Buffer.left(Need);
        Buffer.remove(0, Need);
        HandleFrame(Frame);
    }
    if (Buffer.size() > MaxPendingBytes)
        Buffer.clear();
}

void TLanx1Simulator::EndOfSilence(QByteArray &Buffer) {
    // A frame whose length the device cannot know (another function) is whole
    // once the line falls silent; anything else still pending is a broken frame.
    const bool KnownLength = Buffer.size() >= 2 && (Buffer[1] == 0x03 || Buffer[1] == 0x10);
    if (!KnownLength && Buffer.size() >= 4)
        HandleFrame(Buffer);
    else if (!Buffer.isEmpty())
        qCDebug(lcSimulator) << "partial frame discarded:" << Buffer.toHex(' ');
    Buffer.clear();
}

void TLanx1Simulator::HandleFrame(const QByteArray &Frame) {
    QByteArray Reply;
    int DelayMs = 0;
    bool Silent = false;
    int LateBytes = 0;
    int Baud = 0;
    const int LineBaud = LineBaudRate();
    {
        std::lock_guard Guard(FLock);
        FRequests.append(Frame);
        if (FRequests.size() > RequestHistoryLimit)
            FRequests.removeFirst();
        ++FRequestCount;
        FChanged.notify_all();
        if (FBaudCheck && FBaud > 0 && LineBaud != FBaud) {
            // At another speed the device cannot tell what was asked, nor whom.
            if (!FGarbage)
                return;
            Reply = Garbage(Frame);
            ++FGarbageSent;
            FChanged.notify_all();
        }
    }
    if (!Reply.isEmpty()) {
        WriteBytes(Reply.constData(), Reply.size());
        return;
    }
    {
        std::lock_guard Guard(FLock);
        if (!CheckCrc16(Frame) || static_cast<std::uint8_t>(Frame[0]) != FModel.Address())
            return;
        Reply = Respond(Frame, DelayMs, Silent, LateBytes);
        Baud = FBaud;
    }
    if (DelayMs > 0 && WaitStop(DelayMs))
        return;
    if (Silent || !Send(Reply, Baud))
        return;
    {
        std::lock_guard Guard(FLock);
        ++FReplies;
        FChanged.notify_all();
    }
    if (LateBytes > 0 && !WaitStop(LateBytesMs) && Send(QByteArray(LateBytes, '\x55'), Baud)) {
        std::lock_guard Guard(FLock);
        FLateBytes += LateBytes;
        FChanged.notify_all();
    }
}

bool TLanx1Simulator::TakeFault(TSimFault Fault, int &Value) {
    TFaultState &State = FFaults[Slot(Fault)];
    if (State.Times == 0)
        return false;
    if (State.Times > 0)
        --State.Times;
    Value = State.Value;
    return true;
}

QByteArray TLanx1Simulator::Respond(const QByteArray &Frame, int &DelayMs, bool &Silent, int &LateBytes) {
    const QByteArray Request = Frame.chopped(2);
    const int Address = static_cast<std::uint8_t>(Request[0]);
    const int Function = static_cast<std::uint8_t>(Request[1]);
    int Value = 0;
    QByteArray Reply;
    if (TakeFault(TSimFault::Exception, Value))
        Reply = TLanx1DeviceModel::ExceptionReply(Address, Function, Value);
    else if (TakeFault(TSimFault::Status, Value))
        Reply = TLanx1DeviceModel::StatusReply(Address, Function, Value);
    else if (TakeFault(TSimFault::WrongFunction, Value))
        Reply = Function == 0x03 ? Request.left(6).replace(1, 1, "\x10") // the echo a write would get
                                 : QByteArray::fromHex("000302002A").replace(0, 1, Request.left(1));
    else
        Reply = FModel.Execute(Request);
    Reply = AppendCrc16(Reply);
    if (TakeFault(TSimFault::BadCrc, Value)) {
        Reply[Reply.size() - 2] = static_cast<char>(Reply[Reply.size() - 2] ^ 0xFF);
        Reply[Reply.size() - 1] = static_cast<char>(Reply[Reply.size() - 1] ^ 0xFF);
    }
    if (TakeFault(TSimFault::TrailingBytes, Value))
        Reply.append(QByteArray(std::max(0, Value), '\x55'));
    if (TakeFault(TSimFault::LeadingBytes, Value)) {
        // Noise that begins like a reply, as a receiver switching on may give.
        QByteArray Noise(std::max(0, Value), '\0');
        const char Start[3] = {static_cast<char>(Address), static_cast<char>(Function), '\xFF'};
        for (qsizetype i = 0; i < Noise.size() && i < 3; ++i)
            Noise[i] = Start[i];
        Reply.prepend(Noise);
    }
    if (TakeFault(TSimFault::Delay, Value))
        DelayMs = Value;
    if (TakeFault(TSimFault::Silence, Value))
        Silent = true;
    if (TakeFault(TSimFault::LateBytes, Value))
        LateBytes = std::max(0, Value);
    return Reply;
}

// What a reply looks like when read at a wrong speed: as long as a reply to
// Frame, but no frame (its checksum never holds).
QByteArray TLanx1Simulator::Garbage(const QByteArray &Frame) {
    QByteArray Bytes(Frame.size() + 1, '\0');
    for (qsizetype i = 0; i < Bytes.size(); ++i)
        Bytes[i] = static_cast<char>(i % 2 ? 0xE0 : 0xFE);
    if (CheckCrc16(Bytes))
        Bytes[0] = static_cast<char>(0x80);
    return Bytes;
}

bool TLanx1Simulator::Send(const QByteArray &Reply, int Baud) {
    if (Baud <= 0)
        return WriteBytes(Reply.constData(), Reply.size());
    // Each byte leaves when its 10 bits would have crossed the wire; absolute
    // deadlines keep the total exact however late a single wake-up is.
    const long long CharNs = 10LL * 1000000000LL / Baud;
    timespec Deadline{};
    clock_gettime(CLOCK_MONOTONIC, &Deadline);
    for (qsizetype i = 0; i < Reply.size(); ++i) {
        AddNanoseconds(Deadline, CharNs);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &Deadline, nullptr) == EINTR) {
        }
        if (FStop || !WriteBytes(Reply.constData() + i, 1))
            return false;
    }
    return true;
}

bool TLanx1Simulator::WriteBytes(const char *Data, qsizetype Size) {
    qsizetype Done = 0;
    while (Done < Size) {
        if (FStop)
            return false;
        const ssize_t N = ::write(FFd, Data + Done, static_cast<size_t>(Size - Done));
        if (N > 0) {
            Done += N;
            continue;
        }
        if (N < 0 && errno != EAGAIN && errno != EINTR) {
            qCWarning(lcSimulator) << "write failed:" << strerror(errno);
            return false;
        }
        pollfd P[2] = {{FFd, POLLOUT, 0}, {FWake[0], POLLIN, 0}};
        ::poll(P, 2, 100);
    }
    return true;
}

bool TLanx1Simulator::WaitStop(int TimeoutMs) {
    const auto Deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!FStop) {
        // Rounded up, so the wait never ends before the deadline.
        const auto Left = std::chrono::ceil<std::chrono::milliseconds>(Deadline - TClock::now()).count();
        if (Left <= 0)
            break;
        pollfd P{FWake[0], POLLIN, 0};
        ::poll(&P, 1, static_cast<int>(Left));
    }
    return FStop;
}
