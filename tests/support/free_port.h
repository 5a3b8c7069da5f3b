#pragma once
// A loopback UDP or TCP port that nobody listens on at the moment of asking.

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

inline int FreeUdpPort() {
    return FreePort(SOCK_DGRAM);
}
inline int FreeTcpPort() {
    return FreePort(SOCK_STREAM);
}

}  // namespace quorvex::test
