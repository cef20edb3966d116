#include "uDateTime.h"

#include "uClock.h"

#include <cmath>

namespace {
constexpr qint64 kMsPerDay = 86400000;
const qint64 kEpochJulianDay = QDate(1899, 12, 30).toJulianDay();
} // namespace

TDateTime DateFromQt(QDate Value) {
    return static_cast<double>(Value.toJulianDay() - kEpochJulianDay);
}

TDateTime DateTimeFromQt(const QDateTime &Value) {
    const double Days = DateFromQt(Value.date());
    const double Fraction = static_cast<double>(Value.time().msecsSinceStartOfDay()) / kMsPerDay;
    return Days >= 0 ? Days + Fraction : Days - Fraction;
}

QDateTime DateTimeToQt(TDateTime Value) {
    if (!std::isfinite(Value))
        return {};
    double Days = std::trunc(Value);
    qint64 Ms = std::llround(std::fabs(Value - Days) * kMsPerDay);
    if (Ms >= kMsPerDay) { // rounding carried into the next day
        Ms -= kMsPerDay;
        Days += Value >= 0 ? 1 : -1;
    }
    const QDate Date = QDate::fromJulianDay(kEpochJulianDay + static_cast<qint64>(Days));
    return QDateTime(Date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(Ms)));
}

TDateTime Now() {
    return DateTimeFromQt(CurrentDateTime());
}

TDateTime DateOf(TDateTime Value) {
    return std::trunc(Value);
}

bool IsMidnight(TDateTime Value) {
    return DateTimeToQt(Value).time().msecsSinceStartOfDay() == 0;
}
