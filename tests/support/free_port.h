#pragma once
// A loopback UDP or TCP port that nobody listens on at the moment of asking, or one held.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvex::test {

// `type`: SOCK_DGRAM or SOCK_STREAM.
inline int FreePort(int type) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A loopback TCP port held by a listener for as long as this lives: a port already taken.
class HeldTcpPort {
  public:
    HeldTcpPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(fd_, 1) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~HeldTcpPort() { Release(); }
    HeldTcpPort(const HeldTcpPort&) = delete;
    HeldTcpPort& operator=(const HeldTcpPort&) = delete;

    // 0 when no port could be held.
    int Port() const { return port_; }
    // The port is free again.
    void Release() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
    int port_ = 0;
};

inline int FreeUdpPort() {
    return FreePort(SOCK_DGRAM);
}
inline int FreeTcpPort() {
    return FreePort(SOCK_STREAM);
}

}  // namespace quorvex::test
