#pragma once
// Axes shared by the graph window and its printed report.
//
// The time axis keys are TDateTime values turned into seconds as if the local
// wall-clock time were UTC: the key then names the stored time exactly (no
// daylight-saving jumps or gaps), and the labels, formatted in UTC, show it
// back unchanged.
#include "uDateTime.h"
#include "uFormat.h"

#include <qcustomplot.h>

// TDateTime (days) <-> time axis key (seconds).
double KeyFromDateTime(TDateTime Value);
TDateTime DateTimeFromKey(double Key);
// The key written with a Qt date-time pattern ("dd.MM.yy HH:mm:ss").
QString FormatKey(const QString &Pattern, double Key);

// The date-time ticker with the keys above: labels in UTC, steps in seconds.
class TDateTimeTicker : public QCPAxisTickerDateTime {
public:
    explicit TDateTimeTicker(const QString &Pattern);
};

// Value axis labels in number format: no-break space between thousands,
// the user's decimal separator and a fixed number of decimals.
class TNumberTicker : public QCPAxisTicker {
public:
    explicit TNumberTicker(int Digits) : FDigits(Digits) {}
    int Digits() const { return FDigits; }
    void SetDigits(int Digits) { FDigits = Digits; }
    QString Text(double Value) const;

protected:
    QString getTickLabel(double Tick, const QLocale &Locale, QChar FormatChar, int Precision) override;

private:
    int FDigits = 2;
};

// Number text with Precision significant digits and Digits decimals; the
// description's Digits 255 (no fixed decimals) gives the general format.
QString GraphNumberText(double Value, int Precision, int Digits);
