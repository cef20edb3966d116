#include "uMqttPublisher.h"

#include "uLanx1Instance.h"
#include "uMqttPayload.h"
#include "uRequestDevices.h"

#include <QFile>
#include <QLoggingCategory>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

Q_LOGGING_CATEGORY(lcMqtt, "lanx1.mqtt")

namespace {

constexpr std::size_t kWindow = 64;         // messages awaiting PUBACK at most
constexpr std::size_t kBacklogBatch = 2000; // cycles read from the archive at a time
constexpr int kKeepAlive = 30;              // seconds
constexpr int kConnectTimeoutMs = 15000;
constexpr int kMaxRetryDelayMs = 5000;

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void InitLibrary() {
    static std::once_flag Once;
    std::call_once(Once, [] { mosquitto_lib_init(); });
}

QString ConnackText(int Rc) {
    switch (Rc) {
    case 1:
    case 132: return QStringLiteral("брокер не поддерживает версию протокола MQTT 5");
    case 2:
    case 133: return QStringLiteral("брокер отклонил идентификатор клиента");
    case 3:
    case 136:
    case 137: return QStringLiteral("брокер временно недоступен");
    case 138: return QStringLiteral("брокер запретил подключение этого клиента");
    case 4:
    case 134: return QStringLiteral("брокер отклонил имя пользователя или пароль");
    case 5:
    case 135: return QStringLiteral("брокер отказал в доступе: неверное имя пользователя или пароль, или нет прав");
    default: return QStringLiteral("брокер отклонил подключение (код %1)").arg(Rc);
    }
}

// A PUBACK of MQTT 5 with a reason code of 0x80 or more: the broker did not
// take the message.
QString PubackText(int Reason) {
    switch (Reason) {
    case 0x87: return QStringLiteral("брокер отказал в публикации: нет прав на тему (код 0x87)");
    case 0x90: return QStringLiteral("брокер отказал в публикации: недопустимое имя темы (код 0x90)");
    case 0x97: return QStringLiteral("брокер отказал в публикации: превышена квота (код 0x97)");
    case 0x99: return QStringLiteral("брокер отказал в публикации: неверный формат сообщения (код 0x99)");
    default:
        return QStringLiteral("брокер отказал в публикации (код 0x%1)").arg(Reason, 2, 16, QLatin1Char('0'));
    }
}

QString LinkErrorText(int Rc, const TMqttAddress &A) {
    const QString Where = A.Host + u':' + QString::number(A.Port);
    switch (Rc) {
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN: return QStringLiteral("связь с брокером %1 потеряна").arg(Where);
    case MOSQ_ERR_TLS:
        return QStringLiteral("ошибка TLS при подключении к брокеру %1 (сертификат не принят?)").arg(Where);
    case MOSQ_ERR_EAI: return QStringLiteral("не найден узел брокера %1").arg(A.Host);
    case MOSQ_ERR_ERRNO:
        return QStringLiteral("нет связи с брокером %1: %2").arg(Where, QString::fromLocal8Bit(std::strerror(errno)));
    default: return QStringLiteral("нет связи с брокером %1: %2").arg(Where, QString::fromUtf8(mosquitto_strerror(Rc)));
    }
}

} // namespace

QString TMqttStatus::Text() const {
    const QString Count = QStringLiteral(" (%1 в очереди)").arg(Queued);
    switch (State) {
    case TMqttLinkState::Stopped: return QStringLiteral("MQTT: выключено");
    case TMqttLinkState::Connecting: return QStringLiteral("MQTT: подключение") + Count;
    case TMqttLinkState::Connected: return QStringLiteral("MQTT: подключено") + Count;
    case TMqttLinkState::NoLink: return QStringLiteral("MQTT: нет связи") + Count;
    case TMqttLinkState::NoPlant: return QStringLiteral("MQTT: нет номера установки") + Count;
    }
    return {};
}

TMqttPublisher::TMqttPublisher(TMqttPublisherOptions Options) : FOptions(std::move(Options)) {}

TMqttPublisher::~TMqttPublisher() {
    Stop();
}

