// The main window's part in publishing the readings to an MQTT broker: the
// settings dialog, the publisher's life and its status panel and echo lines.
#include "fMain.h"

#include "fMqttSettings.h"
#include "uMessages.h"
#include "uMqttPublisher.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QPalette>
#include <QPointer>

Q_LOGGING_CATEGORY(lcMainMqtt, "lanx1.main.mqtt")

void TFormMain::MqttStart() {
    TMqttSettings S;
    try {
        S = LoadMqttSettings();
    } catch (const std::exception &E) {
        qCWarning(lcMainMqtt) << "publishing settings not read:" << E.what();
    }
    MqttStop();
    if (!S.Enabled)
        return;
    FMqttUrl = S.Url;
    FMqtt = std::make_unique<TMqttPublisher>();
    // Called on the publisher's thread; the window is updated on its own. The
    // publisher is stopped before the window goes, and what is still queued
    // then goes with the window.
    FMqtt->OnStatusChanged = [Self = QPointer<TFormMain>(this)](const TMqttStatus &Status) {
        QMetaObject::invokeMethod(
            Self.data(),
            [Self, Status] {
                if (Self)
                    Self->MqttStatusShow(Status);
            },
            Qt::QueuedConnection);
    };
    FMqtt->Start(S);
    MqttStatusShow(FMqtt->Status());
}

void TFormMain::MqttStop() {
    if (FMqtt) {
        FMqtt->Stop();
        FMqtt.reset();
    }
    FMqttEchoedError.clear();
    FMqttWasConnected = false;
    FPanels[5]->hide();
}

void TFormMain::MqttStatusShow(const TMqttStatus &Status) {
    if (!FMqtt)
        return; // a report that outlived its publisher
    QLabel *Panel = FPanels[5];
    const bool Trouble = !Status.LastError.isEmpty();
    Panel->setText(Status.Text());
    Panel->setToolTip(Trouble ? Status.LastError
                              : QStringLiteral("Брокер %1, опубликовано %2").arg(FMqttUrl).arg(Status.Published));
    QPalette P = Panel->parentWidget() ? Panel->parentWidget()->palette() : QPalette();
    if (Trouble || Status.State == TMqttLinkState::NoLink)
        P.setColor(QPalette::WindowText, Qt::red);
    Panel->setPalette(P);
    Panel->show();

    // Each trouble once, however often the publisher tries again.
    if (Trouble && Status.LastError != FMqttEchoedError) {
        FMqttEchoedError = Status.LastError;
        AddEchoLine(QStringLiteral("MQTT: ") + Status.LastError);
    }
    if (Status.Connected() && !FMqttWasConnected) {
        AddEchoLine(QStringLiteral("MQTT: подключено к брокеру ") + FMqttUrl);
        FMqttEchoedError.clear();
    }
    FMqttWasConnected = Status.Connected();
}

void TFormMain::actMqttSettingsExecute() {
    TMqttSettings Old;
    try {
        Old = LoadMqttSettings();
    } catch (const std::exception &E) {
        qCWarning(lcMainMqtt) << "publishing settings not read:" << E.what();
    }
    TFormMqttSettings Dialog(Old, this);
    if (Dialog.exec() != QDialog::Accepted)
        return;
    const TMqttSettings New = Dialog.Settings();
    QString Error;
    if (!SaveMqttSettings(New, MqttIniPath(), &Error)) {
        // Nothing changes: the publisher goes on as the file still says.
        qCWarning(lcMainMqtt).noquote() << Error;
        ShowMessageBox(QStringLiteral("Ошибка"), QStringLiteral("Настройки публикации не сохранены:\r") + Error,
                       TMsgIcon::Error, mbOK, mbOK);
        return;
    }
    if (New == Old && (FMqtt != nullptr) == New.Enabled)
        return;
    if (!New.Enabled && FMqtt)
        AddEchoLine(QStringLiteral("MQTT: публикация выключена"));
    MqttStart();
}
