#include "tools/sim/feed_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace quorvex::sim {

FeedServer::FeedServer(int port) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        if (listener_ >= 0) ::close(listener_);
        throw std::runtime_error("feed on TCP port " + std::to_string(port) + ": " +
                                 std::strerror(error));
    }
    port_ = ntohs(address.sin_port);
}

FeedServer::~FeedServer() {
    CloseClient();
    ::close(listener_);
}

void FeedServer::CloseClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
}

bool FeedServer::Connected() {
    if (client_ >= 0) {
        // Anything the client sends is read and dropped; an end or an error means it left.
        pollfd watch{client_, POLLIN, 0};
        if (::poll(&watch, 1, 0) > 0) {
            char discard[512];
            const ssize_t n = ::recv(client_, discard, sizeof discard, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN) || (watch.revents & (POLLERR | POLLHUP))) {
                CloseClient();
            }
        }
    }
    for (;;) {
        const int waiting = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (waiting < 0) break;
        if (client_ < 0) {
            client_ = waiting;
        } else {
            ::close(waiting);
        }
    }
    return client_ >= 0;
}

std::size_t FeedServer::Write(std::string_view bytes) {
    if (client_ < 0) return 0;
    const ssize_t n = ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) return static_cast<std::size_t>(n);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) CloseClient();
    return 0;
}

void FeedServer::Reset() {
    if (client_ < 0) return;
    // Lingering for zero seconds makes the close a reset.
    const linger abort{1, 0};
    ::setsockopt(client_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    CloseClient();
}

}  // namespace quorvex::sim
