#include "uRangeDT.h"

#include <cmath>

namespace {

constexpr double kOneSecond = 1.0 / 86400.0;

// Date part plus time part, the time counting forward from the date's midnight
// also for the (theoretical) days before 30 December 1899.
TDateTime Compose(double Date, double Time) {
    return Date >= 0 ? Date + Time : Date - Time;
}

} // namespace

TRangeDT::TRangeDT() {
    const TDateTime T = Now();
    const double Today = DateOf(T);
    const double TimeNow = std::fabs(T - Today);
    SetRange(Compose(Today - 1, TimeNow), Compose(Today, TimeNow));
}

TDateTime TRangeDT::Complete(TDateTime X, TDateTime DefaultDate, TDateTime Now) {
    double Date = std::trunc(X);
    double Time = std::fabs(X - Date);
    if (Date == 0)
        Date = DefaultDate;
    if (Time < kOneSecond)
        Time = std::fabs(Now - DateOf(Now));
    return Compose(Date, Time);
}

void TRangeDT::SetStart(TDateTime X) {
    if (X == FStart)
        return;
    const TDateTime T = Now();
    FStart = Complete(X, DateOf(T) - 1, T);
}

void TRangeDT::SetStop(TDateTime X) {
    if (X == FStop)
        return;
    const TDateTime T = Now();
    FStop = Complete(X, DateOf(T), T);
}

bool TRangeDT::SetRange(TDateTime NewStart, TDateTime NewStop) {
    const TDateTime T = Now();
    const TDateTime Start = NewStart == FStart ? FStart : Complete(NewStart, DateOf(T) - 1, T);
    const TDateTime Stop = NewStop == FStop ? FStop : Complete(NewStop, DateOf(T), T);
    if (Start > Stop)
        return false;
    FStart = Start;
    FStop = Stop;
    return true;
}
