#include "platform/serial_termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdlib>

namespace quorvex::platform::detail {
namespace {

tcflag_t CharacterSize(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

}  // namespace

int ApplyTermios2(int fd, const SerialLineSettings& settings, const char*& operation) {
    operation = "line settings";
    if (settings.BaudRate <= 0 || settings.BaudRate > 0x7fffffff || settings.DataBits < 5 ||
        settings.DataBits > 8) {
        return EINVAL;
    }
    termios2 line{};
    operation = "TCGETS2";
    if (::ioctl(fd, TCGETS2, &line) != 0) return errno;

    // Raw bytes in both directions.
    line.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                      IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    line.c_oflag &= ~OPOST;
    line.c_lflag &= ~(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
    line.c_cflag &=
        ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= CREAD | CLOCAL | CharacterSize(settings.DataBits);

    switch (settings.Parity) {
        case SerialParity::None:
            break;
        case SerialParity::Odd:
            line.c_cflag |= PARENB | PARODD;
            break;
        case SerialParity::Even:
            line.c_cflag |= PARENB;
            break;
        case SerialParity::Mark:
            line.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case SerialParity::Space:
            line.c_cflag |= PARENB | CMSPAR;
            break;
    }
    if (settings.ParityCheck) line.c_iflag |= INPCK;
    // With five data bits the UART sends one and a half stop bits for CSTOPB.
    if (settings.StopBits != SerialStopBits::One) line.c_cflag |= CSTOPB;
    if (settings.HardwareFlow) line.c_cflag |= CRTSCTS;
    if (settings.XonXoffOut) line.c_iflag |= IXON;
    if (settings.XonXoffIn) line.c_iflag |= IXOFF;
    line.c_cc[VSTART] = settings.XonChar;
    line.c_cc[VSTOP] = settings.XoffChar;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;

    // Any rate, in both directions.
    line.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    line.c_ispeed = static_cast<speed_t>(settings.BaudRate);
    line.c_ospeed = static_cast<speed_t>(settings.BaudRate);

    operation = "TCSETS2";
    if (::ioctl(fd, TCSETS2, &line) != 0) return errno;

    // The driver writes back the rate it produces; one far from the asked rate would garble
    // every byte, so it counts as refused.
    termios2 applied{};
    operation = "TCGETS2";
    if (::ioctl(fd, TCGETS2, &applied) != 0) return errno;
    const std::int64_t actual = applied.c_ospeed;
    if (std::llabs(actual - settings.BaudRate) * 100 > settings.BaudRate * 3) {
        operation = "baud rate";
        return EINVAL;
    }
    return 0;
}

}  // namespace quorvex::platform::detail
