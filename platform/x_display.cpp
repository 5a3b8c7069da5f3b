#include "platform/x_display.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/file_descriptor.h"
#include "platform/whole_file.h"

namespace quorvex::platform {
namespace {

constexpr int kLargestNumber = 59535;  // 6000 + number is still a port

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Connects `fd` to `address` within the bound; 0 or an errno.
int Connect(int fd, const sockaddr* address, socklen_t length, int milliseconds) {
    if (::connect(fd, address, length) == 0) return 0;
    if (errno != EINPROGRESS) return errno;
    pollfd writable{fd, POLLOUT, 0};
    const int ready = ::poll(&writable, 1, milliseconds);
    if (ready == 0) return ETIMEDOUT;
    if (ready < 0) return errno;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

// The server's socket on this machine: the abstract one first, as X clients try it, then
// the one in the file system. 0 or the file system socket's errno.
int ConnectLocal(int number) {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    int error = 0;
    for (const bool abstract : {true, false}) {
        const FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (fd.get() < 0) return errno;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0;  // an abstract name starts with a zero
        std::memcpy(address.sun_path + offset, path.data(), path.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                                   path.size() + (abstract ? 0 : 1));
        error = Connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), length, 0);
        if (error == 0) return 0;
    }
    return error;
}

// The server's TCP port on `host`: empty when an address of it answered, else why not.
std::string ConnectTcp(const std::string& host, int number) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup =
        ::getaddrinfo(host.c_str(), std::to_string(6000 + number).c_str(), &hints, &found);
    if (lookup != 0) return ::gai_strerror(lookup);
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);
    int error = EHOSTUNREACH;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const FileDescriptor fd(
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
        if (fd.get() < 0) continue;
        error = Connect(fd.get(), a->ai_addr, a->ai_addrlen, kXDisplayConnectMilliseconds);
        if (error == 0) return {};
    }
    return ErrorText(error);
}

}  // namespace

std::optional<XDisplayAddress> ParseXDisplay(std::string_view display) {
    const std::size_t slash = display.find('/');
    const std::size_t colon = display.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    if (slash != std::string_view::npos && slash < colon) {
        if (slash == 0) return std::nullopt;  // a socket path
        display.remove_prefix(slash + 1);     // the protocol is taken from the host
    }
    const std::size_t at = display.rfind(':');
    std::string_view host = display.substr(0, at);
    std::string_view number = display.substr(at + 1);
    number = number.substr(0, number.find('.'));
    if (host.ends_with(':') || !AllDigits(number) || number.size() > 5) return std::nullopt;
    XDisplayAddress address;
    address.Number = std::stoi(std::string(number));
    if (address.Number > kLargestNumber) return std::nullopt;
    if (host.starts_with('[') && host.ends_with(']')) host = host.substr(1, host.size() - 2);
    address.Local = host.empty() || host == "unix";
    if (!address.Local) address.Host = std::string(host);
    return address;
}

std::string XDisplayUnreachable(const std::string& display) {
    const std::optional<XDisplayAddress> address = ParseXDisplay(display);
    if (!address) return {};
    if (!address->Local) return ConnectTcp(address->Host, address->Number);
    const int error = ConnectLocal(address->Number);
    return error == 0 ? std::string() : ErrorText(error);
}

}  // namespace quorvex::platform
