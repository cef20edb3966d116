#include "uMqttPayload.h"

#include "uFormat.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QTimeZone>
#include <cmath>

namespace {

QString JsonString(const QString &Text) {
    QString R = QStringLiteral("\"");
    for (const QChar C : Text) {
        switch (C.unicode()) {
        case u'"': R += QStringLiteral("\\\""); break;
        case u'\\': R += QStringLiteral("\\\\"); break;
        case u'\n': R += QStringLiteral("\\n"); break;
        case u'\r': R += QStringLiteral("\\r"); break;
        case u'\t': R += QStringLiteral("\\t"); break;
        default:
            if (C.unicode() < 0x20)
                R += QStringLiteral("\\u%1").arg(C.unicode(), 4, 16, QLatin1Char('0'));
            else
                R += C;
        }
    }
    return R + u'"';
}

} // namespace

QString MqttStateTopic(const QString &Prefix, int PlantNumber) {
    return Prefix + u'/' + QString::number(PlantNumber) + QStringLiteral("/state");
}

QString MqttStatusTopic(const QString &Prefix, int PlantNumber) {
    return Prefix + u'/' + QString::number(PlantNumber) + QStringLiteral("/status");
}

QString MqttLinkTopic(const QString &Prefix, int PlantNumber) {
    return Prefix + u'/' + QString::number(PlantNumber) + QStringLiteral("/link");
}

QString MqttClientId(int PlantNumber) {
    // The process as well: two programs on one host that publish (for a
    // while, or for good) under one plant number would otherwise take the
    // broker's session from each other, over and over.
    return QStringLiteral("lanx1-") + QSysInfo::machineHostName() + u'-' + QString::number(PlantNumber) + u'-' +
           QString::number(QCoreApplication::applicationPid());
}

QString IsoTimeWithOffset(TDateTime At) {
    return IsoTimeWithOffset(At, DateTimeToQt(At).offsetFromUtc());
}

QString IsoTimeWithOffset(TDateTime At, int Offset) {
    // The stored fields as they are (as UTC, so that no zone moves a local
    // time that its clock skipped or repeats), then the offset they were taken with.
    constexpr double kEpochDays = 25569.0; // 1899-12-30 to 1970-01-01
    const QDateTime T = QDateTime::fromMSecsSinceEpoch(std::llround((At - kEpochDays) * 86400000.0), QTimeZone::utc());
    const int Minutes = (Offset < 0 ? -Offset : Offset) / 60;
    return T.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (Offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2").arg(Minutes / 60, 2, 10, QLatin1Char('0')).arg(Minutes % 60, 2, 10, QLatin1Char('0'));
}

namespace {

QString ReadingReason(double Value) {
    if (std::isnan(Value))
        return QStringLiteral("not a number");
    if (std::isinf(Value))
        return Value > 0 ? QStringLiteral("infinite") : QStringLiteral("negative infinite");
    return {};
}

// ,"level":42.5 — or, for a value JSON has no number for, ,"level":null,"levelReason":"not a number" —
// and ,"levelUnit":"%" where the unit is known.
QString ReadingField(const char *Name, double Value, const QString &Unit) {
    const QString Key = QLatin1String(Name);
    QString F = std::isfinite(Value) ? QStringLiteral(",\"") + Key + QStringLiteral("\":") + ExactNumberText(Value)
                                     : QStringLiteral(",\"") + Key + QStringLiteral("\":null,\"") + Key +
                                           QStringLiteral("Reason\":") + JsonString(ReadingReason(Value));
    if (!Unit.isEmpty())
        F += QStringLiteral(",\"") + Key + QStringLiteral("Unit\":") + JsonString(Unit);
    return F;
}

} // namespace

QByteArray CyclePayload(const TCycleReadings &C, const TMqttUnits &Units) {
    QString J = QStringLiteral("{\"time\":\"") + IsoTimeWithOffset(C.At, C.UtcOffset) + QStringLiteral("\",\"plant\":") +
                QString::number(C.PlantNumber) + QStringLiteral(",\"address\":") + QString::number(C.Address);
    if (C.Level)
        J += ReadingField("level", *C.Level, Units.Level);
    if (C.Volume)
        J += ReadingField("volume", *C.Volume, Units.Volume);
    if (C.Frequency)
        J += ReadingField("frequency", *C.Frequency, Units.Frequency);
    J += QStringLiteral(",\"error\":") + QString::number(C.Error) + QStringLiteral(",\"errorText\":") +
         JsonString(C.ErrorText) + u'}';
    return J.toUtf8();
}

std::vector<TMqttMessage> HaDiscoveryMessages(const QString &DiscoveryPrefix, const QString &TopicPrefix,
                                              int PlantNumber, const TMqttUnits &Units) {
    const QString Plant = QString::number(PlantNumber);
    const QString Device = QStringLiteral("lanx1_") + Plant;
    const struct {
        const char *Key;
        QString Name;
        QString Unit;
        bool Link;
    } Sensors[] = {{"level", QStringLiteral("Уровень"), Units.Level, false},
                   {"volume", QStringLiteral("Объём"), Units.Volume, false},
                   {"frequency", QStringLiteral("Частота генератора"), Units.Frequency, false},
                   {"link", QStringLiteral("Связь"), QString(), true}};
    std::vector<TMqttMessage> Messages;
    for (const auto &S : Sensors) {
        const QString Key = QLatin1String(S.Key);
        const QString Id = Device + u'_' + Key;
        QString J = QStringLiteral("{\"name\":") + JsonString(S.Name) + QStringLiteral(",\"unique_id\":") +
                    JsonString(Id) + QStringLiteral(",\"object_id\":") + JsonString(Id) +
                    QStringLiteral(",\"state_topic\":") +
                    JsonString(S.Link ? MqttLinkTopic(TopicPrefix, PlantNumber) : MqttStateTopic(TopicPrefix, PlantNumber)) +
                    QStringLiteral(",\"value_template\":") +
                    JsonString(S.Link ? QStringLiteral("{{ value_json.state }}")
                                      : QStringLiteral("{{ value_json.") + Key + QStringLiteral(" }}"));
        if (!S.Unit.isEmpty())
            J += QStringLiteral(",\"unit_of_measurement\":") + JsonString(S.Unit);
        if (!S.Link)
            J += QStringLiteral(",\"state_class\":\"measurement\"");
        J += QStringLiteral(",\"availability_topic\":") + JsonString(MqttStatusTopic(TopicPrefix, PlantNumber)) +
             QStringLiteral(",\"payload_available\":\"online\",\"payload_not_available\":\"offline\"") +
             QStringLiteral(",\"device\":{\"identifiers\":[") + JsonString(Device) +
             QStringLiteral("],\"name\":") + JsonString(QStringLiteral("ЛАНКС1хх № ") + Plant) +
             QStringLiteral(",\"model\":\"ЛАНКС1хх\"}}");
        Messages.push_back({DiscoveryPrefix + QStringLiteral("/sensor/") + Id + QStringLiteral("/config"), J.toUtf8()});
    }
    return Messages;
}

QByteArray LinkPayload(const TLinkState &Link) {
    QString J = QStringLiteral("{\"state\":") + JsonString(Link.State) + QStringLiteral(",\"since\":\"") +
                IsoTimeWithOffset(Link.At) + u'"';
    if (!Link.Ok())
        J += QStringLiteral(",\"error\":") + QString::number(Link.Error) + QStringLiteral(",\"errorText\":") +
             JsonString(Link.ErrorText);
    return (J + u'}').toUtf8();
}
