#include "uDeviceScan.h"

#include "uMath.h"

#include <QLoggingCategory>
#include <QSerialPortInfo>
#include <algorithm>
#include <chrono>
#include <cmath>

Q_LOGGING_CATEGORY(lcScan, "lanx1.scan")

namespace {

// Room for a garbled reply longer than the real one.
constexpr int kReplyMax = 32;
// Bits of one character in the time-out formula (start, 8 data, parity or a second stop, stop).
constexpr double kBitsPerCharacter = 11;
constexpr double kAllowanceMs = 20;

qint64 NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint16_t Word(const QByteArray &B, int i) {
    return static_cast<std::uint16_t>((static_cast<std::uint8_t>(B[i]) << 8) | static_cast<std::uint8_t>(B[i + 1]));
}

} // namespace

QList<int> TScanOptions::DefaultBaudRates() {
    return {9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200};
}

QString TScanDevice::Line() const {
    return QStringLiteral("Port=%1 BaudRate=%2 Address=%3 PlantNumber=%4 Modification=%5")
        .arg(Port)
        .arg(BaudRate)
        .arg(Address)
        .arg(PlantNumber)
        .arg(Modification);
}

double TDeviceScan::TryTimeoutMs(int Baud) {
    if (Baud <= 0)
        return kAllowanceMs;
    return 2.0 * (RequestBytes + ReplyBytes) * kBitsPerCharacter * 1000.0 / Baud + kAllowanceMs;
}

namespace {
// The time-out in the whole milliseconds the port waits in.
int TryTimeoutWholeMs(int Baud) {
    return int(std::ceil(TDeviceScan::TryTimeoutMs(Baud)));
}
} // namespace

double TDeviceScan::PlannedMs(const TScanOptions &Options, int Ports) {
    const int Addresses = int(AddressOrder(Options.FirstAddress, Options.LastAddress, Options.CurrentAddress).size());
    double PerPort = 0;
    for (const int Baud : Options.BaudRates)
        PerPort += TryTimeoutMs(Baud) * Addresses;
    return PerPort * Ports;
}

QList<int> TDeviceScan::AddressOrder(int First, int Last, int Current) {
    First = std::clamp(First, 0, 255);
    Last = std::clamp(Last, 0, 255);
    QList<int> Order;
    const auto InRange = [&](int A) { return A >= First && A <= Last; };
    if (InRange(1))
        Order << 1;
    if (Current != 1 && InRange(Current))
        Order << Current;
    for (int A = First; A <= Last; ++A)
        if (!Order.contains(A))
            Order << A;
    return Order;
}

QByteArray TDeviceScan::ProbeFrame(int Address) {
    QByteArray Frame;
    Frame.append(static_cast<char>(Address & 0xFF));
    Frame.append('\x03');
    Frame.append('\0').append('\0'); // from register 0
    Frame.append('\0').append('\x02'); // two registers
    return Frame;
}

TProbeVerdict TDeviceScan::CheckProbeReply(const QByteArray &Reply, int Address, std::uint16_t &PlantNumber,
                                           std::uint16_t &Modification) {
    if (Reply.isEmpty())
        return TProbeVerdict::Silent;
    if (Reply.size() < 5 || !CheckCrc16(Reply))
        return TProbeVerdict::Garbled;
    const bool Answers = static_cast<std::uint8_t>(Reply[0]) == (Address & 0xFF) &&
                         static_cast<std::uint8_t>(Reply[1]) == 0x03 && static_cast<std::uint8_t>(Reply[2]) == 4 &&
                         Reply.size() == ReplyBytes;
    if (!Answers)
        return TProbeVerdict::Foreign;
    PlantNumber = Word(Reply, 3);
    Modification = Word(Reply, 5);
    return TProbeVerdict::Answer;
}

TDeviceScan::TDeviceScan(const TScanOptions &Options) : FOptions(Options) {
    FPorts = Options.Ports;
    if (FPorts.isEmpty())
        for (const QSerialPortInfo &Info : QSerialPortInfo::availablePorts())
            FPorts << Info.systemLocation();
    FAddresses = AddressOrder(Options.FirstAddress, Options.LastAddress, Options.CurrentAddress);
    FProgress.TriesTotal = int(FPorts.size() * FOptions.BaudRates.size() * FAddresses.size());
    FProgress.LeftMs = qint64(PlannedMs(FOptions, int(FPorts.size())));
    if (FProgress.TriesTotal == 0)
        FFinished = FProgress.Finished = true;
}

