#include "tools/sim/tcp_fan_out.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "tools/sim/tcp_listener.h"

namespace quorvex::sim {

TcpFanOut::TcpFanOut(int port, const std::string& what) {
    const TcpListener listener = ListenTcp(port, what);
    listener_ = listener.fd;
    port_ = listener.port;
}

TcpFanOut::~TcpFanOut() {
    for (const Client& client : clients_) ::close(client.fd);
    ::close(listener_);
}

void TcpFanOut::Close(std::size_t index) {
    ::close(clients_[index].fd);
    clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::vector<std::uint64_t> TcpFanOut::Clients() {
    // Anything a client sends is read and dropped; an end or an error means it left.
    for (std::size_t i = clients_.size(); i-- > 0;) {
        pollfd watch{clients_[i].fd, POLLIN, 0};
        if (::poll(&watch, 1, 0) <= 0) continue;
        char discard[512];
        const ssize_t n = ::recv(clients_[i].fd, discard, sizeof discard, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN) || (watch.revents & (POLLERR | POLLHUP))) {
            Close(i);
        }
    }
    for (int fd; (fd = AcceptClient(listener_)) >= 0;) clients_.push_back({nextId_++, fd});
    std::vector<std::uint64_t> ids;
    ids.reserve(clients_.size());
    for (const Client& client : clients_) ids.push_back(client.id);
    return ids;
}

std::size_t TcpFanOut::Write(std::uint64_t id, std::string_view bytes) {
    for (std::size_t i = 0; i < clients_.size(); ++i) {
        if (clients_[i].id != id) continue;
        const ssize_t n =
            ::send(clients_[i].fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) return static_cast<std::size_t>(n);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) Close(i);
        return 0;
    }
    return 0;
}

}  // namespace quorvex::sim
