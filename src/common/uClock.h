#pragma once
// The one source of the current local date and time for the whole system.
//
// It is the system clock, moved by an offset when one is set: by a test that
// needs a given time of day, or by the environment variable LANX1_CLOCK_OFFSET_MS
// (milliseconds added to the system clock) that a test gives the programs it
// starts, so that they keep the same time as the test. The clock runs on in
// real time from wherever it was set.
//
// File times and time-outs are not this clock's: file times come from the
// kernel, time-outs from the monotonic clock.
#include <QDate>
#include <QDateTime>
#include <QTime>

// The current local date and time, date and time of day.
QDateTime CurrentDateTime();
QDate CurrentDate();
QTime CurrentTime();

// Makes the clock read Instant now and run on from there; returns the offset
// it set (milliseconds ahead of the system clock).
qint64 SetClock(const QDateTime &Instant);
// Back to the system clock, or to the offset of the environment when it has one.
void ResetClock();
// The offset in use, in milliseconds ahead of the system clock.
qint64 ClockOffsetMs();

// The environment variable that carries the offset into started programs.
inline constexpr char kClockOffsetVariable[] = "LANX1_CLOCK_OFFSET_MS";
