#pragma once
// Frames travel as byte strings: any byte 0..255, no text encoding involved.
// These helpers turn them into the texts of the exchange log.
#include <QByteArray>
#include <QString>

using TBuffer = QByteArray;

// S repeated Count times; S itself (once) when Count <= 0.
QString RepeatString(const QString &S, int Count);
// The bytes of B as a byte string (a copy: both types hold raw bytes).
QByteArray BufferToString(const TBuffer &B);
// The bytes of S as a buffer.
TBuffer StringToBuffer(const QByteArray &S);
// "01 03 00 0E": two upper-case hex digits per byte, one blank between bytes.
QString StringToHex(const QByteArray &S);
// "1 3 0 14", or "001 003 000 014" with Pad.
QString StringToDec(const QByteArray &S, bool Pad);