QString TMqttPublisher::IniFile() const {
    return FOptions.IniPath.isEmpty() ? MqttIniPath() : FOptions.IniPath;
}

bool TMqttPublisher::Start(const TMqttSettings &Settings) {
    Stop();
    TMqttAddress Address;
    const QString Invalid = CheckMqttSettings(Settings, &Address);
    if (!Invalid.isEmpty()) {
        std::lock_guard Guard(FLock);
        FStatus = {};
        FStatus.LastError = Invalid;
        return false;
    }
    FSettings = Settings;
    FAddress = Address;
    QString CursorError;
    FCursorTime = 0;
    FCursor = FOptions.SaveCursor ? LoadMqttCursor(IniFile()) : TArchiveCursor{};
    if (FCursor.Empty()) {
        // Publishing starts now: what was archived before is not owed.
        FCursor = ArchiveEnd();
        FCursorTime = ArchiveHorizon();
        if (FOptions.SaveCursor)
            SaveMqttCursor(FCursor, IniFile(), &CursorError);
    } else {
        // A series without a place of its own starts where the earliest one does.
        TArchivePlace Earliest;
        for (const TArchivePlace &P : {FCursor.Level, FCursor.Volume, FCursor.Frequency})
            if (P != TArchivePlace{} && (Earliest == TArchivePlace{} || P < Earliest))
                Earliest = P;
        for (TArchivePlace *P : {&FCursor.Level, &FCursor.Volume, &FCursor.Frequency})
            if (*P == TArchivePlace{})
                *P = Earliest;
    }
    FRetained = FOptions.SaveCursor ? LoadMqttRetained(IniFile(), &FRetainedKnown) : QStringList();
    if (FCursorTime == 0)
        FCursorTime = ArchiveTimeAt(FCursor);
    FSent = FCursor;
    FCursorDirty = false;
    FCursorSavedAt = SteadyMs();
    FMosq = nullptr;
    FConnected = false;
    FDropDue = false;
    FRetryAt = 0;
    FRetryDelay = 500;
    FCatchUp = true;
    FBacklog.clear();
    FInFlight.clear();
    FNextBacklogRead = 0;
    FSeenArrived = 0;
    FRecountAt = 0;
    FTokens = 0;
    FTokensAt = SteadyMs();
    FNotified = {};
    // The engine reads the plant number before the readings from now on.
    FLearnSet = RequestDevices && !RequestDevices->LearnPlantNumber.exchange(true);
    {
        std::lock_guard Guard(FLock);
        FStopping = false;
        FArrived = 0;
        FCountBase = 0;
        FArrivedAtCount = 0;
        FPublishedAtCount = 0;
        // Only a plant number the device told on the port as it is open now.
        FPlant = RequestDevices ? RequestDevices->KnownPlantNumber() : kPlantUnknown;
        FPlantTrouble.clear();
        FAddressNumber = Lanx1 ? Lanx1->SystemAddress() : 0;
        FStatus = {};
        FStatus.State = TMqttLinkState::Connecting;
        FStatus.LastError = CursorError;
        FStatus.Cursor = FCursorTime;
    }
    // The units as the value descriptions give them, one set for live and
    // archived cycles alike.
    FUnits = Lanx1 ? TMqttUnits{Lanx1->Level.Description.Dimension, Lanx1->Volume.Description.Dimension,
                                Lanx1->Frequency.Description.Dimension}
                   : TMqttUnits{};
    FListener = AddCycleListener([this](const TCycleReadings &Cycle) { Submit(Cycle); });
    FLinkListener = AddLinkListener([this](const TLinkState &Link) { SubmitLink(Link); });
    FThread = std::thread([this] { Run(); });
    return true;
}

void TMqttPublisher::Stop() {
    if (FListener) {
        RemoveCycleListener(FListener);
        FListener = 0;
    }
    if (FLinkListener) {
        RemoveLinkListener(FLinkListener);
        FLinkListener = 0;
    }
    if (FLearnSet && RequestDevices)
        RequestDevices->LearnPlantNumber = false;
    FLearnSet = false;
    if (!FThread.joinable())
        return;
    {
        std::lock_guard Guard(FLock);
        FStopping = true;
    }
    FWake.notify_all();
    FThread.join();
}

