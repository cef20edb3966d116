#pragma once
#include "uDateTime.h"

// The modal "Временной диапазон" dialog; on OK (result 1) writes the chosen
// start and stop back, otherwise leaves both unchanged.
int ShowRangeDialog(TDateTime &Start, TDateTime &Stop);
