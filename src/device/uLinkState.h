#pragma once
// The state of the link to the device after each poll cycle, for those that
// show it away from the program (the MQTT publisher's link topic): "ok", or
// what the first failed exchange of the cycle met, with the device's code
// and text.
#include "uDateTime.h"

#include <QString>
#include <functional>

struct TLinkState {
    // "ok", "no answer", "checksum error", "mismatch", "exception N",
    // "status N", "no signal", "device error N", "port lost", "not sent"
    QString State;
    int Error = 0;     // the device object's error code; 0 with "ok"
    QString ErrorText; // its text ("Нет ответа от устройства")
    TDateTime At = 0;  // when the cycle ended
    // The device's plant number as told since the port was opened; -1 when
    // it has not told it (yet).
    int PlantNumber = -1;
    bool Ok() const { return State == QLatin1String("ok"); }
};

using TLinkListener = std::function<void(const TLinkState &State)>;
// Registers a listener; the id removes it again (waiting for a call in progress).
int AddLinkListener(TLinkListener Listener);
void RemoveLinkListener(int Id);
// Hands the state of a cycle to every listener (the polling engine calls this).
void ReportLinkState(const TLinkState &State);
