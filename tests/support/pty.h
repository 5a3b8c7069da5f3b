#pragma once
// Pseudo-terminals as the far end of a serial line, and running the event loop (with it the
// ports' hand-overs) until a condition holds. The test program provides the application.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvex::test {

inline void MakeRaw(int fd) {
    termios line{};
    if (::tcgetattr(fd, &line) != 0) throw std::runtime_error("tcgetattr");
    ::cfmakeraw(&line);
    if (::tcsetattr(fd, TCSANOW, &line) != 0) throw std::runtime_error("tcsetattr");
}

// A pseudo-terminal pair: the test writes at the master; a port opens the slave by Path().
// Both ends raw, so nothing is echoed or held back for a line end.
class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        path_ = ::ptsname(master_);
        MakeRaw(master_);
        // The observer: a slave descriptor of the test's own, opened before any port takes
        // the terminal exclusively, to see how many bytes wait on the slave side.
        observer_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (observer_ < 0) throw std::runtime_error("cannot open " + path_);
        MakeRaw(observer_);
    }
    ~Pty() {
        CloseMaster();
        ::close(observer_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Path() const { return path_; }
    int Master() const { return master_; }
    int Observer() const { return observer_; }

    void Write(std::string_view bytes) const {
        while (!bytes.empty()) {
            const ssize_t n = ::write(master_, bytes.data(), bytes.size());
            if (n <= 0) throw std::runtime_error("write to the pseudo-terminal failed");
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    int WaitingOnSlave() const {
        int count = 0;
        ::ioctl(observer_, FIONREAD, &count);
        return count;
    }

  private:
    int master_ = -1;
    int observer_ = -1;
    std::string path_;
};

// Runs the event loop, and with it the hand-overs, until `done` or until `limit` passed.
inline bool ServeUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    QTimer wake;  // lets the loop look at `done` when nothing is handed over
    wake.start(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Waits (bounded) until the kernel holds `count` bytes for the slave side.
inline bool WaitUntilWaiting(const Pty& pty, int count) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pty.WaitingOnSlave() < count) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        ::usleep(1000);
    }
    return true;
}

}  // namespace quorvex::test
