#pragma once
// Axes shared by the graph window and its printed report.
//
// The time axis keys are the true instants of the readings, in seconds since
// 1970 (UTC): readings lie in the order they were taken, also through the hour
// that local time repeats in autumn. Labels show local time, and the ticks
// fall on whole local hours and days.
#include "uDateTime.h"
#include "uFormat.h"

#include <qcustomplot.h>

// Local TDateTime (days) <-> time axis key (seconds). A local time that the
// clock showed twice is taken as the first one.
double KeyFromDateTime(TDateTime Value);
TDateTime DateTimeFromKey(double Key);
// The key of a reading stored with its offset (seconds east of UTC).
double KeyOfReading(TDateTime Local, int UtcOffset);
// The key written with a Qt date-time pattern ("dd.MM.yy HH:mm:ss"), in local time.
QString FormatKey(const QString &Pattern, double Key);

// The date-time ticker with the keys above: labels in local time, ticks on
// whole local hours and days.
class TDateTimeTicker : public QCPAxisTickerDateTime {
public:
    explicit TDateTimeTicker(const QString &Pattern);

protected:
    QVector<double> createTickVector(double TickStep, const QCPRange &Range) override;
    QString getTickLabel(double Tick, const QLocale &Locale, QChar FormatChar, int Precision) override;
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
