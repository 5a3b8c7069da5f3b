#pragma once
// Line settings through termios2. Kept apart because the kernel's <asm/termbits.h>, which
// termios2 needs, clashes with the C library's <termios.h>: only serial_termios2.cpp
// includes it.

#include "platform/serial_device.h"

namespace quorvex::platform::detail {

// Applies `settings` to the terminal `fd` in raw mode. Returns 0 or the errno of the
// failure; `operation` names the step that failed.
int ApplyTermios2(int fd, const SerialLineSettings& settings, const char*& operation);

}  // namespace quorvex::platform::detail
