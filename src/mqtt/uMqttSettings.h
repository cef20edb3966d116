#pragma once
// Publishing to an MQTT broker: its settings and the delivery cursor, both in
// INI/Mqtt.ini (Windows-1251). The file holds the password, so it is created
// readable and writable by its owner only, and kept so.
//
//   [Mqtt]    Enabled=1, Url=mqtt://host:1883, User=, Password=, CaFile=,
//             TopicPrefix=lanx1, MaxRate=1000, HaDiscovery= (the discovery prefix
//             of Home Assistant, "homeassistant"; empty: off)
//   [Cursor]  aLevel=, aVolume=, aFreq= — where in the archive the last
//             reading of each series lies that the broker acknowledged:
//             "<yyyy-MM-dd of its day table>/<row>" (earlier versions wrote its
//             time stamp, which is still read)
//   [Retained] Count=, Topic1=, Topic2=, … — the retained topics the program
//             left on the broker
#include "uCycleReadings.h"

#include <QString>
#include <QStringList>

struct TMqttSettings {
    bool Enabled = false;
    QString Url;      // mqtt://host[:port] (1883) or mqtts://host[:port] (8883)
    QString User;     // empty: no user name
    QString Password;
    QString CaFile;   // mqtts: the certificate authority file; empty: the system's
    QString TopicPrefix = QStringLiteral("lanx1");
    int MaxRate = 1000; // messages a second at most (the catch-up runs at this pace)
    // Home Assistant's MQTT discovery: the topic prefix its configuration
    // messages go under ("homeassistant"); empty: none are sent.
    QString DiscoveryPrefix;

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

// The cursor of the file; empty when there is none yet. A time stamp of an
// earlier version becomes the place of the last reading archived at or before
// it (the archive's root must be set).
TArchiveCursor LoadMqttCursor(const QString &Path = MqttIniPath());
// Writes the [Cursor] section at once (atomically); false on failure.
bool SaveMqttCursor(const TArchiveCursor &Cursor, const QString &Path = MqttIniPath(), QString *Error = nullptr);
// The place as the file holds it ("2026-10-25/1234"), and back (false for a
// text of another form).
QString ArchivePlaceText(const TArchivePlace &Place);
bool ParseArchivePlace(const QString &Text, TArchivePlace &Place);

// The retained topics the program left on the broker; whether the file says
// anything of them at all (files of earlier versions do not).
QStringList LoadMqttRetained(const QString &Path = MqttIniPath(), bool *Known = nullptr);
bool SaveMqttRetained(const QStringList &Topics, const QString &Path = MqttIniPath(), QString *Error = nullptr);
