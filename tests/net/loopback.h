#pragma once
// What the network tests share: an event loop to run the user-interface side, the
// application's error display caught, and plain loopback sockets as the far end.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/application_errors.h"
#include "platform/main_thread.h"

namespace quorvex::net::test {

// The fixture of every network test: this thread is the user-interface thread, with a
// QCoreApplication whose event loop the test runs, and the errors that would reach the
// operator are collected instead of printed.
class LoopbackTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "net_tests";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
    }

    void SetUp() override {
        platform::InitialiseMainThread();
        platform::SetApplicationErrorHandler(
            [this](const std::string& message) { shownErrors.push_back(message); });
    }

    void TearDown() override { platform::SetApplicationErrorHandler(nullptr); }

    // Runs the event loop until `done` holds; false if it did not within 10 s (a hang check,
    // not a timing goal).
    static bool RunUntil(const std::function<bool()>& done) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > giveUp) return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
        return true;
    }

    // Runs the event loop for `ms`, for checks that something does not happen.
    static void Idle(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
    }

    std::vector<std::string> shownErrors;
};

// A plain socket of the given type on 127.0.0.1, bound to `port` (0: any free one).
// `reuseAddress`: as servers do, the port may be taken while an earlier connection to it
// lingers in TIME_WAIT (a test before this one that ended its connections first).
class LoopbackSocket {
  public:
    explicit LoopbackSocket(int type, int port = 0, bool reuseAddress = false)
        : fd_(::socket(AF_INET, type, 0)) {
        if (reuseAddress) {
            const int on = 1;
            ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        }
        sockaddr_in address = Loopback(port);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    explicit LoopbackSocket(int fd, bool) : fd_(fd), bound_(true) {}
    ~LoopbackSocket() { Close(); }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    static sockaddr_in Loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        return address;
    }

    int fd() const { return fd_; }
    int port() const { return port_; }
    bool bound() const { return bound_; }

    void SendTo(int port, std::string_view bytes) const {
        const sockaddr_in to = Loopback(port);
        ASSERT_EQ(::sendto(fd_, bytes.data(), bytes.size(), 0,
                           reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(bytes.size()));
    }
    void Send(std::string_view bytes) const {
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // A stream socket's next connection, waiting at most 10 s for it.
    int Accept() const {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 10000) != 1) return -1;
        return ::accept(fd_, nullptr, nullptr);
    }
    // Ends the connection with a reset instead of an orderly close.
    void Reset() {
        const linger abort{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        Close();
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
    int port_ = 0;
    bool bound_ = false;
};

// A TCP listener on 127.0.0.1.
inline std::unique_ptr<LoopbackSocket> Listener(int port = 0) {
    auto listener = std::make_unique<LoopbackSocket>(SOCK_STREAM, port, true);
    ::listen(listener->fd(), 4);
    return listener;
}

// A loopback TCP port with nothing listening on it.
inline int ClosedPort() {
    return LoopbackSocket(SOCK_STREAM).port();
}

}  // namespace quorvex::net::test
