#include "tools/sim/pty_stream.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace quorvex::sim {

PtyStream::PtyStream(std::function<void(const std::string&)> announce)
    : announce_(std::move(announce)) {
    Open();
}

PtyStream::~PtyStream() {
    if (master_ >= 0) ::close(master_);
}

void PtyStream::Open() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128];
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        const int error = errno;
        if (master_ >= 0) ::close(master_);
        master_ = -1;
        throw std::runtime_error(std::string("no pseudo-terminal: ") + std::strerror(error));
    }
    path_ = name;
    termios line{};
    if (::tcgetattr(master_, &line) == 0) {
        ::cfmakeraw(&line);
        ::tcsetattr(master_, TCSANOW, &line);
    }
    // Opened and closed once, the slave leaves the master reporting a hang-up until the
    // next reader opens it: that is how a reader is seen to come and go.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slave >= 0) ::close(slave);
    if (announce_) announce_(path_);
}

bool PtyStream::ReaderPresent() {
    // Whatever the reader sends back is of no interest; left unread it could stall the line.
    char discard[256];
    while (::read(master_, discard, sizeof discard) > 0) {
    }
    pollfd watch{master_, POLLOUT, 0};
    if (::poll(&watch, 1, 0) < 0) return false;
    return (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

std::size_t PtyStream::Write(std::string_view bytes) {
    const ssize_t n = ::write(master_, bytes.data(), bytes.size());
    return n > 0 ? static_cast<std::size_t>(n) : 0;  // EAGAIN: full; EIO: the reader left
}

bool PtyStream::HangUp() {
    ::close(master_);
    master_ = -1;
    Open();
    return true;
}

}  // namespace quorvex::sim
