#include "uTransmitter.h"

#include "uIniFile.h"
#include "uMath.h"
#include "uMessages.h"
#include "uSysUtils.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSerialPort>
#include <QThread>
#include <algorithm>
#include <climits>
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
    // here again. Callers from several threads take turns.
    void Call(const std::function<void()> &Job) {
        if (QThread::currentThread() == this) {
            Job();
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
                continue;
            }
            if (FStop)
                return;
        }
    }

private:
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
    throw ETransmitterError(Text.toStdString());
}

void RequireOpen(const QSerialPort &Port) {
    if (!Port.isOpen())
        throw ETransmitterError("the serial port is not open");
}

// Empties both directions: what the port object and the driver hold, and what
// was already on its way in.
void Purge(QSerialPort &Port) {
    Port.clearError();
    Port.clear(QSerialPort::AllDirections);
    Port.readAll();
    if (IsPortFailure(Port))
        RaisePortError(Port, "purge");
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

// Reads at most ReplyMax bytes. The read ends when ReplyMax bytes are there,
// when more than ReadInterval ms pass without a byte after the first one, when
// the total read time-out is over, or (EndOfFrame) when the bytes so far are
// one complete reply frame: the device sends nothing after it, so waiting out
// the interval would only slow every exchange down.
QByteArray ReadReply(QSerialPort &Port, const TPortSettings &S, int ReplyMax) {
    QByteArray Reply;
    if (ReplyMax <= 0)
        return Reply;
    const qint64 Total = S.ReadTotalTimeout(ReplyMax);
    QElapsedTimer Clock;
    Clock.start();
    qint64 LastByte = -1;
    for (;;) {
        if (Port.bytesAvailable() > 0) {
            Reply += Port.read(ReplyMax - Reply.size());
            LastByte = Clock.elapsed();
            if (Reply.size() >= ReplyMax || (S.EndOfFrame != 0 && TTransmitter::IsCompleteReply(Reply)))
                break;
        }
        qint64 Wait = Total - Clock.elapsed();
        if (LastByte >= 0 && S.ReadInterval > 0)
            Wait = std::min(Wait, LastByte + S.ReadInterval - Clock.elapsed());
        if (Wait <= 0)
            break;
        Port.clearError();
        if (!Port.waitForReadyRead(int(Wait)) && IsPortFailure(Port))
            RaisePortError(Port, "read");
    }
    return Reply;
}

QByteArray Exchange(QSerialPort &Port, const TPortSettings &S, const QByteArray &Frame, int ReplyMax) {
    RequireOpen(Port);
    Purge(Port);
    QByteArray Reply;
    if (WriteFrame(Port, S, Frame))
        Reply = ReadReply(Port, S, ReplyMax);
    Purge(Port);
    return Reply;
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
    if (!SetSettings(ReadSettings(Ini, GetSettings())))
        throw ETransmitterError("the serial port refused the settings of " + FIniFileName.toStdString());
}

void TTransmitter::SaveSettings() const {
    TIniFile Ini(FIniFileName);
    WriteIni(Ini);
}

void TTransmitter::ReadIni(const TIniFile &Ini) {
    SetSettings(ReadSettings(Ini, GetSettings()));
}

TPortSettings TTransmitter::ReadSettings(const TIniFile &Ini, TPortSettings S) const {
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

bool TTransmitter::Open() {
    const TPortSettings S = GetSettings();
    bool Ok = false;
    QString Reason;
    FThread->Call([&] {
        if (FPort->isOpen())
            FPort->close();
        FPort->setPortName(S.Port);
        // Settings given before open are applied by the open itself, which
        // fails when the port refuses one of them.
        ApplySettings(*FPort, S);
        Ok = FPort->open(QIODevice::ReadWrite);
        if (!Ok)
            Reason = FPort->errorString();
    });
    if (Ok) {
        qCDebug(lcTransmitter).noquote() << "opened" << S.Port << "at" << S.BaudRateValue() << "baud";
        return true;
    }
    qCWarning(lcTransmitter).noquote() << "cannot open" << S.Port << ":" << Reason;
    ShowMessageBox(QStringLiteral("Внимание"), QStringLiteral("Ошибка активации порта :") + S.Port, TMsgIcon::Error);
    return false;
}

bool TTransmitter::Close() {
    try {
        FThread->Call([this] {
            if (FPort->isOpen())
                FPort->close();
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

void TTransmitter::ShowError(const QString &Caption, const QString &Text) {
    ShowMessageBox(Caption, Text, TMsgIcon::Error, mbOK, mbOK);
}

bool TTransmitter::Transmit(const QByteArray &Frame, QByteArray &Reply, bool AddCRC, int ReplyMax) {
    const QByteArray Sent = AddCRC ? AppendCrc16(Frame) : Frame;
    const TPortSettings S = GetSettings();
    QByteArray Answer;
    FThread->Call([&] { Answer = Exchange(*FPort, S, Sent, ReplyMax); });
    Reply = Answer;
    const bool Result = !Reply.isEmpty();
    if (OnTransmit)
        OnTransmit(this, Sent, Result, Reply);
    return Result;
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