TMqttStatus TMqttPublisher::Status() const {
    std::lock_guard Guard(FLock);
    TMqttStatus S = FStatus;
    // The queue as it is now, not as it was at the last report.
    S.Queued = QueuedLocked();
    return S;
}

std::int64_t TMqttPublisher::QueuedLocked() const {
    // The last count of the archive, with what came and went since.
    const std::int64_t Q = FCountBase + static_cast<std::int64_t>(FArrived - FArrivedAtCount) -
                           (FStatus.Published - FPublishedAtCount);
    return std::max<std::int64_t>(Q, 0);
}

void TMqttPublisher::RecountIfDue() {
    const std::int64_t T = SteadyMs();
    if (T < FRecountAt)
        return;
    std::uint64_t Arrived;
    std::int64_t Published;
    {
        std::lock_guard Guard(FLock);
        Arrived = FArrived;
        Published = FStatus.Published;
    }
    const std::int64_t Count = CountCyclesAfter(FCursor);
    const std::int64_t Took = SteadyMs() - T;
    // Counting a long backlog takes a while: never more than a twentieth of the time.
    FRecountAt = SteadyMs() + std::max<std::int64_t>(2000, 20 * Took);
    std::lock_guard Guard(FLock);
    FCountBase = Count;
    FArrivedAtCount = Arrived;
    FPublishedAtCount = Published;
}

void TMqttPublisher::Submit(const TCycleReadings &Cycle) {
    bool Told;
    {
        std::lock_guard Guard(FLock);
        Told = FPlant != Cycle.PlantNumber;
        FPlant = Cycle.PlantNumber;
        FAddressNumber = Cycle.Address;
        ++FArrived; // read from the archive
    }
    if (Told)
        FWake.notify_all();
}

QString TMqttPublisher::NoPlantText() const {
    return QStringLiteral("ничего не публикуется, пока не известен номер установки: ") +
           (FPlantTrouble.isEmpty() ? QStringLiteral("устройство его ещё не сообщило")
                                    : QStringLiteral("устройство его не сообщило (") + FPlantTrouble + u')');
}

void TMqttPublisher::SubmitLink(const TLinkState &Link) {
    std::unique_lock Guard(FLock);
    if (FPlant != Link.PlantNumber) {
        FPlant = Link.PlantNumber;
        FWake.notify_all(); // a thread waiting for it goes on at once
    }
    FPlantTrouble = Link.Ok() ? QString() : Link.ErrorText.isEmpty() ? Link.State : Link.ErrorText;
    // A state is told once, with the time it began.
    if (Link.State == FLink.State)
        return;
    FLink = Link;
    FLinkDue = true;
}

void TMqttPublisher::PublishLinkIfDue() {
    TLinkState Link;
    {
        std::lock_guard Guard(FLock);
        if (!FLinkDue || FLink.State.isEmpty())
            return;
        Link = FLink;
        FLinkDue = false;
    }
    const QByteArray Payload = LinkPayload(Link);
    if (mosquitto_publish(FMosq, nullptr, MqttLinkTopic(FSettings.TopicPrefix, FConnPlant).toUtf8().constData(),
                          Payload.size(), Payload.constData(), 1, true) != MOSQ_ERR_SUCCESS) {
        std::lock_guard Guard(FLock);
        FLinkDue = true; // again with the next connection
    }
}

