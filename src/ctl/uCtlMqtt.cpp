#include "uCtlMqtt.h"

#include "uRequestDevices.h"

#include "uSysUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

void ErrorLine(const QString &Text) {
    std::fprintf(stderr, "lanx1ctl: %s\n", Text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

QStringList MqttPollOptions() {
    return {QStringLiteral("--mqtt"), QStringLiteral("--topic"), QStringLiteral("--user"),
            QStringLiteral("--password-file"), QStringLiteral("--ca"), QStringLiteral("--ha-discovery")};
}

std::optional<TMqttSettings> ParseMqttPollOptions(const TCommandArgs &A) {
    if (!A.Options.contains(QStringLiteral("--mqtt"))) {
        for (const QString &Name : MqttPollOptions())
            if (A.Options.contains(Name))
                throw ECtlUsage(Name + QStringLiteral(" needs --mqtt URL"));
        return std::nullopt;
    }
    TMqttSettings S;
    S.Enabled = true;
    S.Url = A.Options.value(QStringLiteral("--mqtt"));
    S.TopicPrefix = A.Options.value(QStringLiteral("--topic"), S.TopicPrefix);
    S.User = A.Options.value(QStringLiteral("--user"));
    S.CaFile = A.Options.value(QStringLiteral("--ca"));
    S.DiscoveryPrefix = A.Options.value(QStringLiteral("--ha-discovery"));
    if (A.Options.contains(QStringLiteral("--password-file"))) {
        if (S.User.isEmpty())
            throw ECtlUsage(QStringLiteral("--password-file needs --user"));
        const QString Path = A.Options.value(QStringLiteral("--password-file"));
        QFile F(Path);
        if (!F.open(QIODevice::ReadOnly))
            throw ECtlFailure(QStringLiteral("cannot read the password file ") + Path);
        // The first line, without its end.
        QByteArray Line = F.readLine();
        while (Line.endsWith('\n') || Line.endsWith('\r'))
            Line.chop(1);
        S.Password = QString::fromUtf8(Line);
    }
    if (!S.CaFile.isEmpty() && !S.Url.startsWith(QStringLiteral("mqtts://"), Qt::CaseInsensitive))
        throw ECtlUsage(QStringLiteral("--ca is for an mqtts:// address"));
    const QString Invalid = CheckMqttSettings(S);
    if (!Invalid.isEmpty())
        throw ECtlUsage(QStringLiteral("--mqtt: ") + Invalid);
    return S;
}

std::unique_ptr<TMqttPublisher> StartPollPublisher(const TMqttSettings &Settings, QTextStream &Err) {
    TMqttPublisherOptions Options;
    Options.SaveCursor = QFileInfo(QFileInfo(MqttIniPath()).absolutePath()).isDir();
    if (!Options.SaveCursor) {
        Err << "lanx1ctl: no INI folder in " << QDir::toNativeSeparators(AppDir())
            << ": the MQTT cursor is not kept, a later run does not catch up\n";
        Err.flush();
    }
    auto Publisher = std::make_unique<TMqttPublisher>(Options);
    // Called on the publisher's thread: straight to standard error.
    Publisher->OnStatusChanged = [Last = TMqttStatus()](const TMqttStatus &S) mutable {
        if (S.State == Last.State && S.LastError == Last.LastError)
            return;
        Last = S;
        if (S.State == TMqttLinkState::Stopped)
            return;
        QString Line = S.Text();
        if (!S.LastError.isEmpty())
            Line += QStringLiteral(": ") + S.LastError;
        ErrorLine(Line);
    };
    Err.flush();
    if (!Publisher->Start(Settings))
        throw ECtlUsage(QStringLiteral("--mqtt: ") + Publisher->Status().LastError);
    return Publisher;
}

bool FinishPollPublisher(TMqttPublisher &Publisher, QTextStream &Err) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        const TMqttStatus S = Publisher.Status();
        // A connection under way (the plant number came with the last
        // cycles) is waited for; one that failed is not.
        const bool Coming = S.State == TMqttLinkState::Connecting ||
                            (S.State == TMqttLinkState::NoPlant && RequestDevices &&
                             RequestDevices->KnownPlantNumber() != kPlantUnknown);
        if ((!S.Connected() && !Coming) || (S.Connected() && S.Queued == 0 && !S.CatchingUp) ||
            std::chrono::steady_clock::now() > Deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const TMqttStatus AtEnd = Publisher.Status();
    const std::int64_t Owed = AtEnd.Queued;
    Publisher.Stop();
    const TMqttStatus S = Publisher.Status();
    Err << "lanx1ctl: MQTT: " << S.Published << " messages acknowledged\n";
    if (Owed > 0) {
        // Not lost while the cursor is kept: the next run sends them from the archive.
        const bool Kept = QFileInfo(QFileInfo(MqttIniPath()).absolutePath()).isDir();
        Err << "lanx1ctl: MQTT: " << Owed << " cycles not acknowledged"
            << (Kept ? ", sent from the archive by the next run (cursor in INI/Mqtt.ini)\n"
                     : ", and no cursor is kept: they are not sent later\n");
    }
    const bool Delivered = AtEnd.Connected() && Owed == 0 && !AtEnd.CatchingUp;
    if (!AtEnd.Connected())
        Err << "lanx1ctl: MQTT: the broker was not reached at the end"
            << (AtEnd.LastError.isEmpty() ? QString() : QStringLiteral(": ") + AtEnd.LastError) << u'\n';
    Err.flush();
    return Delivered;
}
