#include "uRequestDevices.h"

#include "uBDE.h"
#include "uClock.h"
#include "uCycleCapture.h"
#include "uDateTime.h"
#include "uGuiSync.h"
#include "uLanx1Instance.h"
#include "uLinkState.h"
#include "uMath.h"
#include "uSysUtils.h"

#include <QDate>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcPolling, "lanx1.polling")

TRequestDevices *RequestDevices = nullptr;

namespace {
constexpr int kReplyMax = 140;
}

int ExecuteRequest(std::uint8_t Kind, int Attempt) {
    return RequestDevices ? RequestDevices->ExecuteRequest(Kind, Attempt) : -1;
}

// ---- TRequestThread

TRequestThread::TRequestThread(TRequestDevices &Engine) : FEngine(Engine) {
    FThread = std::thread([this] { Execute(); });
}

TRequestThread::~TRequestThread() {
    TerminateAndWait();
}

void TRequestThread::Resume() {
    std::lock_guard Lock(FLock);
    if (FBusy.load() || FResumed)
        return; // a tick that falls into a running step is dropped
    FResumed = true;
    FWake.notify_one();
}

void TRequestThread::TerminateAndWait() {
    {
        std::lock_guard Lock(FLock);
        FTerminated = true;
        FWake.notify_one();
    }
    if (!FThread.joinable())
        return;
    // The step may need the user-interface thread for its replies: wait in a
    // way that still serves them.
    TGuiSync::Instance().WaitUntil([this] { return FFinished.load(); });
    FThread.join();
}

void TRequestThread::Execute() {
    for (;;) {
        {
            std::unique_lock Lock(FLock);
            FWake.wait(Lock, [this] { return FResumed || FTerminated; });
            if (FTerminated)
                break;
            FResumed = false;
            FBusy = true;
        }
        try {
            FEngine.PollStep();
        } catch (...) {
            qCWarning(lcPolling) << "poll step failed";
        }
        FBusy = false;
        ++FSteps;
        TGuiSync::Instance().Notify();
    }
    TGuiSync::Instance().Update([this] { FFinished = true; });
}

// ---- TRequestDevices

TRequestDevices::TRequestDevices(const TRequestDevicesOptions &Options) {
    try {
        ReqDevicesTimer = std::make_unique<TCustomTimer>();
        ReqDevicesTimer->setObjectName(QStringLiteral("ctReqDevices"));
        ReqDevicesTimer->LoadFromIni();
        DeviceCount = 1;
        TListDevice Device;
        Device.Type = 0;
        Device.Enabled = Lanx1 && Lanx1->Enabled();
        Device.Name = Lanx1 ? Lanx1->DeviceDescription.Title : QString();
        DeviceList = {Device};
    } catch (const std::exception &E) {
        qCWarning(lcPolling) << "timer start-up failed:" << E.what();
    }
    try {
        Transmitter = std::make_unique<TTransmitter>();
        Transmitter->LoadSettings();
        if (!Options.PortOverride.isEmpty())
            Transmitter->SetPort(Options.PortOverride);
        Transmitter->Open();
    } catch (const std::exception &E) {
        qCWarning(lcPolling) << "transmitter start-up failed:" << E.what();
    }
    try {
        RequestThread = std::make_unique<TRequestThread>(*this);
    } catch (const std::exception &E) {
        qCWarning(lcPolling) << "polling thread start-up failed:" << E.what();
    }
    try {
        RequestLog = std::make_unique<TLog>();
        RequestLog->SetFileName(
            JoinPath(AppDir(), QStringLiteral("rd") + CurrentDate().toString(QStringLiteral("yyMMdd")) +
                                   QStringLiteral(".txt")));
    } catch (const std::exception &E) {
        qCWarning(lcPolling) << "request log start-up failed:" << E.what();
    }
}

