#include "fTransmitterSetup.h"
#include "uInputLayout.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

Q_LOGGING_CATEGORY(lcTransmitterSetup, "lanx1.transmitter.setup")

namespace {
const QString kCustom = QStringLiteral("Custom");
constexpr int kMaxCustomBaudRate = 10000000;
} // namespace

TFormTransmitterSetup::TFormTransmitterSetup(const TPortSettings &Settings, QWidget *Parent)
    : QDialog(Parent), FSettings(Settings) {
    setObjectName(QStringLiteral("FormTransmitterSetup"));
    setWindowTitle(QStringLiteral("Настройка СОМ-порта"));
    FSettings.Normalize();

    cmbPort = new QComboBox(this);
    cmbPort->setObjectName(QStringLiteral("cmbPort"));
    cmbPort->setEditable(true);
    cmbPort->setInsertPolicy(QComboBox::NoInsert);
    for (const QSerialPortInfo &Info : QSerialPortInfo::availablePorts())
        cmbPort->addItem(Info.systemLocation());
    cmbPort->setCurrentText(FSettings.Port); // kept even when the port is not present now

    cmbBaudRate = NewList(QStringLiteral("cmbBaudRate"), TPortSettings::BaudRateTexts(), FSettings.BaudRate);
    speCustomBaudRate = new QSpinBox(this);
    speCustomBaudRate->setObjectName(QStringLiteral("speCustomBaudRate"));
    speCustomBaudRate->setRange(1, kMaxCustomBaudRate);
    speCustomBaudRate->setValue(FSettings.CustomBaudRate);
    cmbDataBits = NewList(QStringLiteral("cmbDataBits"), TPortSettings::DataBitsTexts(), FSettings.DataBits);
    cmbStopBits = NewList(QStringLiteral("cmbStopBits"), TPortSettings::StopBitsTexts(), FSettings.StopBits);
    cmbParity = NewList(QStringLiteral("cmbParity"), TPortSettings::ParityTexts(), FSettings.Parity);
    cmbFlowControl =
        NewList(QStringLiteral("cmbFlowControl"), TPortSettings::FlowControlTexts(), FSettings.FlowControl);

    auto *Form = new QFormLayout;
    Form->addRow(QStringLiteral("Порт:"), cmbPort);
    Form->addRow(QStringLiteral("Скорость, бит/с:"), cmbBaudRate);
    Form->addRow(QStringLiteral("Своя скорость, бит/с:"), speCustomBaudRate);
    Form->addRow(QStringLiteral("Биты данных:"), cmbDataBits);
    Form->addRow(QStringLiteral("Стоповые биты:"), cmbStopBits);
    Form->addRow(QStringLiteral("Четность:"), cmbParity);
    Form->addRow(QStringLiteral("Управление потоком:"), cmbFlowControl);

    QBoxLayout *Buttons = DialogButtonRow(this, btnOK, btnCancel);

    auto *Layout = new QVBoxLayout(this);
    Layout->addLayout(Form);
    Layout->addLayout(Buttons);
    Layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmbBaudRate, &QComboBox::currentIndexChanged, this, &TFormTransmitterSetup::UpdateCustomBaudRate);
    UpdateCustomBaudRate();
}

QComboBox *TFormTransmitterSetup::NewList(const QString &Name, const QStringList &Items, const QString &Current) {
    auto *List = new QComboBox(this);
    List->setObjectName(Name);
    List->addItems(Items);
    List->setCurrentIndex(std::max(0, static_cast<int>(Items.indexOf(Current))));
    return List;
}

void TFormTransmitterSetup::UpdateCustomBaudRate() {
    speCustomBaudRate->setEnabled(cmbBaudRate->currentText() == kCustom);
}

TPortSettings TFormTransmitterSetup::Settings() const {
    TPortSettings S = FSettings;
    const QString Port = cmbPort->currentText().trimmed();
    if (!Port.isEmpty()) // an emptied field keeps the port there was
        S.Port = Port;
    S.BaudRate = cmbBaudRate->currentText();
    S.CustomBaudRate = speCustomBaudRate->value();
    S.DataBits = cmbDataBits->currentText();
    S.StopBits = cmbStopBits->currentText();
    S.Parity = cmbParity->currentText();
    S.FlowControl = cmbFlowControl->currentText();
    return S;
}

bool ShowTransmitterSetup(TTransmitter &Transmitter, QWidget *Parent) {
    try {
        TFormTransmitterSetup Form(Transmitter.GetSettings(), Parent);
        if (Form.exec() == QDialog::Accepted && !Transmitter.SetSettings(Form.Settings()))
            qCWarning(lcTransmitterSetup) << "the open port refused the new settings";
        return true;
    } catch (const std::exception &E) {
        qCWarning(lcTransmitterSetup) << "settings dialog:" << E.what();
    } catch (...) {
        qCWarning(lcTransmitterSetup) << "settings dialog failed";
    }
    return false;
}
