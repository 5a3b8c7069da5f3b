#include "platform/serial_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/serial_termios2.h"

namespace quorvex::platform {
namespace {

// A pseudo-terminal refuses the modem-line and counter ioctls: it has neither.
bool NotSupported(int error) {
    return error == ENOTTY || error == EINVAL;
}

// The device has gone away (adapter unplugged, far end of a pseudo-terminal closed).
bool DeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

}  // namespace

SerialDevice::~SerialDevice() {
    Close();
}

bool SerialDevice::Fail(const char* operation, int error) {
    lastOperation_ = operation;
    lastError_ = error;
    return false;
}

bool SerialDevice::Open(const std::string& path) {
    if (fd_ >= 0) return Fail("open", EBUSY);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Fail("open", errno);
    // The lock is what keeps out another program (root ignores the terminal's exclusive
    // mode); a held lock reads as a busy device.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return Fail("flock", error);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;  // ENOTTY: not a terminal, so no serial device
        ::close(fd);
        return Fail("TIOCEXCL", error);
    }
    fd_ = fd;
    countersKnown_ = ReadErrorCountersOn(fd_, counters_);
    return true;
}

void SerialDevice::Close() {
    if (fd_ < 0) return;
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // releases the lock as well
    fd_ = -1;
    countersKnown_ = false;
}

bool SerialDevice::SetQueueSizes(int input, int output) {
    if (input < 0 || output < 0) return Fail("queue sizes", EINVAL);
    inputQueue_ = input;
    outputQueue_ = output;
    return true;
}

bool SerialDevice::ApplyLineSettings(const SerialLineSettings& settings) {
    const char* operation = "";
    if (const int error = detail::ApplyTermios2(fd_, settings, operation)) {
        return Fail(operation, error);
    }
    int dtrRts = TIOCM_DTR;
    if (!settings.HardwareFlow) dtrRts |= TIOCM_RTS;
    const int active = (settings.Dtr ? TIOCM_DTR : 0) | (settings.Rts ? TIOCM_RTS : 0);
    const int on = active & dtrRts;
    const int off = ~active & dtrRts;
    if (on != 0 && ::ioctl(fd_, TIOCMBIS, &on) != 0 && !NotSupported(errno)) {
        return Fail("TIOCMBIS", errno);
    }
    if (off != 0 && ::ioctl(fd_, TIOCMBIC, &off) != 0 && !NotSupported(errno)) {
        return Fail("TIOCMBIC", errno);
    }
    return true;
}

bool SerialDevice::BytesWaiting(int& count) {
    if (!BytesWaitingOn(fd_, count)) return Fail("FIONREAD", errno);
    return true;
}

bool SerialDevice::Read(char* block, std::size_t count, std::size_t& got) {
    got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd_, block + got, count - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0 || errno == EAGAIN) {
            break;
        } else if (errno != EINTR) {
            return Fail("read", errno);
        }
    }
    return true;
}

bool SerialDevice::ReadErrors(SerialErrors& errors) {
    errors = {};
    if (!countersKnown_) return true;
    SerialErrorCounters now;
    if (!ReadErrorCountersOn(fd_, now)) {
        if (NotSupported(errno)) return true;
        return Fail("TIOCGICOUNT", errno);
    }
    errors.Frame = now.Frame != counters_.Frame;
    errors.Parity = now.Parity != counters_.Parity;
    errors.Overrun = now.Overrun != counters_.Overrun;
    errors.Break = now.Break != counters_.Break;
    errors.Overflow = now.Overflow != counters_.Overflow;
    counters_ = now;
    return true;
}

bool SerialDevice::ReadModemLines(SerialModemLines& lines) {
    lines = {};
    int status = 0;
    if (::ioctl(fd_, TIOCMGET, &status) != 0) {
        if (NotSupported(errno)) return true;
        return Fail("TIOCMGET", errno);
    }
    lines.Cts = (status & TIOCM_CTS) != 0;
    lines.Dsr = (status & TIOCM_DSR) != 0;
    lines.Ring = (status & TIOCM_RNG) != 0;
    lines.Rlsd = (status & TIOCM_CD) != 0;
    return true;
}

bool SerialDevice::Purge() {
    if (::tcflush(fd_, TCIOFLUSH) != 0 && !DeviceGone(errno)) return Fail("tcflush", errno);
    return true;
}

bool SerialDevice::BytesWaitingOn(int fd, int& count) {
    count = 0;
    return ::ioctl(fd, FIONREAD, &count) == 0;
}

bool SerialDevice::ReadErrorCountersOn(int fd, SerialErrorCounters& counters) {
    serial_icounter_struct icount{};
    if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
    counters.Frame = icount.frame;
    counters.Parity = icount.parity;
    counters.Overrun = icount.overrun;
    counters.Break = icount.brk;
    counters.Overflow = icount.buf_overrun;
    return true;
}

void SerialDevice::PurgeOn(int fd) {
    ::tcflush(fd, TCIOFLUSH);
}

SerialWatch::SerialWatch() {
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) error_ = errno;
}

SerialWatch::~SerialWatch() {
    if (stopFd_ >= 0) ::close(stopFd_);
}

SerialWatch::Result SerialWatch::Wait(int device, bool forData, int timeoutMs) {
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {device, static_cast<short>(forData ? POLLIN : 0), 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, timeoutMs < 0 ? -1 : timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return Result::Failed;
        }
        if (ready == 0) return Result::TimedOut;
        if (fds[0].revents != 0) return Result::Stopped;
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) return Result::HungUp;
        if (fds[1].revents & POLLIN) return Result::Readable;
        return Result::Failed;  // nothing that was asked for: never loop on it
    }
}

void SerialWatch::Stop() {
    const std::uint64_t one = 1;
    // Cannot fail short of a full counter, which a stop already signalled explains.
    [[maybe_unused]] const ssize_t written = ::write(stopFd_, &one, sizeof one);
}

}  // namespace quorvex::platform
