#pragma once
// What a poll cycle's exchange of one request kind adds to the cycle's readings.
#include "Lanx1.h"
#include "uCycleReadings.h"

#include <cstdint>

// Takes the readings Kind brings (level, volume, frequency; all three for the
// read of everything) from the device object, with its plant number, address
// and error state, into Cycle.
void TakeCycleReadings(TLanx1 &Device, std::uint8_t Kind, TCycleReadings &Cycle);
