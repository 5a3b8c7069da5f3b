#pragma once
// The rate a terminal's line is set to, as termios2 reports it (any rate, not only the
// B-constants). Kept apart: the kernel's termios2 header clashes with <termios.h>.

namespace quorvex::test {

long LineRate(int fd);

}  // namespace quorvex::test