TDeviceScan::~TDeviceScan() {
    ClosePort();
}

QList<TScanDevice> TDeviceScan::Run() {
    while (Step()) {
    }
    return Found();
}

void TDeviceScan::Stop() {
    FStop = true;
}

bool TDeviceScan::Finished() const {
    std::lock_guard Lock(FLock);
    return FFinished;
}

TScanProgress TDeviceScan::Progress() const {
    std::lock_guard Lock(FLock);
    return FProgress;
}

QList<TScanDevice> TDeviceScan::Found() const {
    std::lock_guard Lock(FLock);
    return FFound;
}

QList<TScanGarbled> TDeviceScan::Garbled() const {
    std::lock_guard Lock(FLock);
    return FGarbled;
}

QList<TScanPortFailure> TDeviceScan::PortFailures() const {
    std::lock_guard Lock(FLock);
    return FPortFailures;
}

bool TDeviceScan::OpenPort() {
    const int Baud = FOptions.BaudRates.at(FBaud);
    TPortSettings S = FOptions.Line;
    S.Port = FPorts.at(FPort);
    S.BaudRate = QStringLiteral("Custom");
    S.CustomBaudRate = Baud;
    const int TimeoutMs = TryTimeoutWholeMs(Baud);
    S.ReadTotalConstant = TimeoutMs;
    S.ReadTotalMultiplier = 0;
    S.ReadInterval = int(std::ceil(S.FrameGapMs())) + 2;
    S.EndOfFrame = 1;
    if (FLine && FLineBaud == Baud)
        return true;
    if (FLine) {
        if (FLine->SetSettings(S)) {
            FLineBaud = Baud;
            return true;
        }
        ClosePort();
    }
    auto Line = std::make_unique<TTransmitter>();
    Line->SetAbortFlag(&FStop);
    Line->SetSettings(S);
    QString Reason;
    if (!Line->OpenQuietly(Reason)) {
        SkipPort(Reason.isEmpty() ? QStringLiteral("the port does not open") : Reason);
        return false;
    }
    FLine = std::move(Line);
    FLineBaud = Baud;
    return true;
}

void TDeviceScan::ClosePort() {
    if (!FLine)
        return;
    FLine->Close();
    FLine.reset();
    FLineBaud = 0;
}

// The rest of the port's tries are given up: they count as done.
void TDeviceScan::SkipPort(const QString &Reason) {
    const TScanPortFailure Failure{FPorts.at(FPort), Reason};
    qCInfo(lcScan).noquote() << "port" << Failure.Port << "skipped:" << Reason;
    ClosePort();
    {
        std::lock_guard Lock(FLock);
        FPortFailures << Failure;
    }
    if (OnPortFailure)
        OnPortFailure(Failure);
    const int Left = int((FOptions.BaudRates.size() - FBaud) * FAddresses.size() - FAddress);
    for (int b = FBaud; b < FOptions.BaudRates.size(); ++b)
        FDonePlannedMs += TryTimeoutMs(FOptions.BaudRates[b]) * double(FAddresses.size() - (b == FBaud ? FAddress : 0));
    {
        std::lock_guard Lock(FLock);
        FProgress.TriesDone += Left;
    }
    FBaud = 0;
    FAddress = 0;
    ++FPort;
}

void TDeviceScan::Advance() {
    FDonePlannedMs += TryTimeoutMs(FOptions.BaudRates.at(FBaud));
    {
        std::lock_guard Lock(FLock);
        ++FProgress.TriesDone;
    }
    if (++FAddress < FAddresses.size())
        return;
    FAddress = 0;
    if (++FBaud < FOptions.BaudRates.size())
        return;
    FBaud = 0;
    ++FPort;
    ClosePort();
}