TRequestDevices::~TRequestDevices() {
    try {
        // The running step still reaches the thread object through
        // RequestThread: it must have ended before the pointer is released.
        if (RequestThread)
            RequestThread->TerminateAndWait();
        RequestThread.reset();
    } catch (...) {
    }
    try {
        ReqDevicesTimer.reset();
    } catch (...) {
    }
    try {
        RequestLog.reset();
    } catch (...) {
    }
    try {
        // A reply may still be owed to the last question (it failed, or was
        // answered only by a retry): it is waited for here, so that it never
        // meets the first question of the next run on this line.
        if (Transmitter && FRecoveryDue)
            Transmitter->RecoverLine(FRecoverySilenceMs, 4 * FRecoverySilenceMs + 1000);
        if (Transmitter)
            Transmitter->Close();
        Transmitter.reset();
    } catch (...) {
    }
    DeviceList.clear();
}

void TRequestDevices::BeginExchanges() {
    const auto Me = std::this_thread::get_id();
    TGuiSync::Instance().WaitUntil([&] {
        if (FExchangeDepth > 0 && FExchangeOwner != Me)
            return false;
        FExchangeOwner = Me;
        ++FExchangeDepth;
        return true;
    });
}

void TRequestDevices::EndExchanges() {
    TGuiSync::Instance().Update([&] {
        if (FExchangeDepth > 0 && --FExchangeDepth == 0)
            FExchangeOwner = std::thread::id();
    });
}

namespace {
qint64 NowMs() {
    static const QElapsedTimer Clock = [] {
        QElapsedTimer C;
        C.start();
        return C;
    }();
    return Clock.elapsed();
}
} // namespace

TExchangeOutcome TRequestDevices::OutcomeOfReply(bool Done) const {
    if (Done)
        return TExchangeOutcome::Done;
    switch (Lanx1->LastVerdict()) {
    case TReplyVerdict::NoAnswer: return TExchangeOutcome::NoAnswer;
    case TReplyVerdict::Corrupt: return TExchangeOutcome::Corrupt;
    case TReplyVerdict::Exception: return TExchangeOutcome::Exception;
    case TReplyVerdict::Status: return TExchangeOutcome::Status;
    case TReplyVerdict::Done:
    case TReplyVerdict::Mismatch: break;
    }
    return TExchangeOutcome::Mismatch;
}

int TRequestDevices::ExecuteRequest(std::uint8_t Kind, int Attempt) {
    TExchangeGuard Guard(*this);
    if (!Lanx1 || !Transmitter)
        return -1;
    QByteArray Frame;
    try {
        Frame = Lanx1->BuildRequest(Kind);
    } catch (const std::exception &E) {
        qCInfo(lcPolling) << "no request of kind" << Kind << ":" << E.what();
        FLastOutcome = TExchangeOutcome::NotSent;
        return -1;
    }
    const QByteArray Sent = AppendCrc16(Frame);
    const TPortSettings Settings = Transmitter->GetSettings();
    const int ReadTimeout = Settings.ReadTotalTimeout(kReplyMax);
    const bool Retry = Attempt > 1 && Sent == FLastSent;
    if (FRecoveryDue && !Retry) {
        Transmitter->RecoverLine(FRecoverySilenceMs, 4 * FRecoverySilenceMs + 1000);
        FRecoveryDue = false;
    }
    if (!Retry)
        FQuestionStart = NowMs();
    FLastSent = Sent;
    FLastPort = Settings.Port;

    QByteArray Reply;
    bool Done = false;
    TExchangeOutcome Outcome = TExchangeOutcome::NoAnswer;
    int Code = 0;
    FStatistics.SetHistogramLimit(ReadTimeout);
    try {
        Transmitter->Transmit(Frame, Reply, true, kReplyMax);
    } catch (const ETransmitterError &E) {
        // Nothing reached a port: no reply to apply, no line for the log.
        qCInfo(lcPolling) << "exchange of kind" << Kind << "failed:" << E.what();
        FLastOutcome = TExchangeOutcome::PortLost;
        FStatistics.Add(TExchangeOutcome::PortLost, 0);
        FRecoveryDue = true;
        FRecoverySilenceMs = ReadTimeout;
        return -1;
    }
    // From the last request byte written to the complete reply.
    const double ResponseMs = Transmitter->LastResponseMs();
    try {
        if (RequestThread) {
            RequestThread->RequestStatus = 0;
            RequestThread->DeviceType = 0;
            RequestThread->ReplyBuffer = StringToBuffer(Reply);
        }
        // The reply is applied where the windows live; this thread waits for it.
        TGuiSync::Instance().RunInGui([&] {
            Done = Lanx1->ParseReply(Reply);
            Outcome = OutcomeOfReply(Done);
            Code = Lanx1->LastErrorCode();
        });
    } catch (const std::exception &E) {
        qCInfo(lcPolling) << "reply of kind" << Kind << "not applied:" << E.what();
        Done = false;
        Outcome = TExchangeOutcome::Mismatch;
    }
    LogExchange(Sent, Reply);

    if (!Done) {
        FRecoveryDue = true;
        FRecoverySilenceMs = std::max(FRecoverySilenceMs, ReadTimeout);
    } else if (FRecoveryDue) {
        // Answered only after a failed attempt: the device may be answering
        // the earlier attempts again, as late as this answer came.
        const int Late = int(NowMs() - FQuestionStart) + std::max(0, Settings.ReadInterval);
        FRecoverySilenceMs = std::max({FRecoverySilenceMs, ReadTimeout, Late});
    }
    if (!FRecoveryDue)
        FRecoverySilenceMs = 0;
    FLastOutcome = Outcome;
    FStatistics.Add(Outcome, ResponseMs, Code);
    return Done ? 0 : -1;
}