void TMqttPublisher::Run() {
    InitLibrary();
    for (;;) {
        {
            std::unique_lock Guard(FLock);
            if (FStopping)
                break;
            if (!FMosq && FPlant == kPlantUnknown) {
                // Nothing goes out under a plant number that may be wrong.
                const QString Why = NoPlantText();
                Guard.unlock();
                if (FNotified.State != TMqttLinkState::NoPlant || FNotified.LastError != Why) {
                    qCInfo(lcMqtt).noquote() << Why;
                    SetState(TMqttLinkState::NoPlant, Why);
                }
                RecountIfDue();
                Notify(false);
                Guard.lock();
                FWake.wait_for(Guard, std::chrono::milliseconds(200),
                               [this] { return FStopping || FPlant != kPlantUnknown; });
                continue;
            }
            if (!FMosq && SteadyMs() < FRetryAt) {
                FWake.wait_for(Guard, std::chrono::milliseconds(std::min<std::int64_t>(FRetryAt - SteadyMs(), 200)),
                               [this] { return FStopping; });
                Guard.unlock();
                RecountIfDue();
                Notify(false);
                continue;
            }
        }
        if (!FMosq && !Connect())
            continue;
        const bool Busy = FConnected && (!FInFlight.empty() || !FBacklog.empty() || FCatchUp);
        const int Rc = mosquitto_loop(FMosq, Busy ? 1 : 20, 1);
        if (Rc != MOSQ_ERR_SUCCESS && !FDropDue) {
            FDropDue = true;
            FDropReason = LinkErrorText(Rc, FAddress);
        }
        if (!FDropDue && !FConnected && SteadyMs() > FConnectDeadline) {
            FDropDue = true;
            FDropReason = QStringLiteral("брокер %1:%2 не ответил на подключение").arg(FAddress.Host).arg(FAddress.Port);
        }
        if (FDropDue) {
            Drop(FDropReason);
            continue;
        }
        if (FConnected) {
            int Plant;
            {
                std::lock_guard Guard(FLock);
                Plant = FPlant;
            }
            if (Plant != FConnPlant) {
                // A new plant number, or none known (the port came back and
                // the device has not told it): a new client id and status
                // topic, or nothing until it is known.
                const QByteArray Offline("offline");
                mosquitto_publish(FMosq, nullptr, MqttStatusTopic(FSettings.TopicPrefix, FConnPlant).toUtf8().constData(),
                                  Offline.size(), Offline.constData(), 1, true);
                mosquitto_disconnect(FMosq);
                Drop({});
                FRetryAt = 0;
                continue;
            }
            PublishLinkIfDue();
            Pump();
        }
        SaveCursorIfDue(false);
        RecountIfDue();
        Notify(false);
    }
    Shutdown();
}

