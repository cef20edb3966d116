#pragma once
// Publishing to an MQTT broker: its settings and the delivery cursor, both in
// INI/Mqtt.ini (Windows-1251). The file holds the password, so it is created
// readable and writable by its owner only, and kept so.
//
//   [Mqtt]    Enabled=1, Url=mqtt://host:1883, User=, Password=, CaFile=,
//             TopicPrefix=lanx1
//   [Cursor]  aLevel=, aVolume=, aFreq= — the archive time stamp of the last
//             reading of each series the broker acknowledged
#include "uCycleReadings.h"

#include <QString>

struct TMqttSettings {
    bool Enabled = false;
    QString Url;      // mqtt://host[:port] (1883) or mqtts://host[:port] (8883)
    QString User;     // empty: no user name
    QString Password;
    QString CaFile;   // mqtts: the certificate authority file; empty: the system's
    QString TopicPrefix = QStringLiteral("lanx1");
    int MaxRate = 1000; // messages a second at most (the catch-up runs at this pace)

    bool operator==(const TMqttSettings &) const = default;
};

// A broker address taken apart.
struct TMqttAddress {
    bool Tls = false;
    QString Host;
    int Port = 0;
};

// AppDir/INI/Mqtt.ini
QString MqttIniPath();

// The settings of the file; defaults for what is missing.
TMqttSettings LoadMqttSettings(const QString &Path = MqttIniPath());
// Writes the [Mqtt] section at once (the cursor stays); false with a Russian
// text in Error when the file cannot be written, or could not give the
// settings back as they are (CheckMqttSettingsKeepable); the file is then
// left as it was.
bool SaveMqttSettings(const TMqttSettings &Settings, const QString &Path = MqttIniPath(), QString *Error = nullptr);

// The longest topic prefix, in bytes of UTF-8: a topic holds 65535 at most,
// and the prefix is followed by "/<plant>/status" and the like.
constexpr int kMaxTopicPrefixBytes = 65535 - 64;

// Checks the address and prefix; a Russian text of what is wrong, empty when
// nothing is: an address with a name or password in it, a prefix that starts
// with "$" or is too long are refused. Address receives the parts.
QString CheckMqttSettings(const TMqttSettings &Settings, TMqttAddress *Address = nullptr);

// What of the settings the file (Windows-1251, values read without their edge
// blanks) could not give back as it is, as a Russian text; empty when nothing.
QString CheckMqttSettingsKeepable(const TMqttSettings &Settings);

// The cursor of the file; empty marks when there is none yet.
TSeriesMarks LoadMqttCursor(const QString &Path = MqttIniPath());
// Writes the [Cursor] section at once (atomically); false on failure.
bool SaveMqttCursor(const TSeriesMarks &Cursor, const QString &Path = MqttIniPath(), QString *Error = nullptr);
