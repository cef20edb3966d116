#include "uTransmitter.h"

#include "uIniFile.h"
#include "uMath.h"
#include "uMessages.h"
#include "uSysUtils.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QLoggingCategory>
#include <QSerialPort>
#include <QThread>
#include <algorithm>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <utility>

Q_LOGGING_CATEGORY(lcTransmitter, "lanx1.transmitter")

// The thread that owns the port. It runs no event loop, only the jobs handed
// to it: the port's own notifiers are registered with this thread but never
// dispatched, so nothing reads the port except the blocking calls of a job.
class TPortThread : public QThread {
public:
    TPortThread() {
        setObjectName(QStringLiteral("Transmitter"));
        start();
    }

    ~TPortThread() override {
        {
            std::lock_guard Lock(FLock);
            FStop = true;
        }
        FWake.notify_all();
        wait();
    }

    // Runs Job in this thread and waits for it; an exception of Job is thrown
    // here again. Callers from several threads take turns. Job may leave a
    // Tail: it runs in this thread after the caller has been released, and
    // the next job waits for it (it keeps watching the line after a reply).
    void Call(const std::function<void()> &Job) {
        if (QThread::currentThread() == this) {
            Job();
            RunTail();
            return;
        }
        std::lock_guard Turn(FTurn);
        std::unique_lock Lock(FLock);
        FJob = &Job;
        FDone = false;
        FError = nullptr;
        FWake.notify_all();
        FWake.wait(Lock, [this] { return FDone; });
        FJob = nullptr;
        if (FError)
            std::rethrow_exception(std::exchange(FError, nullptr));
    }

    // Set by a job, in this thread only.
    std::function<void()> Tail;

protected:
    void run() override {
        std::unique_lock Lock(FLock);
        for (;;) {
            FWake.wait(Lock, [this] { return FStop || (FJob && !FDone); });
            if (FJob && !FDone) {
                const std::function<void()> *Job = FJob;
                Lock.unlock();
                std::exception_ptr Error;
                try {
                    (*Job)();
                } catch (...) {
                    Error = std::current_exception();
                }
                Lock.lock();
                FError = Error;
                FDone = true;
                FWake.notify_all();
                Lock.unlock();
                RunTail();
                Lock.lock();
                continue;
            }
            if (FStop)
                return;
        }
    }

private:
    void RunTail() {
        if (!Tail)
            return;
        const std::function<void()> Job = std::exchange(Tail, nullptr);
        try {
            Job();
        } catch (...) {
            // the next exchange meets whatever the tail could not settle
        }
    }

    std::mutex FTurn;
    std::mutex FLock;
    std::condition_variable FWake;
    const std::function<void()> *FJob = nullptr;
    bool FDone = false;
    bool FStop = false;
    std::exception_ptr FError;
};

// --- Settings ---------------------------------------------------------------

