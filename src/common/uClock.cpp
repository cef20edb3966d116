#include "uClock.h"

#include <QByteArray>
#include <atomic>

namespace {

qint64 OffsetFromEnvironment() {
    bool Ok = false;
    const qint64 Value = qEnvironmentVariable(kClockOffsetVariable).toLongLong(&Ok);
    return Ok ? Value : 0;
}

// Read by every thread that stamps a value; set by tests before they start any.
std::atomic<qint64> &Offset() {
    static std::atomic<qint64> Value{OffsetFromEnvironment()};
    return Value;
}

} // namespace

QDateTime CurrentDateTime() {
    const qint64 Ms = QDateTime::currentMSecsSinceEpoch() + Offset().load(std::memory_order_relaxed);
    return QDateTime::fromMSecsSinceEpoch(Ms);
}

QDate CurrentDate() {
    return CurrentDateTime().date();
}

QTime CurrentTime() {
    return CurrentDateTime().time();
}

qint64 SetClock(const QDateTime &Instant) {
    const qint64 Value = Instant.toMSecsSinceEpoch() - QDateTime::currentMSecsSinceEpoch();
    Offset().store(Value);
    return Value;
}

void ResetClock() {
    Offset().store(OffsetFromEnvironment());
}

qint64 ClockOffsetMs() {
    return Offset().load();
}
