#pragma once
// poll --mqtt: the cycles polled go to an MQTT broker as the program sends them.
#include "uCtlArgs.h"
#include "uMqttPublisher.h"

#include <QStringList>
#include <QTextStream>

#include <memory>
#include <optional>

// --mqtt URL, --topic PREFIX, --user U, --password-file F, --ca FILE
QStringList MqttPollOptions();
// The publishing settings the options give; none without --mqtt. Usage errors
// (ECtlUsage) for options without --mqtt or a wrong address, a failure
// (ECtlFailure) when the password file cannot be read.
std::optional<TMqttSettings> ParseMqttPollOptions(const TCommandArgs &A);
// Starts publishing; each change of the link state goes to standard error as
// one line "lanx1ctl: MQTT: ...". The cursor is kept in INI/Mqtt.ini when the
// INI folder is there (the settings of the file are not touched).
std::unique_ptr<TMqttPublisher> StartPollPublisher(const TMqttSettings &Settings, QTextStream &Err);
// Gives a connected publisher up to a few seconds to send what it holds, stops
// it and prints how many messages the broker acknowledged. False when cycles
// stay unacknowledged, or the broker was not reached at the end.
bool FinishPollPublisher(TMqttPublisher &Publisher, QTextStream &Err);