QString TRequestDevices::LastFailureText() const {
    const TExchangeOutcome Outcome = FLastOutcome.load();
    if (Outcome == TExchangeOutcome::PortLost)
        return QStringLiteral("Порт недоступен: ") + FLastPort;
    if (Outcome == TExchangeOutcome::NotSent)
        return QStringLiteral("Ошибка формирования запроса");
    const QString Text = Lanx1 ? Lanx1->LastErrorText() : QString();
    if (!Text.isEmpty() && Text != QStringLiteral("Норма"))
        return Text;
    const int Code = Lanx1 ? Lanx1->LastErrorCode() : 0;
    switch (Outcome) {
    case TExchangeOutcome::Exception: return QStringLiteral("код исключения ") + QString::number(Code);
    case TExchangeOutcome::Status: return QStringLiteral("статус ") + QString::number(Code);
    case TExchangeOutcome::NoAnswer: return QStringLiteral("Нет ответа от устройства");
    case TExchangeOutcome::Corrupt: return QStringLiteral("Ошибка контрольной суммы");
    case TExchangeOutcome::Mismatch: return QStringLiteral("Несоответствие команды");
    default: return Text;
    }
}

TExchangeCounts TRequestDevices::Statistics() const {
    if (Transmitter) {
        const std::uint64_t Noise = Transmitter->NoiseBytesSoFar();
        FStatistics.SetNoise(Noise - std::min(FNoiseBase.load(), Noise));
    }
    return FStatistics.Counts();
}

TExchangeCounts TRequestDevices::SettledStatistics() const {
    if (Transmitter)
        Transmitter->NoiseBytes(); // waits for the guard after the last reply
    return Statistics();
}

void TRequestDevices::ResetStatistics() {
    if (Transmitter)
        FNoiseBase = Transmitter->NoiseBytesSoFar();
    FStatistics.Reset();
}

void TRequestDevices::LogExchange(const QByteArray &Sent, const QByteArray &Reply) {
    const int Radix = EchoRadix.load();
    if ((Radix != 10 && Radix != 16) || !RequestLog)
        return;
    auto Render = [Radix](const QByteArray &B) { return Radix == 16 ? StringToHex(B) : StringToDec(B, true); };
    try {
        RequestLog->Write(u'[' + Render(Sent) + QStringLiteral("] -> [") + Render(Reply) + u']');
    } catch (const ELogError &E) {
        qCInfo(lcPolling) << "request log not written:" << E.what();
        std::lock_guard Lock(FProblemLock);
        if (FRequestLogProblem.isEmpty()) {
            FRequestLogProblem = E.File() + QStringLiteral(": ") + E.Reason();
            FRequestLogError = QString::fromStdString(E.what());
        }
    } catch (const std::exception &E) {
        qCInfo(lcPolling) << "request log not written:" << E.what();
        std::lock_guard Lock(FProblemLock);
        if (FRequestLogProblem.isEmpty()) {
            FRequestLogProblem = RequestLog->FileName();
            FRequestLogError = QString::fromStdString(E.what());
        }
    }
}

