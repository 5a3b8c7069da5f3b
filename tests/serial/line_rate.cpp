#include "line_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace quorvex::test {

long LineRate(int fd) {
    termios2 line{};
    if (::ioctl(fd, TCGETS2, &line) != 0) return -1;
    return static_cast<long>(line.c_ospeed);
}

}  // namespace quorvex::test
