#pragma once
// The publishing settings dialog: on/off, broker address, user and password,
// the certificate authority file (mqtts only) and the topic prefix. It checks
// what it is given and keeps OK disabled, with the reason in red, while
// publishing is on and the settings are unusable.
#include "uMqttSettings.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TFormMqttSettings : public QDialog {
    Q_OBJECT
public:
    explicit TFormMqttSettings(const TMqttSettings &Settings, QWidget *Parent = nullptr);
    // The settings as the user left them (the rate passes through unchanged).
    TMqttSettings Settings() const;
    // What is wrong with them; empty when OK may be pressed.
    QString Problem() const;

    // Asks for the certificate authority file, starting at Current; empty when
    // cancelled. Replaceable so that tests never block on a dialog.
    static std::function<QString(QWidget *Parent, const QString &Current)> ChooseCaFile;

    QCheckBox *chkEnabled = nullptr;
    QCheckBox *chkDiscovery = nullptr; // Home Assistant's MQTT discovery
    QLineEdit *edtUrl = nullptr;
    QLineEdit *edtUser = nullptr;
    QLineEdit *edtPassword = nullptr;
    QLineEdit *edtCaFile = nullptr;
    QPushButton *btnCaFile = nullptr;
    QLineEdit *edtTopicPrefix = nullptr;
    QLabel *lblTopics = nullptr;
    QLabel *lblProblem = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void Check();

    TMqttSettings FSettings;
};
