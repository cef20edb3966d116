#include "uWindows.h"

TWindowHooks &WindowHooks() {
    static TWindowHooks Hooks;
    return Hooks;
}
