#include "uTimeOut.h"

TTimeOut::TTimeOut() : FStamp(Now()) {}
