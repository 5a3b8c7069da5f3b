#include "tools/sim/feed_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "tools/sim/tcp_listener.h"

namespace quorvex::sim {

FeedServer::FeedServer(int port) {
    const TcpListener listener = ListenTcp(port, "feed");
    listener_ = listener.fd;
    port_ = listener.port;
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
        const int waiting = AcceptClient(listener_);
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
