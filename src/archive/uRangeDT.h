#pragma once
// A start/stop pair of date-times for reading the archive. Parts left out are
// filled in: no date means yesterday (start) or today (stop), no time (less
// than one second) means the current time of day.
#include "uDateTime.h"

class TRangeDT {
public:
    // The last 24 hours: yesterday at this time to today at this time.
    TRangeDT();

    void SetStart(TDateTime X);
    void SetStop(TDateTime X);
    // Takes both ends, each completed as SetStart and SetStop do; a pair whose
    // completed start lies after its completed stop is refused (false) and
    // nothing changes.
    bool SetRange(TDateTime NewStart, TDateTime NewStop);

    TDateTime GetStart() const { return FStart; }
    TDateTime GetStop() const { return FStop; }

    // X with a missing date replaced by DefaultDate and a missing time by the
    // current time of day; Now is passed in so that both ends can share one.
    static TDateTime Complete(TDateTime X, TDateTime DefaultDate, TDateTime Now);

private:
    TDateTime FStart = 0;
    TDateTime FStop = 0;
};
