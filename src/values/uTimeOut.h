#pragma once
#include "uDateTime.h"
#include "uPersistent.h"

// The time stamp a data binding carries with its value.
class TTimeOut : public TPersistent {
public:
    TTimeOut();
    TDateTime Stamp() const { return FStamp; }
    void SetStamp(TDateTime Value) { FStamp = Value; }
    TDateTime Period() const { return FPeriod; }
    void SetPeriod(TDateTime Value) { FPeriod = Value; }

private:
    TDateTime FStamp;
    TDateTime FPeriod = 1.0 / 1440; // one minute
};
