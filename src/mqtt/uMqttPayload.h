#pragma once
// The topics and the message of one poll cycle as they go to the broker.
#include "uCycleReadings.h"

#include <QByteArray>
#include <QString>

// <prefix>/<plant number>/state and <prefix>/<plant number>/status
QString MqttStateTopic(const QString &Prefix, int PlantNumber);
QString MqttStatusTopic(const QString &Prefix, int PlantNumber);
// lanx1-<host name>-<plant number>
QString MqttClientId(int PlantNumber);

// A local time stamp as ISO 8601 with milliseconds and the UTC offset of that
// moment: 2026-12-08T23:28:31.328+03:00.
QString IsoTimeWithOffset(TDateTime At);

// One JSON object (UTF-8): time, plant, address, the readings the cycle holds
// (level, volume, frequency) as numbers in their shortest exact form, error
// and errorText.
QByteArray CyclePayload(const TCycleReadings &Cycle);
