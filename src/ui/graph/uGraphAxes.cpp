#include "uGraphAxes.h"

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

} // namespace

double KeyFromDateTime(TDateTime Value) {
    return (Value - kEpochDays) * kSecondsPerDay;
}

TDateTime DateTimeFromKey(double Key) {
    return Key / kSecondsPerDay + kEpochDays;
}

QString FormatKey(const QString &Pattern, double Key) {
    if (!std::isfinite(Key))
        return {};
    const QDateTime T = QDateTime::fromMSecsSinceEpoch(std::llround(Key * 1000.0), QTimeZone::utc());
    return QLocale::c().toString(T, Pattern);
}

TDateTimeTicker::TDateTimeTicker(const QString &Pattern) {
    setDateTimeFormat(Pattern);
    setTimeZone(QTimeZone::utc());
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
