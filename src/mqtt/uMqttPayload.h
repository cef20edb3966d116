#pragma once
// The topics and the message of one poll cycle as they go to the broker.
#include "uCycleReadings.h"
#include "uLinkState.h"

#include <QByteArray>
#include <QString>

#include <vector>

// <prefix>/<plant number>/state and <prefix>/<plant number>/status
QString MqttStateTopic(const QString &Prefix, int PlantNumber);
QString MqttStatusTopic(const QString &Prefix, int PlantNumber);
// <prefix>/<plant number>/link: the device link's state (retained)
QString MqttLinkTopic(const QString &Prefix, int PlantNumber);
// lanx1-<host name>-<plant number>-<process id>
QString MqttClientId(int PlantNumber);

// A local time stamp as ISO 8601 with milliseconds and the UTC offset of that
// moment: 2026-12-08T23:28:31.328+03:00.
QString IsoTimeWithOffset(TDateTime At);
// The same with the offset it was taken with (seconds east of UTC): in the
// hour that local time repeats in autumn, each pass has its own.
QString IsoTimeWithOffset(TDateTime At, int UtcOffset);

// The units of the readings, as their value descriptions give them ("%");
// an empty one is left out of the message.
struct TMqttUnits {
    QString Level, Volume, Frequency;
};

// One JSON object (UTF-8): time (with the cycle's own offset), plant, address, the readings the cycle holds
// (level, volume, frequency) as numbers in their shortest exact form (null
// with "<reading>Reason" for one that is no finite number), each followed by
// "<reading>Unit" where Units give one, error and errorText.
QByteArray CyclePayload(const TCycleReadings &Cycle, const TMqttUnits &Units = {});

// The retained configuration messages of Home Assistant's MQTT discovery for
// the device of PlantNumber: one sensor each for the level, the volume, the
// frequency (from the state topic) and the link's state (from the link topic),
// all of one device, available while the status topic says "online".
// Topic and payload (JSON, UTF-8) of each.
struct TMqttMessage {
    QString Topic;
    QByteArray Payload;
};
std::vector<TMqttMessage> HaDiscoveryMessages(const QString &DiscoveryPrefix, const QString &TopicPrefix,
                                              int PlantNumber, const TMqttUnits &Units);

// The link's state as JSON: {"state":"ok","since":"<ISO time>"}, or with
// the device's "error" code and "errorText" for any other state.
QByteArray LinkPayload(const TLinkState &Link);
