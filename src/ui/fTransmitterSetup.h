#pragma once
class QWidget;
class TTransmitter;

// The serial settings dialog: port (the system's ports offered, any text
// allowed), baud rate with Custom and its value, data bits, stop bits, parity,
// flow control, OK and Cancel. On OK the chosen values become the transmitter's
// settings. Returns false only when the dialog itself failed.
bool ShowTransmitterSetup(TTransmitter &Transmitter, QWidget *Parent = nullptr);
