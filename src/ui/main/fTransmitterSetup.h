#pragma once
#include "uTransmitter.h"

#include <QDialog>

class QComboBox;
class QPushButton;
class QSpinBox;
class QWidget;
class TTransmitter;

// The serial settings dialog: port (the system's ports offered, any text
// allowed), baud rate with Custom and its value, data bits, stop bits, parity,
// flow control, OK and Cancel. On OK the chosen values become the transmitter's
// settings. Returns false only when the dialog itself failed.
bool ShowTransmitterSetup(TTransmitter &Transmitter, QWidget *Parent = nullptr);

// The dialog itself, filled from Settings; Settings() gives them back with the
// user's choices (the time-outs and the rest pass through unchanged).
class TFormTransmitterSetup : public QDialog {
    Q_OBJECT
public:
    explicit TFormTransmitterSetup(const TPortSettings &Settings, QWidget *Parent = nullptr);
    TPortSettings Settings() const;

private:
    QComboBox *NewList(const QString &Name, const QStringList &Items, const QString &Current);
    void UpdateCustomBaudRate();

    TPortSettings FSettings;
    QComboBox *cmbPort = nullptr;
    QComboBox *cmbBaudRate = nullptr;
    QSpinBox *speCustomBaudRate = nullptr;
    QComboBox *cmbDataBits = nullptr;
    QComboBox *cmbStopBits = nullptr;
    QComboBox *cmbParity = nullptr;
    QComboBox *cmbFlowControl = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
};
