#pragma once
// The speed a terminal line is set to, in bits per second, read from the
// kernel (works on both sides of a pseudo-terminal, also for odd speeds).
// -1 when the handle is no terminal.
int LineSpeed(int Handle);