bool TMqttPublisher::Connect() {
    {
        std::lock_guard Guard(FLock);
        FConnPlant = FPlant;
    }
    FDropDue = false;
    FDropReason.clear();
    FMosq = mosquitto_new(MqttClientId(FConnPlant).toUtf8().constData(), true, this);
    if (!FMosq) {
        Drop(QStringLiteral("не удалось создать клиента MQTT"));
        return false;
    }
    // MQTT 5: a broker that denies a message says so in its PUBACK (under
    // 3.1.1 it acknowledges it all the same and drops it).
    mosquitto_int_option(FMosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_connect_callback_set(FMosq, &TMqttPublisher::OnConnectCb);
    mosquitto_disconnect_callback_set(FMosq, &TMqttPublisher::OnDisconnectCb);
    mosquitto_publish_v5_callback_set(FMosq, &TMqttPublisher::OnPublishCb);
    mosquitto_max_inflight_messages_set(FMosq, kWindow + 2);
    const QByteArray StatusTopic = MqttStatusTopic(FSettings.TopicPrefix, FConnPlant).toUtf8();
    const QByteArray Offline("offline");
    mosquitto_will_set(FMosq, StatusTopic.constData(), Offline.size(), Offline.constData(), 1, true);
    if (!FSettings.User.isEmpty())
        mosquitto_username_pw_set(FMosq, FSettings.User.toUtf8().constData(),
                                  FSettings.Password.isEmpty() ? nullptr : FSettings.Password.toUtf8().constData());
    if (FAddress.Tls) {
        int Rc;
        if (FSettings.CaFile.isEmpty()) {
            mosquitto_int_option(FMosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            Rc = mosquitto_tls_set(FMosq, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
        } else {
            Rc = mosquitto_tls_set(FMosq, QFile::encodeName(FSettings.CaFile).constData(), nullptr, nullptr, nullptr,
                                   nullptr);
        }
        if (Rc != MOSQ_ERR_SUCCESS) {
            Drop(QStringLiteral("не удалось настроить TLS (файл сертификата центра %1)").arg(FSettings.CaFile));
            return false;
        }
    }
    const int Rc = mosquitto_connect_async(FMosq, FAddress.Host.toUtf8().constData(), FAddress.Port, kKeepAlive);
    if (Rc != MOSQ_ERR_SUCCESS) {
        Drop(LinkErrorText(Rc, FAddress));
        return false;
    }
    FConnectDeadline = SteadyMs() + kConnectTimeoutMs;
    return true;
}

void TMqttPublisher::Drop(const QString &Error) {
    if (FMosq) {
        mosquitto_destroy(FMosq);
        FMosq = nullptr;
    }
    const bool WasConnected = FConnected;
    FConnected = false;
    FDropDue = false;
    // What was not acknowledged is sent again from the archive.
    FInFlight.clear();
    FSent = FCursor;
    FCatchUp = true;
    FBacklog.clear();
    FNextBacklogRead = 0;
    FRetryAt = SteadyMs() + FRetryDelay;
    FRetryDelay = std::min(FRetryDelay * 2, kMaxRetryDelayMs);
    if (!Error.isEmpty()) {
        if (WasConnected || FNotified.LastError != Error)
            qCInfo(lcMqtt).noquote() << Error;
        SetState(TMqttLinkState::NoLink, Error);
    } else {
        SetState(TMqttLinkState::Connecting, {});
    }
}

void TMqttPublisher::OnConnectCb(mosquitto *, void *Self, int Rc) {
    auto *P = static_cast<TMqttPublisher *>(Self);
    if (Rc != 0) {
        P->FDropDue = true;
        P->FDropReason = ConnackText(Rc);
        return;
    }
    P->FConnected = true;
    P->FRetryDelay = 500;
    const QByteArray Online("online");
    mosquitto_publish(P->FMosq, nullptr, MqttStatusTopic(P->FSettings.TopicPrefix, P->FConnPlant).toUtf8().constData(),
                      Online.size(), Online.constData(), 1, true);
    {
        // The link's state goes (again) to the topic of this connection.
        std::lock_guard Guard(P->FLock);
        P->FLinkDue = !P->FLink.State.isEmpty();
    }
    P->ClearForeignRetained();
    if (!P->FSettings.DiscoveryPrefix.isEmpty())
        for (const TMqttMessage &M :
             HaDiscoveryMessages(P->FSettings.DiscoveryPrefix, P->FSettings.TopicPrefix, P->FConnPlant, P->FUnits))
            mosquitto_publish(P->FMosq, nullptr, M.Topic.toUtf8().constData(), static_cast<int>(M.Payload.size()),
                              M.Payload.constData(), 1, true);
    P->FSent = P->FCursor;
    P->FCatchUp = true;
    P->FBacklog.clear();
    P->FNextBacklogRead = 0;
    P->FTokens = 0;
    P->FTokensAt = SteadyMs();
    P->SetState(TMqttLinkState::Connected, {});
}

void TMqttPublisher::ClearForeignRetained() {
    const QString Prefix = FSettings.TopicPrefix;
    const QStringList Own{MqttStatusTopic(Prefix, FConnPlant), MqttLinkTopic(Prefix, FConnPlant)};
    // Earlier versions published under plant 0 until they had read the plant
    // number (and kept no list of what they left): those messages are not
    // this device's. What was left under a real plant number stays true (that
    // plant is offline) and is kept.
    if (!FRetainedKnown && FConnPlant != 0)
        for (const QString &T : {MqttStatusTopic(Prefix, 0), MqttLinkTopic(Prefix, 0)}) {
            // An empty retained message removes the one the broker keeps.
            mosquitto_publish(FMosq, nullptr, T.toUtf8().constData(), 0, nullptr, 1, true);
            qCInfo(lcMqtt).noquote() << "retained message removed from" << T;
        }
    QStringList Left = FRetained;
    for (const QString &T : Own)
        if (!Left.contains(T))
            Left << T;
    if (Left != FRetained || !FRetainedKnown) {
        FRetained = Left;
        FRetainedKnown = true;
        QString Error;
        if (FOptions.SaveCursor && !SaveMqttRetained(Left, IniFile(), &Error))
            qCWarning(lcMqtt).noquote() << Error;
    }
}

void TMqttPublisher::OnDisconnectCb(mosquitto *, void *Self, int Rc) {
    auto *P = static_cast<TMqttPublisher *>(Self);
    if (P->FDropDue)
        return; // the reason is known already (a refused connection)
    P->FDropDue = true;
    P->FDropReason = Rc == 0 ? QString() : LinkErrorText(MOSQ_ERR_CONN_LOST, P->FAddress);
}

void TMqttPublisher::OnPublishCb(mosquitto *, void *Self, int Mid, int Reason, const mosquitto_property *) {
    auto *P = static_cast<TMqttPublisher *>(Self);
    if (Reason >= 0x80) {
        // Not delivered: the cursor stays before it, the link is dropped with
        // the broker's reason and the message goes again after the pause.
        if (!P->FDropDue) {
            P->FDropDue = true;
            P->FDropReason = PubackText(Reason);
        }
        return;
    }
    P->Acknowledged(Mid);
}

void TMqttPublisher::Acknowledged(int Mid) {
    if (Mid == FStatusMid)
        FStatusAcked = true;
    for (TInFlight &F : FInFlight)
        if (F.Mid == Mid && !F.Acked) {
            F.Acked = true;
            break;
        }
    Settle();
}

void TMqttPublisher::Settle() {
    // The cursor moves over an unbroken run of acknowledged messages only.
    std::int64_t Count = 0;
    bool Moved = false;
    while (!FInFlight.empty() && FInFlight.front().Acked) {
        const TCycleReadings &C = FInFlight.front().Cycle;
        FCursor.Advance(C);
        Moved = true;
        if (FInFlight.front().Mid != 0) {
            FCursorTime = std::max(FCursorTime, C.At);
            ++Count;
        }
        FInFlight.pop_front();
    }
    if (Moved)
        FCursorDirty = true;
    if (Count > 0) {
        std::lock_guard Guard(FLock);
        FStatus.Published += Count;
    }
}

bool TMqttPublisher::NextCycle(TCycleReadings &Cycle) {
    if (FBacklog.empty()) {
        const std::int64_t T = SteadyMs();
        std::uint64_t Arrived;
        {
            std::lock_guard Guard(FLock);
            Arrived = FArrived;
        }
        // The archive is read when cycles came, while a read brings a full
        // batch, and once a second (rows a failed read left, another program).
        if (!FCatchUp && Arrived == FSeenArrived && T < FNextBacklogRead)
            return false;
        bool Failed = false;
        std::vector<TCycleReadings> Read = ReadCyclesAfter(FSent, kBacklogBatch, &Failed);
        if (Failed)
            qCWarning(lcMqtt) << "an archive day could not be read for the catch-up";
        FSeenArrived = Arrived;
        FCatchUp = Read.size() >= kBacklogBatch;
        FNextBacklogRead = T + 1000;
        FBacklog.assign(std::make_move_iterator(Read.begin()), std::make_move_iterator(Read.end()));
    }
    if (FBacklog.empty())
        return false;
    Cycle = std::move(FBacklog.front());
    FBacklog.pop_front();
    // Readings archived without a plant number are the device's.
    if (Cycle.PlantNumber == kPlantUnknown)
        Cycle.PlantNumber = FConnPlant;
    std::lock_guard Guard(FLock);
    Cycle.Address = FAddressNumber;
    return true;
}

void TMqttPublisher::Pump() {
    const std::int64_t T = SteadyMs();
    const double Rate = FSettings.MaxRate;
    // A quarter of a second's worth may be saved up, so that the time spent
    // reading the archive is made up for and the pace holds on average.
    const double Burst = std::max(1.0, Rate / 4);
    FTokens = std::min(Burst, FTokens + static_cast<double>(T - FTokensAt) * Rate / 1000.0);
    FTokensAt = T;
    const QByteArray Topic = MqttStateTopic(FSettings.TopicPrefix, FConnPlant).toUtf8();
    while (FTokens >= 1 && FInFlight.size() < kWindow) {
        TCycleReadings C;
        if (!NextCycle(C))
            break;
        if (C.Empty()) {
            // Rows that cannot be read: nothing to send, but passed.
            FSent.Advance(C);
            FInFlight.push_back({0, std::move(C), true});
            Settle();
            continue;
        }
        const QByteArray Payload = CyclePayload(C, FUnits);
        // Readings archived under another plant number go to that plant.
        const QByteArray OtherTopic =
            C.PlantNumber != FConnPlant ? MqttStateTopic(FSettings.TopicPrefix, C.PlantNumber).toUtf8() : QByteArray();
        int Mid = 0;
        const int Rc = mosquitto_publish(FMosq, &Mid, OtherTopic.isEmpty() ? Topic.constData() : OtherTopic.constData(),
                                         Payload.size(), Payload.constData(), 1, false);
        if (Rc != MOSQ_ERR_SUCCESS) {
            FDropDue = true;
            FDropReason = LinkErrorText(Rc, FAddress);
            return;
        }
        FSent.Advance(C);
        FInFlight.push_back({Mid, std::move(C), false});
        FTokens -= 1;
    }
}

void TMqttPublisher::SaveCursorIfDue(bool Force) {
    if (!FCursorDirty || !FOptions.SaveCursor)
        return;
    const std::int64_t T = SteadyMs();
    if (!Force && T - FCursorSavedAt < 1000)
        return;
    QString Error;
    if (!SaveMqttCursor(FCursor, IniFile(), &Error))
        qCWarning(lcMqtt).noquote() << Error;
    FCursorDirty = false;
    FCursorSavedAt = T;
}

void TMqttPublisher::SetState(TMqttLinkState State, const QString &Error, bool KeepError) {
    {
        std::lock_guard Guard(FLock);
        FStatus.State = State;
        if (!KeepError)
            FStatus.LastError = Error;
    }
    Notify(true);
}

void TMqttPublisher::Notify(bool Force) {
    TMqttStatus S;
    {
        std::lock_guard Guard(FLock);
        FStatus.Queued = QueuedLocked();
        FStatus.CatchingUp = FConnected && FCatchUp;
        FStatus.Cursor = FCursorTime;
        S = FStatus;
    }
    const std::int64_t T = SteadyMs();
    const bool Changed = S.State != FNotified.State || S.LastError != FNotified.LastError;
    const bool Moved = S.Queued != FNotified.Queued || S.Published != FNotified.Published;
    if (!(Force || Changed || (Moved && T - FNotifiedAt >= 250)))
        return;
    FNotified = S;
    FNotifiedAt = T;
    if (OnStatusChanged)
        OnStatusChanged(S);
}

void TMqttPublisher::Shutdown() {
    if (FMosq && FConnected) {
        // The last acknowledgements, then "offline" said while leaving.
        const std::int64_t Deadline = SteadyMs() + 2000;
        while (!FInFlight.empty() && !FDropDue && SteadyMs() < Deadline)
            if (mosquitto_loop(FMosq, 10, 1) != MOSQ_ERR_SUCCESS)
                break;
        const QByteArray Offline("offline");
        int Mid = 0;
        if (mosquitto_publish(FMosq, &Mid, MqttStatusTopic(FSettings.TopicPrefix, FConnPlant).toUtf8().constData(),
                              Offline.size(), Offline.constData(), 1, true) == MOSQ_ERR_SUCCESS) {
            FStatusMid = Mid;
            FStatusAcked = false;
            const std::int64_t Until = SteadyMs() + 1000;
            while (!FStatusAcked && SteadyMs() < Until)
                if (mosquitto_loop(FMosq, 10, 1) != MOSQ_ERR_SUCCESS)
                    break;
        }
        mosquitto_disconnect(FMosq);
        mosquitto_loop(FMosq, 10, 1);
    }
    if (FMosq) {
        mosquitto_destroy(FMosq);
        FMosq = nullptr;
    }
    FConnected = false;
    SaveCursorIfDue(true);
    FInFlight.clear();
    FBacklog.clear();
    SetState(TMqttLinkState::Stopped, {}, true);
}
