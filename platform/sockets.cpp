#include "platform/sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace quorvex::platform {
namespace {

struct ErrnoCode {
    int errnoValue;
    int code;
};

// errno to the Windows Sockets code space. The first row of a code is the one its system
// text comes from.
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {ENFILE, 10024},          {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {ENOMEM, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
    {EPIPE, 10058},        {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
    {EUSERS, 10068},       {EDQUOT, 10069},          {ESTALE, 10070},
    {EREMOTE, 10071},
};

// The lookup codes and the resolver errors whose texts they take.
struct LookupCode {
    int code;
    int gaiError;
};
constexpr LookupCode kLookupCodes[] = {
    {kWsaHostNotFound, EAI_NONAME},
    {kWsaTryAgain, EAI_AGAIN},
    {kWsaNoRecovery, EAI_FAIL},
    {kWsaNoData, EAI_NODATA},
};

int LookupError(int gaiError, int savedErrno) {
    switch (gaiError) {
        case EAI_NONAME:
            return kWsaHostNotFound;
        case EAI_AGAIN:
            return kWsaTryAgain;
        case EAI_NODATA:
        case EAI_ADDRFAMILY:
        case EAI_SERVICE:
            return kWsaNoData;
        case EAI_MEMORY:
            return kWsaENoBufs;
        case EAI_SYSTEM:
            return SocketErrorFromErrno(savedErrno);
        default:
            return kWsaNoRecovery;
    }
}

sockaddr_in ToSockaddr(const Ipv4Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(endpoint.port);
    return address;
}

Ipv4Endpoint FromSockaddr(const sockaddr_in& address) {
    return {ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}

int CreateSocket(int type, SocketHandle& handle) {
    handle = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    return handle < 0 ? LastSocketError() : 0;
}

}  // namespace

int SocketErrorFromErrno(int errnoValue) {
    if (errnoValue == 0) return 0;
    for (const ErrnoCode& row : kErrnoCodes) {
        if (row.errnoValue == errnoValue) return row.code;
    }
    return errnoValue;
}

int LastSocketError() {
    return SocketErrorFromErrno(errno);
}

std::string SocketErrorSystemText(int code) {
    for (const LookupCode& row : kLookupCodes) {
        if (row.code == code) return gai_strerror(row.gaiError);
    }
    int errnoValue = 0;
    if (code >= 10000) {
        for (const ErrnoCode& row : kErrnoCodes) {
            if (row.code == code) {
                errnoValue = row.errnoValue;
                break;
            }
        }
    } else if (code > 0) {
        errnoValue = code;
    }
    if (errnoValue == 0) return {};
    char buffer[256];
    // The GNU strerror_r: returns the text, in the buffer or a static one.
    return strerror_r(errnoValue, buffer, sizeof buffer);
}

std::string FormatIPv4(std::uint32_t address) {
    std::string text;
    text.reserve(15);  // the longest form; fits the string's own buffer, no heap allocation
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned octet = (address >> shift) & 0xFF;
        if (octet >= 100) text += static_cast<char>('0' + octet / 100);
        if (octet >= 10) text += static_cast<char>('0' + octet / 10 % 10);
        text += static_cast<char>('0' + octet % 10);
        if (shift > 0) text += '.';
    }
    return text;
}

bool ParseIPv4(std::string_view text, std::uint32_t& address) {
    std::uint32_t value = 0;
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (p == end || *p != '.') return false;
            ++p;
        }
        if (p == end || *p < '0' || *p > '9') return false;
        unsigned number = 0;
        const auto [next, error] = std::from_chars(p, end, number);
        if (error != std::errc() || number > 255 || next - p > 3) return false;
        value = (value << 8) | number;
        p = next;
    }
    if (p != end) return false;
    address = value;
    return true;
}

int CreateDatagramSocket(SocketHandle& handle) {
    return CreateSocket(SOCK_DGRAM, handle);
}

int CreateStreamSocket(SocketHandle& handle) {
    return CreateSocket(SOCK_STREAM, handle);
}

int CloseSocket(SocketHandle handle) {
    // Linux frees the descriptor even when close reports EINTR: never retry.
    return ::close(handle) == 0 || errno == EINTR ? 0 : LastSocketError();
}

int ShutdownSending(SocketHandle handle) {
    return ::shutdown(handle, SHUT_WR) == 0 ? 0 : LastSocketError();
}

int BindSocket(SocketHandle handle, const Ipv4Endpoint& local) {
    const sockaddr_in address = ToSockaddr(local);
    return ::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
               ? 0
               : LastSocketError();
}

int LocalEndpoint(SocketHandle handle, Ipv4Endpoint& local) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return LastSocketError();
    }
    local = FromSockaddr(address);
    return 0;
}