const QStringList &TPortSettings::BaudRateTexts() {
    static const QStringList List{"Custom", "110",   "300",   "600",   "1200",   "2400",   "4800",   "9600",
                                  "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
    return List;
}

const QStringList &TPortSettings::DataBitsTexts() {
    static const QStringList List{"5", "6", "7", "8"};
    return List;
}

const QStringList &TPortSettings::StopBitsTexts() {
    static const QStringList List{"1", "1.5", "2"};
    return List;
}

const QStringList &TPortSettings::ParityTexts() {
    static const QStringList List{"None", "Odd", "Even", "Mark", "Space"};
    return List;
}

const QStringList &TPortSettings::FlowControlTexts() {
    static const QStringList List{"Hardware", "Software", "None", "Custom"};
    return List;
}

QString TPortSettings::MatchText(const QString &Text, const QStringList &List, const QString &Fallback) {
    const QString Trimmed = Text.trimmed();
    for (const QString &Item : List)
        if (Item.compare(Trimmed, Qt::CaseInsensitive) == 0)
            return Item;
    return Fallback;
}

void TPortSettings::Normalize() {
    BaudRate = MatchText(BaudRate, BaudRateTexts(), QStringLiteral("9600"));
    DataBits = MatchText(DataBits, DataBitsTexts(), QStringLiteral("8"));
    StopBits = MatchText(StopBits, StopBitsTexts(), QStringLiteral("1"));
    Parity = MatchText(Parity, ParityTexts(), QStringLiteral("None"));
    FlowControl = MatchText(FlowControl, FlowControlTexts(), QStringLiteral("Custom"));
}

int TPortSettings::BaudRateValue() const {
    if (BaudRate.compare(QLatin1String("Custom"), Qt::CaseInsensitive) == 0)
        return CustomBaudRate;
    bool Ok = false;
    const int Value = BaudRate.toInt(&Ok);
    return Ok ? Value : 9600;
}

double TPortSettings::CharacterBits() const {
    const double Stop = StopBits == QLatin1String("1.5") ? 1.5 : StopBits == QLatin1String("2") ? 2 : 1;
    const int Data = std::clamp(DataBits.toInt(), 5, 8);
    return 1 + Data + (Parity == QLatin1String("None") ? 0 : 1) + Stop;
}

double TPortSettings::FrameGapMs() const {
    const int Baud = BaudRateValue();
    if (Baud <= 0)
        return 2;
    return std::max(2.0, 3.5 * CharacterBits() * 1000.0 / Baud);
}

// Negative time-outs make no sense; they count as 0 (which means "no waiting",
// never "wait for ever": a silent device must not stop the program).
int TPortSettings::ReadTotalTimeout(int Count) const {
    const qint64 Ms = std::max(0, ReadTotalConstant) + qint64(std::max(0, Count)) * std::max(0, ReadTotalMultiplier);
    return static_cast<int>(std::min<qint64>(Ms, INT_MAX));
}

int TPortSettings::WriteTotalTimeout(int Count) const {
    const qint64 Ms =
        std::max(0, WriteTotalConstant) + qint64(std::max(0, Count)) * std::max(0, WriteTotalMultiplier);
    return static_cast<int>(std::min<qint64>(Ms, INT_MAX));
}

// --- Port operations (run in the port thread) --------------------------------

namespace {

bool IsCustom(const QString &Text) {
    return Text.compare(QLatin1String("Custom"), Qt::CaseInsensitive) == 0;
}

QSerialPort::DataBits ToDataBits(const QString &Text) {
    switch (Text.toInt()) {
    case 5: return QSerialPort::Data5;
    case 6: return QSerialPort::Data6;
    case 7: return QSerialPort::Data7;
    default: return QSerialPort::Data8;
    }
}

QSerialPort::StopBits ToStopBits(const QString &Text) {
    if (Text == QLatin1String("1.5"))
        return QSerialPort::OneAndHalfStop;
    return Text == QLatin1String("2") ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

QSerialPort::Parity ToParity(const QString &Text) {
    if (Text == QLatin1String("Odd"))
        return QSerialPort::OddParity;
    if (Text == QLatin1String("Even"))
        return QSerialPort::EvenParity;
    if (Text == QLatin1String("Mark"))
        return QSerialPort::MarkParity;
    return Text == QLatin1String("Space") ? QSerialPort::SpaceParity : QSerialPort::NoParity;
}

// Hands the settings to the port; an open port applies them at once. Returns
// false with the port's error when it refuses one of them.
bool ApplySettings(QSerialPort &Port, const TPortSettings &S) {
    bool Ok = Port.setBaudRate(S.BaudRateValue());
    Ok = Port.setDataBits(ToDataBits(S.DataBits)) && Ok;
    Ok = Port.setStopBits(ToStopBits(S.StopBits)) && Ok;
    Ok = Port.setParity(ToParity(S.Parity)) && Ok;
    if (S.FlowControl == QLatin1String("Hardware"))
        Ok = Port.setFlowControl(QSerialPort::HardwareControl) && Ok;
    else if (S.FlowControl == QLatin1String("Software"))
        Ok = Port.setFlowControl(QSerialPort::SoftwareControl) && Ok;
    else if (S.FlowControl == QLatin1String("None"))
        Ok = Port.setFlowControl(QSerialPort::NoFlowControl) && Ok;
    return Ok;
}

// The longest single wait while an abort flag is watched.
constexpr int kAbortSliceMs = 10;

bool Aborted(const std::atomic<bool> *Abort) {
    return Abort && Abort->load();
}

// A wait of Ms, cut into slices when an abort flag is to be watched.
int WaitSlice(qint64 Ms, const std::atomic<bool> *Abort) {
    return int(Abort ? std::min<qint64>(Ms, kAbortSliceMs) : Ms);
}

// A time-out is the normal end of a wait; anything else is the port failing.
bool IsPortFailure(const QSerialPort &Port) {
    const QSerialPort::SerialPortError Error = Port.error();
    return Error != QSerialPort::NoError && Error != QSerialPort::TimeoutError;
}

[[noreturn]] void RaisePortError(const QSerialPort &Port, const char *Operation) {
    // The error code says what happened (a vanished device is ResourceError);
    // the text beside it is the system's last word and may be stale.
    const QString Text = QStringLiteral("%1 %2 failed (serial port error %3: %4)")
                             .arg(QLatin1String(Operation), Port.portName())
                             .arg(int(Port.error()))
                             .arg(Port.errorString());
    qCWarning(lcTransmitter).noquote() << Text;
    throw EPortLost(Text.toStdString());
}

// A port that is not open is a port that is not there (it failed to open or
// was lost): the exchange is reported like a lost port, and reopened later.
void RequireOpen(const QSerialPort &Port) {
    if (!Port.isOpen())
        throw EPortLost("the serial port is not open");
}

// Empties both directions: what the port object and the driver hold, and what
// was already on its way in.
// Discards what has come in and what waits to go out; returns the number of
// bytes that had come in, so that the caller can count them as noise where
// they belonged to no reply.
std::uint64_t Purge(QSerialPort &Port) {
    Port.clearError();
    // What the driver holds is read first: bytes that arrived between two
    // exchanges are noise like any other, whatever the poll period.
    std::uint64_t Dropped = static_cast<std::uint64_t>(Port.readAll().size());
    // Bounded: a line that never falls silent is the drain's business.
    for (int i = 0; i < 64 && Port.waitForReadyRead(0); ++i)
        Dropped += static_cast<std::uint64_t>(Port.readAll().size());
    Port.clearError();
    Port.clear(QSerialPort::AllDirections);
    Dropped += static_cast<std::uint64_t>(Port.readAll().size());
    if (IsPortFailure(Port))
        RaisePortError(Port, "purge");
    return Dropped;
}

// Sends Frame within the write time-out. False when it did not all go out in
// time: what is left is discarded, since a device cannot answer half a frame.
bool WriteFrame(QSerialPort &Port, const TPortSettings &S, const QByteArray &Frame) {
    Port.clearError();
    if (Port.write(Frame) != Frame.size())
        RaisePortError(Port, "write");
    const int Limit = S.WriteTotalTimeout(int(Frame.size()));
    QElapsedTimer Clock;
    Clock.start();
    while (Port.bytesToWrite() > 0) {
        const qint64 Left = Limit - Clock.elapsed();
        if (Left <= 0) {
            qCWarning(lcTransmitter) << "write time-out," << Port.bytesToWrite() << "bytes not sent";
            Port.clear(QSerialPort::Output);
            return false;
        }
        Port.clearError();
        if (!Port.waitForBytesWritten(int(Left)) && IsPortFailure(Port))
            RaisePortError(Port, "write");
    }
    return true;
}

// Where a complete reply frame lies in the bytes read so far.
struct TFrameAt {
    qsizetype Offset = 0;
    qsizetype Length = 0;   // 0: none (yet)
    qsizetype Pending = -1; // where a frame may still be growing when there is none yet
};

// The reply frame to Request in Reply. Normally it begins the bytes read. Bytes
// before it are line noise: an RS-485 driver switching on, or a device's
// trailing bytes that came late. A frame after them still answers Request,
// since the port was emptied before Request went out; it must come from the
// address asked and carry the function asked (or its exception or status
// reply). The earliest start that may still grow into a frame of at most
// ReplyMax bytes is waited for: a later one is only looked at once every
// earlier one has failed.
TFrameAt FindReplyFrame(const QByteArray &Reply, const QByteArray &Request, int ReplyMax) {
    const auto Byte = [](const QByteArray &B, qsizetype i) { return static_cast<std::uint8_t>(B[i]); };
    for (qsizetype Offset = 0; Offset < Reply.size(); ++Offset) {
        const qsizetype Left = Reply.size() - Offset;
        if (Left < 2)
            return {0, 0, Offset};
        if (Offset > 0 && Request.size() >= 2) {
            const std::uint8_t Function = Byte(Reply, Offset + 1);
            if (Byte(Reply, Offset) != Byte(Request, 0) ||
                (Function != Byte(Request, 1) && Function != (Byte(Request, 1) | 0x80) && Function != 0xFA))
                continue;
        }
        const QByteArray Candidate = Reply.mid(Offset);
        const int Length = TTransmitter::ExpectedReplyLength(Candidate);
        if (Length <= 0) {
            if (Left < 3 && (Byte(Reply, Offset + 1) == 0x03))
                return {0, 0, Offset}; // its byte count is still to come
            continue;
        }
        if (Length > ReplyMax)
            continue; // longer than any reply to Request
        if (Left < Length)
            return {0, 0, Offset};
        if (CheckCrc16(Candidate.left(Length)))
            return {Offset, Length, -1};
    }
    return {};
}

struct TRead {
    QByteArray Reply;
    bool Framed = false; // ended by a complete frame (EndOfFrame)
    qsizetype Extra = 0; // bytes read after that frame, already dropped
    qint64 LastByteNs = -1; // when the last byte came, from the start of the read
};

// Reads at most ReplyMax bytes; with EndOfFrame, ReplyMax after the noise that
// goes before a frame still growing. The read ends when that many bytes are
// there, when more than ReadInterval ms pass without a byte after the first
// one, when the total read time-out is over, or (EndOfFrame) when the bytes so
// far hold the reply frame to Request (FindReplyFrame): waiting out the
// interval would only slow every exchange down. Bytes before and after that
// frame are no part of the reply.
TRead ReadReply(QSerialPort &Port, const TPortSettings &S, const QByteArray &Request, int ReplyMax,
               const std::atomic<bool> *Abort) {
    TRead R;
    if (ReplyMax <= 0)
        return R;
    qsizetype ReadMax = ReplyMax;
    const qint64 Total = S.ReadTotalTimeout(ReplyMax);
    QElapsedTimer Clock;
    Clock.start();
    qint64 LastByte = -1;
    for (;;) {
        if (Port.bytesAvailable() > 0) {
            R.Reply += Port.read(ReadMax - R.Reply.size());
            LastByte = Clock.elapsed();
            R.LastByteNs = Clock.nsecsElapsed();
            if (S.EndOfFrame != 0) {
                const TFrameAt At = FindReplyFrame(R.Reply, Request, ReplyMax);
                if (At.Length > 0) {
                    R.Extra = R.Reply.size() - At.Length;
                    R.Reply = R.Reply.mid(At.Offset, At.Length);
                    R.Framed = true;
                    break;
                }
                // Noise goes before a frame still growing: room for the frame
                // after it, within twice a reply in all.
                ReadMax = std::min<qsizetype>(std::max<qsizetype>(ReplyMax, At.Pending + ReplyMax), 2 * ReplyMax);
            }
            if (R.Reply.size() >= ReadMax)
                break;
        }
        qint64 Wait = Total - Clock.elapsed();
        if (LastByte >= 0 && S.ReadInterval > 0)
            Wait = std::min(Wait, LastByte + S.ReadInterval - Clock.elapsed());
        if (Wait <= 0 || Aborted(Abort))
            break;
        Port.clearError();
        if (!Port.waitForReadyRead(WaitSlice(Wait, Abort)) && IsPortFailure(Port))
            RaisePortError(Port, "read");
    }
    if (!R.Framed && R.Reply.size() > ReplyMax)
        R.Reply.truncate(ReplyMax); // the rest goes with the purge after the read
    return R;
}

// Reads and drops whatever arrives until the line has been silent for
// SilenceMs, or MaxMs have passed; returns the number of bytes dropped.
std::uint64_t Drain(QSerialPort &Port, double SilenceMs, int MaxMs, const std::atomic<bool> *Abort = nullptr) {
    std::uint64_t Dropped = 0;
    QElapsedTimer Clock;
    Clock.start();
    QElapsedTimer Silence;
    Silence.start();
    for (;;) {
        if (Port.bytesAvailable() > 0) {
            Dropped += static_cast<std::uint64_t>(Port.readAll().size());
            Silence.restart();
        }
        const double Left =
            std::min(SilenceMs - double(Silence.nsecsElapsed()) / 1e6, double(MaxMs - Clock.elapsed()));
        if (Left <= 0 || Aborted(Abort))
            break;
        Port.clearError();
        if (!Port.waitForReadyRead(WaitSlice(std::max(1, int(std::ceil(Left))), Abort)) && IsPortFailure(Port))
            RaisePortError(Port, "read");
    }
    return Dropped;
}

// After a complete frame the line must stay silent for 3.5 characters. A
// device (or noise) that goes on sending is drained until the read interval
// passes without a byte, so that the bytes can never head the next reply.
std::uint64_t GuardFrameEnd(QSerialPort &Port, const TPortSettings &S, int ReplyMax) {
    Port.clearError();
    std::uint64_t Noise = 0;
    if (Port.bytesAvailable() > 0 || Port.waitForReadyRead(std::max(1, int(std::ceil(S.FrameGapMs())))))
        Noise = Drain(Port, std::max(1, S.ReadInterval), S.ReadTotalTimeout(ReplyMax));
    else if (IsPortFailure(Port))
        RaisePortError(Port, "read");
    return Noise + Purge(Port);
}

} // namespace

// --- TTransmitter ------------------------------------------------------------

TTransmitter::TTransmitter() : FIniFileName(IniPath(QStringLiteral("ComPort.ini"))), FThread(new TPortThread) {
    FThread->Call([this] { FPort = new QSerialPort; });
}

TTransmitter::~TTransmitter() {
    try {
        FThread->Call([this] {
            if (FPort->isOpen())
                FPort->close();
            delete FPort;
            FPort = nullptr;
        });
    } catch (...) {
        qCWarning(lcTransmitter) << "the port could not be released";
    }
}

TPortSettings TTransmitter::GetSettings() const {
    std::lock_guard Lock(FSettingsLock);
    return FSettings;
}

bool TTransmitter::SetSettings(const TPortSettings &Settings) {
    TPortSettings S = Settings;
    S.Normalize();
    {
        std::lock_guard Lock(FSettingsLock);
        FSettings = S;
    }
    bool Ok = true;
    FThread->Call([&] {
        if (FPort->isOpen() && !ApplySettings(*FPort, S)) {
            qCWarning(lcTransmitter).noquote() << "settings refused:" << FPort->errorString();
            Ok = false;
        }
    });
    return Ok;
}

QString TTransmitter::GetPort() const {
    std::lock_guard Lock(FSettingsLock);
    return FSettings.Port;
}

void TTransmitter::SetPort(const QString &Port) {
    std::lock_guard Lock(FSettingsLock);
    FSettings.Port = Port; // takes effect at the next Open
}

void TTransmitter::LoadSettings() {
    const TIniFile Ini(FIniFileName);
    if (!SetSettings(ReadSettings(Ini)))
        throw ETransmitterError("the serial port refused the settings of " + FIniFileName.toStdString());
}

void TTransmitter::SaveSettings() const {
    TIniFile Ini(FIniFileName);
    WriteIni(Ini);
}

void TTransmitter::ReadIni(const TIniFile &Ini) {
    SetSettings(ReadSettings(Ini));
}

TPortSettings TTransmitter::ReadSettings(const TIniFile &Ini) const {
    TPortSettings S;
    S.Port = Ini.ReadString(FName, QStringLiteral("Port"), S.Port);
    S.BaudRate = Ini.ReadString(FName, QStringLiteral("BaudRate"), S.BaudRate);
    S.Normalize();
    if (IsCustom(S.BaudRate))
        S.CustomBaudRate = Ini.ReadInteger(FName, QStringLiteral("CustomBaudRate"), 9600);
    S.DataBits = Ini.ReadString(FName, QStringLiteral("DataBits"), S.DataBits);
    S.StopBits = Ini.ReadString(FName, QStringLiteral("StopBits"), S.StopBits);
    S.Parity = Ini.ReadString(FName, QStringLiteral("Parity"), S.Parity);
    S.FlowControl = Ini.ReadString(FName, QStringLiteral("FlowControl"), S.FlowControl);
    S.ReadInterval = Ini.ReadInteger(FName, QStringLiteral("ReadInterval"), 50);
    S.ReadTotalConstant = Ini.ReadInteger(FName, QStringLiteral("ReadTotalConstant"), 150);
    S.ReadTotalMultiplier = Ini.ReadInteger(FName, QStringLiteral("ReadTotalMultiplier"), 2);
    S.WriteTotalConstant = Ini.ReadInteger(FName, QStringLiteral("WriteTotalConstant"), 100);
    S.WriteTotalMultiplier = Ini.ReadInteger(FName, QStringLiteral("WriteTotalMultiplier"), 2);
    S.EndOfFrame = Ini.ReadInteger(FName, QStringLiteral("EndOfFrame"), 1);
    S.Normalize();
    return S;
}

void TTransmitter::WriteIni(TIniFile &Ini) const {
    const TPortSettings S = GetSettings();
    Ini.WriteString(FName, QStringLiteral("Port"), S.Port);
    Ini.WriteString(FName, QStringLiteral("BaudRate"), S.BaudRate);
    if (IsCustom(S.BaudRate))
        Ini.WriteInteger(FName, QStringLiteral("CustomBaudRate"), S.CustomBaudRate);
    Ini.WriteString(FName, QStringLiteral("DataBits"), S.DataBits);
    Ini.WriteString(FName, QStringLiteral("StopBits"), S.StopBits);
    Ini.WriteString(FName, QStringLiteral("Parity"), S.Parity);
    Ini.WriteString(FName, QStringLiteral("FlowControl"), S.FlowControl);
    Ini.WriteInteger(FName, QStringLiteral("ReadInterval"), S.ReadInterval);
    Ini.WriteInteger(FName, QStringLiteral("ReadTotalConstant"), S.ReadTotalConstant);
    Ini.WriteInteger(FName, QStringLiteral("ReadTotalMultiplier"), S.ReadTotalMultiplier);
    Ini.WriteInteger(FName, QStringLiteral("WriteTotalConstant"), S.WriteTotalConstant);
    Ini.WriteInteger(FName, QStringLiteral("WriteTotalMultiplier"), S.WriteTotalMultiplier);
    Ini.WriteInteger(FName, QStringLiteral("EndOfFrame"), S.EndOfFrame);
}

// Opens the port under Name (the port itself or its stable link); in the port thread.
bool TTransmitter::OpenPort(const TPortSettings &S, const QString &Name, QString &Reason) {
    if (FPort->isOpen())
        FPort->close();
    FPort->setPortName(Name);
    // Settings given before open are applied by the open itself, which
    // fails when the port refuses one of them.
    ApplySettings(*FPort, S);
    if (FPort->open(QIODevice::ReadWrite)) {
        ++FOpenings;
        return true;
    }
    Reason = FPort->errorString();
    const TPortOpenFailure Failure = TPortOpenFailure::Of(Name, *FPort);
    std::lock_guard Lock(FSettingsLock);
    FOpenFailure = Failure;
    return false;
}

TPortOpenFailure TTransmitter::LastOpenFailure() const {
    std::lock_guard Lock(FSettingsLock);
    return FOpenFailure;
}

bool TTransmitter::OpenQuietly(QString &Reason) {
    const TPortSettings S = GetSettings();
    bool Ok = false;
    FThread->Call([&] {
        Ok = OpenPort(S, S.Port, Reason);
        FStableLink = Ok ? StablePortLink(S.Port) : QString();
        FLost = false;
    });
    FGuardDue = Ok;
    if (Ok) {
        qCDebug(lcTransmitter).noquote() << "opened" << S.Port << "at" << S.BaudRateValue() << "baud";
        return true;
    }
    qCWarning(lcTransmitter).noquote() << "cannot open" << S.Port << ":" << Reason;
    return false;
}

bool TTransmitter::Open() {
    QString Reason;
    if (OpenQuietly(Reason))
        return true;
    const TPortSettings S = GetSettings();
    const QString Why = LastOpenFailure().RussianText();
    ShowMessageBox(QStringLiteral("Внимание"),
                   QStringLiteral("Ошибка активации порта :") + S.Port + (Why.isEmpty() ? QString() : u'\r' + Why),
                   TMsgIcon::Error);
    return false;
}

bool TTransmitter::Close() {
    try {
        FThread->Call([this] {
            if (FPort->isOpen())
                FPort->close();
            FLost = false;
        });
        return true;
    } catch (...) {
        return false;
    }
}

bool TTransmitter::IsOpen() const {
    bool Result = false;
    FThread->Call([&] { Result = FPort->isOpen(); });
    return Result;
}

bool TTransmitter::IsLost() const {
    return FLost.load();
}

void TTransmitter::ShowError(const QString &Caption, const QString &Text) {
    ShowMessageBox(Caption, Text, TMsgIcon::Error, mbOK, mbOK);
}

namespace {
qint64 MonotonicMs() {
    static QElapsedTimer Clock = [] {
        QElapsedTimer C;
        C.start();
        return C;
    }();
    return Clock.elapsed();
}
} // namespace

void TTransmitter::MarkLost(const QString &Port) {
    FThread->Call([this] {
        if (FPort->isOpen())
            FPort->close();
        // The first try to reopen comes a second later: a port that is just
        // going away would otherwise be caught half gone.
        FLastReopen = MonotonicMs();
    });
    FLost = true;
    qCWarning(lcTransmitter).noquote() << "port lost:" << Port;
    if (OnPortState)
        OnPortState(this, false, Port);
}

bool TTransmitter::TryReopen(const TPortSettings &S) {
    bool Ok = false;
    FThread->Call([&] {
        const qint64 Now = MonotonicMs();
        if (Now - FLastReopen < 1000)
            return;
        FLastReopen = Now;
        QString Reason;
        // An adapter that comes back may get another ttyUSB number; its by-id link follows it.
        if (!FStableLink.isEmpty() && QFileInfo::exists(FStableLink))
            Ok = OpenPort(S, FStableLink, Reason);
        if (!Ok)
            Ok = OpenPort(S, S.Port, Reason);
    });
    if (!Ok)
        return false;
    FLost = false;
    FGuardDue = true;
    qCInfo(lcTransmitter).noquote() << "port back:" << S.Port;
    if (OnPortState)
        OnPortState(this, true, S.Port);
    return true;
}

bool TTransmitter::Transmit(const QByteArray &Frame, QByteArray &Reply, bool AddCRC, int ReplyMax) {
    const QByteArray Sent = AddCRC ? AppendCrc16(Frame) : Frame;
    const TPortSettings S = GetSettings();
    if (FLost && !TryReopen(S))
        throw EPortLost("the serial port " + S.Port.toStdString() + " is lost");
    QByteArray Answer;
    double ResponseMs = 0;
    const std::atomic<bool> *Abort = FAbort.load();
    const bool Guard = FGuardDue.exchange(false);
    try {
        FThread->Call([&] {
            RequireOpen(*FPort);
            if (Guard) {
                const int GuardMs = StartGuardMs(S, ReplyMax);
                const std::uint64_t Dropped = Drain(*FPort, GuardMs, 4 * GuardMs + 1000, Abort);
                if (Dropped > 0)
                    qCInfo(lcTransmitter) << "start-up guard dropped" << Dropped << "bytes owed to an earlier question";
                FNoise += Dropped;
            }
            // Whatever came in since the last exchange belonged to no reply.
            FNoise += Purge(*FPort);
            if (!WriteFrame(*FPort, S, Sent)) {
                Purge(*FPort);
                return;
            }
            // The read starts as the last request byte has been handed to the line.
            const TRead R = ReadReply(*FPort, S, Sent, ReplyMax, Abort);
            Answer = R.Reply;
            if (R.LastByteNs >= 0)
                ResponseMs = double(R.LastByteNs) / 1e6;
            if (!R.Framed) {
                Purge(*FPort);
                return;
            }
            // The reply is complete: the caller goes on while this thread
            // makes sure nothing follows it.
            FNoise += static_cast<std::uint64_t>(R.Extra);
            FThread->Tail = [this, S, ReplyMax] { FNoise += GuardFrameEnd(*FPort, S, ReplyMax); };
        });
    } catch (const EPortLost &) {
        MarkLost(S.Port);
        throw;
    }
    Reply = Answer;
    FLastResponseMs = ResponseMs;
    const bool Result = !Reply.isEmpty();
    if (OnTransmit)
        OnTransmit(this, Sent, Result, Reply);
    return Result;
}

void TTransmitter::RecoverLine(int SilenceMs, int MaxMs) {
    if (FLost)
        return;
    const std::atomic<bool> *Abort = FAbort.load();
    try {
        FThread->Call([&] {
            if (!FPort->isOpen())
                return;
            FNoise += Purge(*FPort);
            FNoise += Drain(*FPort, SilenceMs, MaxMs, Abort);
            Purge(*FPort);
        });
    } catch (const ETransmitterError &E) {
        // The next exchange finds the port failing and reports it.
        qCInfo(lcTransmitter) << "line recovery failed:" << E.what();
    }
}

std::uint64_t TTransmitter::NoiseBytes() const {
    FThread->Call([] {}); // the guard after the last reply has ended
    return FNoise.load();
}

std::uint64_t TTransmitter::NoiseBytesSoFar() const {
    return FNoise.load();
}

QString TTransmitter::StablePortLink(const QString &Port, const QString &ById) {
    const QString Base = Port.section(u'/', -1);
    static const QRegularExpression Usb(QStringLiteral("^tty(USB|ACM)[0-9]+$"));
    if (!Usb.match(Base).hasMatch())
        return {};
    const QString Device = QFileInfo(Port.startsWith(u'/') ? Port : QStringLiteral("/dev/") + Base).canonicalFilePath();
    if (Device.isEmpty())
        return {};
    const QDir Dir(ById);
    for (const QFileInfo &Link : Dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        if (Link.isSymLink() && Link.canonicalFilePath() == Device)
            return Link.absoluteFilePath();
    return {};
}

int TTransmitter::ExpectedReplyLength(const QByteArray &Reply) {
    if (Reply.size() < 2)
        return 0;
    switch (static_cast<std::uint8_t>(Reply[1])) {
    case 0x03: return Reply.size() < 3 ? 0 : 5 + static_cast<std::uint8_t>(Reply[2]);
    case 0x10: return 8;
    case 0x83:
    case 0x90: return 5;
    case 0xFA: return 6;
    default: return 0;
    }
}

bool TTransmitter::IsCompleteReply(const QByteArray &Reply) {
    const int Length = ExpectedReplyLength(Reply);
    return Length > 0 && Reply.size() == Length && CheckCrc16(Reply);
}
