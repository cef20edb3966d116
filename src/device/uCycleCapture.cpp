#include "uCycleCapture.h"

void TakeCycleReadings(TLanx1 &Device, std::uint8_t Kind, TCycleReadings &Cycle) {
    const bool All = Kind == rkReadAll;
    if (All || Kind == rkReadLevel)
        Cycle.Level = Device.Level.AsDouble();
    if (All || Kind == rkReadVolume)
        Cycle.Volume = Device.Volume.AsDouble();
    if (All || Kind == rkReadFrequency)
        Cycle.Frequency = Device.Frequency.AsInteger();
    Cycle.PlantNumber = Device.PlantNumber();
    Cycle.Address = Device.SystemAddress();
    Cycle.Error = Device.LastErrorCode();
    Cycle.ErrorText = Device.LastErrorText();
}