bool TRequestDevices::AnyDeviceEnabled() const {
    for (const TListDevice &D : DeviceList)
        if (D.Enabled)
            return true;
    return false;
}

int TRequestDevices::NextDevice() {
    if (DeviceCount <= 0)
        return -1;
    for (int Tries = 0; Tries < DeviceCount; ++Tries) {
        FCursor = FCursor < DeviceCount - 1 ? FCursor + 1 : 0;
        if (DeviceList[static_cast<size_t>(FCursor)].Enabled)
            return FCursor;
    }
    return -1;
}

void TRequestDevices::PollStep() {
    // The step's fields are those a command's exchange writes too: the whole
    // step is one run of exchanges.
    TExchangeGuard Guard(*this);
    try {
        const int i = NextDevice();
        if (i < 0)
            return;
        const TListDevice &Device = DeviceList[static_cast<size_t>(i)];
        if (RequestThread)
            RequestThread->DeviceType = Device.Type;
        if (Device.Type == 0)
            PollCycle();
        if (OnDevicePolled)
            OnDevicePolled(Device.Name);
    } catch (const std::exception &E) {
        qCInfo(lcPolling) << "poll step ended:" << E.what();
    }
}

TPollCycleResult TRequestDevices::PollCycle() {
    // The whole cycle is one run of exchanges: a command waits for it, and the
    // next cycle waits for a command.
    TExchangeGuard Guard(*this);
    TPollCycleResult Result;
    TCycleArchive Cycle; // hands the cycle's readings on when it ends
    TLinkState Link{QStringLiteral("ok"), 0, QStringLiteral("Норма"), 0};
    // The first failure of the cycle names the link's state.
    const auto Failed = [&](std::uint8_t K, TExchangeOutcome Outcome, const QString &Text) {
        if (Result.Failed.empty())
            Link = LinkStateOf(Outcome, Text);
        Result.Failed.push_back({K, Outcome, Text});
    };
    if (LearnPlantNumber && KnownPlantNumber() == kPlantUnknown) {
        // Readings are filed under the plant number: it is learned first.
        if (!LearnPlantNumberNow())
            Failed(rkReadPlantNumber, LastOutcome(), LastFailureText());
    }
    for (int Kind = 0; Kind <= 30; ++Kind) {
        if (!PollSet.Contains(Kind))
            continue;
        const auto K = static_cast<std::uint8_t>(Kind);
        if (ExecuteRequest(K) != 0) {
            Failed(K, LastOutcome(), LastFailureText());
            continue;
        }
        // Answered, but without a frequency signal the readings did not come.
        if (!Lanx1 || Lanx1->ExchangeState.AsThreeStates() != tsFalse) {
            Failed(K, TExchangeOutcome::Done, Lanx1 ? Lanx1->LastErrorText() : QString());
            continue;
        }
        if (K == rkReadAll)
            NotePlantNumber();
        // Every reading of the cycle carries the cycle's one time stamp.
        if (!ArchiveReadings(K, Cycle.At(), Cycle.UtcOffset())) {
            ++Result.ArchiveFailures;
        } else {
            TakeCycleReadings(*Lanx1, K, Cycle.Readings);
            // Only a plant number told on this opening of the port holds.
            Cycle.Readings.PlantNumber = KnownPlantNumber();
        }
    }
    Link.At = Now();
    Link.PlantNumber = KnownPlantNumber();
    ReportLinkState(Link);
    return Result;
}

