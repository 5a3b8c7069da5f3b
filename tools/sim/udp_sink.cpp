#include "tools/sim/udp_sink.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace quorvex::sim {

UdpSink::UdpSink(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found); error != 0) {
        throw std::runtime_error("UDP host " + host + ": " + ::gai_strerror(error));
    }
    std::memcpy(&to_, found->ai_addr, sizeof to_);
    ::freeaddrinfo(found);
    to_.sin_port = htons(static_cast<std::uint16_t>(port));
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket_ < 0) throw std::runtime_error(std::string("UDP socket: ") + std::strerror(errno));
}

UdpSink::~UdpSink() {
    if (socket_ >= 0) ::close(socket_);
}

bool UdpSink::Send(std::string_view datagram) {
    const ssize_t n = ::sendto(socket_, datagram.data(), datagram.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
    return n == static_cast<ssize_t>(datagram.size());
}

}  // namespace quorvex::sim
