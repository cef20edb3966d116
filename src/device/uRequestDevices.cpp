#include "uRequestDevices.h"

#include "uBDE.h"
#include "uDateTime.h"
#include "uGuiSync.h"
#include "uLanx1Instance.h"
#include "uMath.h"
#include "uSysUtils.h"

#include <QDate>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPolling, "lanx1.polling")

TRequestDevices *RequestDevices = nullptr;

namespace {
constexpr int kReplyMax = 140;
}

int ExecuteRequest(std::uint8_t Kind) {
    return RequestDevices ? RequestDevices->ExecuteRequest(Kind) : -1;
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
            JoinPath(AppDir(), QStringLiteral("rd") + QDate::currentDate().toString(QStringLiteral("yyMMdd")) +
                                   QStringLiteral(".txt")));
    } catch (const std::exception &E) {
        qCWarning(lcPolling) << "request log start-up failed:" << E.what();
    }
}

TRequestDevices::~TRequestDevices() {
    try {
        RequestThread.reset(); // waits for a running step
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

int TRequestDevices::ExecuteRequest(std::uint8_t Kind) {
    TExchangeGuard Guard(*this);
    QByteArray Reply;
    bool Valid = false;
    try {
        if (!Lanx1 || !Transmitter)
            return -1;
        const QByteArray Frame = Lanx1->BuildRequest(Kind);
        try {
            Transmitter->Transmit(Frame, Reply, true, kReplyMax);
        } catch (const ETransmitterError &E) {
            // A port that is closed or gone (adapter pulled) answers like a
            // silent device: the observer still sees the request go unanswered.
            qCInfo(lcPolling) << "exchange of kind" << Kind << "failed:" << E.what();
            Reply.clear();
            if (Transmitter->OnTransmit)
                Transmitter->OnTransmit(Transmitter.get(), AppendCrc16(Frame), false, Reply);
        }
        if (RequestThread) {
            RequestThread->RequestStatus = 0;
            RequestThread->DeviceType = 0;
            RequestThread->ReplyBuffer = StringToBuffer(Reply);
        }
        // The reply is applied where the windows live; this thread waits for it.
        TGuiSync::Instance().RunInGui([&] { Valid = Lanx1->ParseReply(Reply); });
        LogExchange(AppendCrc16(Frame), Reply);
    } catch (const std::exception &E) {
        qCInfo(lcPolling) << "exchange of kind" << Kind << "failed:" << E.what();
        return -1;
    }
    // A status reply of six bytes never completes an exchange, even with status 0.
    const bool Status6 = Reply.size() == 6 && static_cast<std::uint8_t>(Reply[1]) == 0xFA;
    return Valid && !Status6 ? 0 : -1;
}

void TRequestDevices::LogExchange(const QByteArray &Sent, const QByteArray &Reply) {
    const int Radix = EchoRadix.load();
    if ((Radix != 10 && Radix != 16) || !RequestLog)
        return;
    auto Render = [Radix](const QByteArray &B) { return Radix == 16 ? StringToHex(B) : StringToDec(B, true); };
    try {
        RequestLog->Write(u'[' + Render(Sent) + QStringLiteral("] -> [") + Render(Reply) + u']');
    } catch (const std::exception &E) {
        qCInfo(lcPolling) << "request log not written:" << E.what();
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

void TRequestDevices::PollCycle() {
    // The whole cycle is one run of exchanges: a command waits for it, and the
    // next cycle waits for a command.
    TExchangeGuard Guard(*this);
    for (int Kind = 0; Kind <= 30; ++Kind) {
        if (!PollSet.Contains(Kind))
            continue;
        ExecuteRequest(static_cast<std::uint8_t>(Kind));
        if (Lanx1 && Lanx1->ExchangeState.AsThreeStates() == tsFalse)
            ArchiveReadings(static_cast<std::uint8_t>(Kind));
    }
}

void TRequestDevices::ArchiveReadings(std::uint8_t Kind) {
    if (!Lanx1)
        return;
    auto Write = [](const char *Name, double Value, int Digits) {
        const QString Series = QString::fromLatin1(Name);
        ArchiveWrite(Series, QString(), Now(), Value);
        ArchiveWriteText(Series, QString(), 9, Digits, Now(), Value);
    };
    const bool All = Kind == rkReadAll;
    if (All || Kind == rkReadLevel)
        Write("aLevel", Lanx1->Level.AsDouble(), Lanx1->Level.Description.Digits);
    if (All || Kind == rkReadVolume)
        Write("aVolume", Lanx1->Volume.AsDouble(), Lanx1->Volume.Description.Digits);
    if (All || Kind == rkReadFrequency)
        Write("aFreq", Lanx1->Frequency.AsInteger(), 0);
}
