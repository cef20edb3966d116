#pragma once
// TDateTime: days since 30 December 1899, the fraction being the time of day.
// Negative values count days backwards while the fraction still is the time
// (-1.25 is 29 December 1899, 06:00), the usual convention of the type.
#include <QDateTime>

using TDateTime = double;

// Local date-time <-> TDateTime, exact to the millisecond.
TDateTime DateTimeFromQt(const QDateTime &Value);
QDateTime DateTimeToQt(TDateTime Value);
TDateTime DateFromQt(QDate Value);

// The current local date and time.
TDateTime Now();

// The whole days of Value (its date at midnight).
TDateTime DateOf(TDateTime Value);
// Whether Value falls exactly on midnight.
bool IsMidnight(TDateTime Value);
