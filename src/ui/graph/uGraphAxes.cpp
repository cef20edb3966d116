#include "uGraphAxes.h"

#include "uArchiveDb.h"

#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace {

// Days from 30 December 1899 to 1 January 1970.
constexpr double kEpochDays = 25569.0;
constexpr double kSecondsPerDay = 86400.0;
// More decimals than a double carries are of no use on an axis.
constexpr int kMaxDigits = 15;

TFormatSettings AxisSettings() {
    TFormatSettings S = DefaultFormatSettings();
    S.ThousandSeparator = QChar(0x00A0);
    return S;
}

// Seconds east of UTC that local time has at the instant Key.
// Zones change their offset on a quarter hour at the least: one look per
// quarter hour serves a whole series.
int OffsetAtKey(double Key) {
    struct TCache {
        double Slot = -1e300;
        int Offset = 0;
    };
    thread_local TCache Cache;
    const double Slot = std::floor(Key / 900.0);
    if (Slot != Cache.Slot) {
        Cache.Offset = QDateTime::fromMSecsSinceEpoch(std::llround(Slot * 900000.0)).offsetFromUtc();
        Cache.Slot = Slot;
    }
    return Cache.Offset;
}

// Local wall-clock time as if it were UTC, in seconds: the space in which
// whole local hours and days are multiples of an hour and a day.
double WallFromKey(double Key) {
    return Key + OffsetAtKey(Key);
}

} // namespace

double KeyFromDateTime(TDateTime Value) {
    return KeyOfReading(Value, LocalUtcOffset(Value));
}

double KeyOfReading(TDateTime Local, int UtcOffset) {
    return (Local - kEpochDays) * kSecondsPerDay - UtcOffset;
}

TDateTime DateTimeFromKey(double Key) {
    if (!std::isfinite(Key))
        return Key;
    return WallFromKey(Key) / kSecondsPerDay + kEpochDays;
}

QString FormatKey(const QString &Pattern, double Key) {
    if (!std::isfinite(Key))
        return {};
    const QDateTime T = QDateTime::fromMSecsSinceEpoch(std::llround(WallFromKey(Key) * 1000.0), QTimeZone::utc());
    return QLocale::c().toString(T, Pattern);
}

TDateTimeTicker::TDateTimeTicker(const QString &Pattern) {
    setDateTimeFormat(Pattern);
    setTimeZone(QTimeZone::utc());
}

QVector<double> TDateTimeTicker::createTickVector(double TickStep, const QCPRange &Range) {
    // The ticks as the clock on the wall has them (the base class works in
    // UTC), then each at its true instant.
    const QCPRange Wall(WallFromKey(Range.lower), WallFromKey(Range.upper));
    QVector<double> Ticks = QCPAxisTickerDateTime::createTickVector(TickStep, Wall);
    for (double &T : Ticks)
        T = KeyFromDateTime(T / kSecondsPerDay + kEpochDays);
    // A tick in an hour the clock skipped lands on another one's instant.
    Ticks.erase(std::unique(Ticks.begin(), Ticks.end()), Ticks.end());
    return Ticks;
}

QString TDateTimeTicker::getTickLabel(double Tick, const QLocale &, QChar, int) {
    return FormatKey(dateTimeFormat(), Tick);
}

QString TNumberTicker::Text(double Value) const {
    // A tick meant to be 0 may come out as -1e-17.
    if (std::fabs(Value) < 1e-12)
        Value = 0;
    return FormatNumber(Value, kMaxDigits, std::clamp(FDigits, 0, kMaxDigits), AxisSettings());
}

QString TNumberTicker::getTickLabel(double Tick, const QLocale &, QChar, int) {
    return Text(Tick);
}

QString GraphNumberText(double Value, int Precision, int Digits) {
    if (Digits == 255)
        return FloatToStrF(Value, TFloatFormat::ffGeneral, 15, 0, DefaultFormatSettings());
    return FormatNumber(Value, Precision, std::min(Digits, kMaxDigits), DefaultFormatSettings());
}