int SetReceiveBufferSize(SocketHandle handle, int bytes) {
    if (::setsockopt(handle, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0) {
        return LastSocketError();
    }
    return 0;
}

int SetKeepAlive(SocketHandle handle, int idleSeconds, int intervalSeconds, int probes) {
    const int on = 1;
    if (::setsockopt(handle, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0 ||
        ::setsockopt(handle, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds) != 0 ||
        ::setsockopt(handle, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds,
                     sizeof intervalSeconds) != 0 ||
        ::setsockopt(handle, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) != 0) {
        return LastSocketError();
    }
    return 0;
}

int SetBroadcast(SocketHandle handle, bool enabled) {
    const std::int32_t value = enabled ? -1 : 0;
    return ::setsockopt(handle, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) == 0
               ? 0
               : LastSocketError();
}

int EnableDropCount(SocketHandle handle) {
    const int on = 1;
    return ::setsockopt(handle, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on) == 0 ? 0
                                                                              : LastSocketError();
}

int ReceiveDatagram(SocketHandle handle, std::span<std::uint8_t> buffer, std::size_t& received,
                    Ipv4Endpoint& peer, std::uint32_t* drops) {
    received = 0;
    sockaddr_in from{};
    iovec data{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    // MSG_TRUNC makes the call return the datagram's real length, so a cut one is seen.
    ssize_t result;
    do {
        result = ::recvmsg(handle, &message, MSG_TRUNC);
    } while (result < 0 && errno == EINTR);
    if (result < 0) return LastSocketError();
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr && drops != nullptr;
         c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL &&
            c->cmsg_len >= CMSG_LEN(sizeof(std::uint32_t))) {
            std::memcpy(drops, CMSG_DATA(c), sizeof(std::uint32_t));
        }
    }
    if (static_cast<std::size_t>(result) > buffer.size()) return kWsaEMsgSize;
    received = static_cast<std::size_t>(result);
    peer = FromSockaddr(from);
    return 0;
}

int StartConnect(SocketHandle handle, const Ipv4Endpoint& remote) {
    const sockaddr_in address = ToSockaddr(remote);
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return 0;
    }
    // A connection being set up reads as "would block", as Windows Sockets reports it.
    if (errno == EINPROGRESS || errno == EINTR) return kWsaEWouldBlock;
    return LastSocketError();
}

int ConnectResult(SocketHandle handle) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return LastSocketError();
    }
    return SocketErrorFromErrno(error);
}

int BytesPending(SocketHandle handle, std::size_t& count) {
    int pending = 0;
    if (::ioctl(handle, FIONREAD, &pending) != 0) {
        count = 0;
        return LastSocketError();
    }
    count = pending > 0 ? static_cast<std::size_t>(pending) : 0;
    return 0;
}

int ReceiveBytes(SocketHandle handle, char* buffer, std::size_t size, std::size_t& received) {
    received = 0;
    ssize_t result;
    do {
        result = ::recv(handle, buffer, size, 0);
    } while (result < 0 && errno == EINTR);
    if (result < 0) return LastSocketError();
    received = static_cast<std::size_t>(result);
    return 0;
}

int ProbeStreamEnd(SocketHandle handle, bool& ended) {
    ended = false;
    char byte;
    ssize_t result;
    do {
        result = ::recv(handle, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    } while (result < 0 && errno == EINTR);
    if (result < 0) return LastSocketError();
    ended = result == 0;
    return 0;
}

int LookupHostIPv4(const std::string& host, std::uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (error != 0) return LookupError(error, errno);
    int code = kWsaNoData;
    for (const addrinfo* entry = result; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET) {
            address = FromSockaddr(*reinterpret_cast<const sockaddr_in*>(entry->ai_addr)).address;
            code = 0;
            break;
        }
    }
    ::freeaddrinfo(result);
    return code;
}

int LookupTcpService(const std::string& service, std::uint16_t& port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* result = nullptr;
    const int error = ::getaddrinfo(nullptr, service.c_str(), &hints, &result);
    if (error != 0) return LookupError(error, errno);
    port = FromSockaddr(*reinterpret_cast<const sockaddr_in*>(result->ai_addr)).port;
    ::freeaddrinfo(result);
    return 0;
}

SocketReadiness::SocketReadiness() {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) createError_ = LastSocketError();
}

SocketReadiness::~SocketReadiness() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

int SocketReadiness::Wait(std::span<const SocketHandle> sockets, int timeoutMs,
                          std::vector<bool>& readable) {
    readable.assign(sockets.size(), false);
    if (createError_ != 0) return createError_;
    std::vector<pollfd> fds;
    fds.reserve(sockets.size() + 1);
    for (SocketHandle handle : sockets) fds.push_back({handle, POLLIN, 0});
    fds.push_back({wakeFd_, POLLIN, 0});
    if (woken_.load()) return 0;
    const int result = ::poll(fds.data(), fds.size(), timeoutMs);
    if (result < 0) return errno == EINTR ? 0 : LastSocketError();
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        // An error or hang-up is reported as readable: the receive call then tells what it is.
        readable[i] = (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
    }
    return 0;
}

void SocketReadiness::Wake() {
    woken_.store(true);
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        // The counter only grows; a full one (never reached here) still wakes the poll.
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    }
}

bool SocketReadiness::Woken() const {
    return woken_.load();
}

}  // namespace quorvex::platform