TLinkState TRequestDevices::LinkStateOf(TExchangeOutcome Outcome, const QString &Text) const {
    TLinkState L;
    L.Error = Outcome == TExchangeOutcome::PortLost || Outcome == TExchangeOutcome::NotSent
                  ? 0
                  : (Lanx1 ? Lanx1->LastErrorCode() : 0);
    L.ErrorText = Text;
    switch (Outcome) {
    case TExchangeOutcome::NoAnswer: L.State = QStringLiteral("no answer"); break;
    case TExchangeOutcome::Corrupt: L.State = QStringLiteral("checksum error"); break;
    case TExchangeOutcome::Mismatch: L.State = QStringLiteral("mismatch"); break;
    case TExchangeOutcome::Exception: L.State = QStringLiteral("exception ") + QString::number(L.Error); break;
    case TExchangeOutcome::Status: L.State = QStringLiteral("status ") + QString::number(L.Error); break;
    case TExchangeOutcome::PortLost: L.State = QStringLiteral("port lost"); break;
    case TExchangeOutcome::NotSent: L.State = QStringLiteral("not sent"); break;
    case TExchangeOutcome::Done:
        L.State = Lanx1 && Lanx1->NoFrequencySignal() ? QStringLiteral("no signal")
                                                      : QStringLiteral("device error ") + QString::number(L.Error);
        break;
    }
    return L;
}

bool TRequestDevices::LearnPlantNumberNow() {
    TExchangeGuard Guard(*this);
    int Rc = -1;
    for (int Attempt = 1; Attempt <= 3 && Rc != 0; ++Attempt)
        Rc = ExecuteRequest(rkReadPlantNumber, Attempt);
    if (Rc != 0)
        return false;
    NotePlantNumber();
    return true;
}

void TRequestDevices::NotePlantNumber() {
    if (!Lanx1 || !Transmitter)
        return;
    FKnownPlant = Lanx1->PlantNumber();
    FPlantOpening = Transmitter->Openings();
}

int TRequestDevices::KnownPlantNumber() const {
    if (!Transmitter || FPlantOpening.load() != Transmitter->Openings())
        return kPlantUnknown;
    return FKnownPlant.load();
}

bool TRequestDevices::ArchiveReadings(std::uint8_t Kind) {
    const QDateTime T = CurrentDateTime();
    return ArchiveReadings(Kind, DateTimeFromQt(T), T.offsetFromUtc());
}

bool TRequestDevices::ArchiveReadings(std::uint8_t Kind, TDateTime At, int UtcOffset) {
    if (!Lanx1)
        return false;
    bool Ok = true;
    QString Problem;
    TArchiveRowExtras Extras;
    Extras.UtcOffset = UtcOffset;
    if (const int Plant = KnownPlantNumber(); Plant != kPlantUnknown)
        Extras.PlantNumber = Plant;
    auto Write = [&](const char *Name, double Value, int Digits) {
        const QString Series = QString::fromLatin1(Name);
        // Each copy of a reading (the table row, the text line) is told
        // apart: one may fail while the other is written.
        if (!ArchiveWrite(Series, QString(), At, Value, Extras)) {
            Ok = false;
            FStatistics.AddArchiveFailure();
            Problem = ArchiveWriteFailure();
        }
        if (!ArchiveWriteText(Series, QString(), 9, Digits, At, Value)) {
            Ok = false;
            FStatistics.AddArchiveFailure();
            Problem = ArchiveWriteFailure();
        }
    };
    const bool All = Kind == rkReadAll;
    if (All || Kind == rkReadLevel)
        Write("aLevel", Lanx1->Level.AsDouble(), Lanx1->Level.Description.Digits);
    if (All || Kind == rkReadVolume)
        Write("aVolume", Lanx1->Volume.AsDouble(), Lanx1->Volume.Description.Digits);
    if (All || Kind == rkReadFrequency)
        Write("aFreq", Lanx1->Frequency.AsInteger(), 0);
    std::lock_guard Lock(FProblemLock);
    FArchiveProblem = Ok ? QString() : Problem.isEmpty() ? DbPath() : Problem;
    return Ok;
}

QString TRequestDevices::ArchiveProblem() const {
    std::lock_guard Lock(FProblemLock);
    return FArchiveProblem;
}

QString TRequestDevices::RequestLogProblem() const {
    std::lock_guard Lock(FProblemLock);
    return FRequestLogProblem;
}

QString TRequestDevices::RequestLogError() const {
    std::lock_guard Lock(FProblemLock);
    return FRequestLogError;
}
