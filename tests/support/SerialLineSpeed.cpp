#include "SerialLineSpeed.h"

// termios2 carries the speed as a number; it cannot share a unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

int LineSpeed(int Handle) {
    termios2 T{};
    if (::ioctl(Handle, TCGETS2, &T) != 0)
        return -1;
    return static_cast<int>(T.c_ospeed);
}