double TDeviceScan::LeftPlannedMs() const {
    double Left = 0;
    for (int p = FPort; p < FPorts.size(); ++p)
        for (int b = p == FPort ? FBaud : 0; b < FOptions.BaudRates.size(); ++b) {
            const int Addresses = int(FAddresses.size()) - (p == FPort && b == FBaud ? FAddress : 0);
            Left += TryTimeoutMs(FOptions.BaudRates[b]) * Addresses;
        }
    return Left;
}

void TDeviceScan::Report() {
    const qint64 ElapsedMs = FStartNs < 0 ? 0 : (NowNs() - FStartNs) / 1000000;
    // What is left takes as long as planned, scaled by how the plan held so far.
    const double Left = LeftPlannedMs();
    const double Pace = FDonePlannedMs > 0 ? std::max(1.0, double(ElapsedMs) / FDonePlannedMs) : 1.0;
    TScanProgress P;
    {
        std::lock_guard Lock(FLock);
        FProgress.ElapsedMs = ElapsedMs;
        FProgress.LeftMs = FFinished ? 0 : qint64(Left * Pace);
        if (!FFinished && FPort < FPorts.size()) {
            FProgress.Port = FPorts.at(FPort);
            FProgress.BaudRate = FOptions.BaudRates.at(FBaud);
            FProgress.Address = FAddresses.at(FAddress);
        }
        FProgress.Found = int(FFound.size());
        FProgress.Finished = FFinished;
        P = FProgress;
    }
    if (OnProgress)
        OnProgress(P);
}

void TDeviceScan::Finish() {
    ClosePort();
    {
        std::lock_guard Lock(FLock);
        if (FFinished)
            return;
        FFinished = true;
    }
    Report();
}

TProbeVerdict TDeviceScan::Probe(int Address, std::uint16_t &PlantNumber, std::uint16_t &Modification) {
    QByteArray Reply;
    FLine->Transmit(ProbeFrame(Address), Reply, true, kReplyMax);
    const TProbeVerdict Verdict = CheckProbeReply(Reply, Address, PlantNumber, Modification);
    // A try that got nothing has already waited out its time-out in silence;
    // after anything else the line must fall silent that long before the next one.
    if (Verdict != TProbeVerdict::Silent && Verdict != TProbeVerdict::Answer && !FStop) {
        const int TimeoutMs = TryTimeoutWholeMs(FLineBaud);
        FLine->RecoverLine(TimeoutMs, 4 * TimeoutMs);
    }
    return Verdict;
}

bool TDeviceScan::Step() {
    if (Finished())
        return false;
    if (FStartNs < 0)
        FStartNs = NowNs();
    if (FStop || FPort >= FPorts.size()) {
        Finish();
        return false;
    }
    if (!OpenPort())
        return true;
    Report();
    const QString Port = FPorts.at(FPort);
    const int Baud = FLineBaud;
    const int Address = FAddresses.at(FAddress);
    std::uint16_t Plant = 0, Modification = 0;
    try {
        TProbeVerdict Verdict = Probe(Address, Plant, Modification);
        if (Verdict == TProbeVerdict::Answer && !FStop) {
            // A second read confirms it: one good frame may be chance on a noisy line.
            Verdict = Probe(Address, Plant, Modification);
            if (Verdict == TProbeVerdict::Answer) {
                const TScanDevice Device{Port, Baud, Address, Plant, Modification};
                qCInfo(lcScan).noquote() << "found:" << Device.Line();
                {
                    std::lock_guard Lock(FLock);
                    FFound << Device;
                }
                if (OnFound)
                    OnFound(Device);
                if (!FOptions.FindAll) {
                    Advance();
                    Finish();
                    return false;
                }
            }
        }
        if (Verdict == TProbeVerdict::Garbled && !FStop) {
            bool Known = false;
            {
                std::lock_guard Lock(FLock);
                for (const TScanGarbled &G : FGarbled)
                    Known = Known || (G.Port == Port && G.BaudRate == Baud);
                if (!Known)
                    FGarbled << TScanGarbled{Port, Baud, Address};
            }
            if (!Known && OnGarbled)
                OnGarbled(TScanGarbled{Port, Baud, Address});
        }
    } catch (const ETransmitterError &E) {
        SkipPort(QString::fromStdString(E.what()));
        return true;
    }
    if (FStop) {
        Finish();
        return false;
    }
    Advance();
    return true;
}
