#pragma once
// Why a serial port did not open, as the system tells it: missing, no right
// to it (the cure on Debian is the dialout group), busy (with the program
// that holds it, when the system lets us see it), or the system's own words.
#include <QString>

class QSerialPort;

struct TPortOpenFailure {
    enum class TKind { None, NotFound, NoPermission, Busy, Other };
    TKind Kind = TKind::None;
    QString Holder; // "minicom (pid 1234)" for a busy port, when it can be told
    QString System; // the system's text (Qt's, in English)

    // Looks at the port Name after Port.open failed.
    static TPortOpenFailure Of(const QString &Name, const QSerialPort &Port);
    // The same from the kind of failure alone (the port already closed).
    static TPortOpenFailure Of(const QString &Name, TKind Kind, const QString &System);

    // For the program's messages, and for lanx1ctl's standard error.
    QString RussianText() const;
    QString EnglishText() const;

    // The program that has the device file Name open, other than this one;
    // empty when none is seen (another user's processes are not).
    static QString HolderOf(const QString &Name);
};
