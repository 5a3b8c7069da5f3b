#pragma once
// A plain HTTP/1.1 client over loopback for tests of a server: a request sent as given
// (whole, or a byte at a time), the answer read until the server closes or the body it
// announced is whole, and the answer's status code and body. Every wait is bounded.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace quorvex::test {

// A connected loopback TCP socket, or -1.
inline int ConnectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        return fd;
    }
    if (fd >= 0) ::close(fd);
    return -1;
}

// The length of the body an answer's header announces, once the header is whole; -1 before
// or without one.
inline long AnnouncedLength(const std::string& answer, std::size_t& headerEnd) {
    headerEnd = answer.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return -1;
    std::string header = answer.substr(0, headerEnd);
    for (char& c : header) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t at = header.find("\r\ncontent-length:");
    if (at == std::string::npos) return -1;
    return std::strtol(header.c_str() + at + 17, nullptr, 10);
}

// Everything the server sends on `fd` until it closes, the body it announced is whole, or
// `bound` passes.
inline std::string ReadUntilClosed(int fd, std::chrono::milliseconds bound) {
    std::string answer;
    const auto limit = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            limit - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) != 1) break;
        char chunk[16384];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        answer.append(chunk, static_cast<std::size_t>(n));
        std::size_t headerEnd = 0;
        const long length = AnnouncedLength(answer, headerEnd);
        if (length >= 0 && answer.size() >= headerEnd + 4 + static_cast<std::size_t>(length)) {
            break;
        }
    }
    return answer;
}

// Sends `request` (a byte every `pace` when not zero) and returns the answer; empty when no
// connection could be made. The server may answer and close before all is sent.
inline std::string Exchange(int port, const std::string& request,
                            std::chrono::milliseconds bound = std::chrono::seconds(20),
                            std::chrono::milliseconds pace = std::chrono::milliseconds(0)) {
    const int fd = ConnectLoopback(port);
    if (fd < 0) return {};
    if (pace.count() == 0) {
        for (std::size_t sent = 0; sent < request.size();) {
            const ssize_t n =
                ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
    } else {
        const auto limit = std::chrono::steady_clock::now() + bound;
        for (const char byte : request) {
            pollfd closed{fd, POLLIN, 0};
            if (::poll(&closed, 1, 0) == 1 || std::chrono::steady_clock::now() > limit) break;
            if (::send(fd, &byte, 1, MSG_NOSIGNAL) != 1) break;
            std::this_thread::sleep_for(pace);
        }
    }
    std::string answer = ReadUntilClosed(fd, bound);
    ::close(fd);
    return answer;
}

inline std::string Get(int port, const std::string& path) {
    return Exchange(port,
                    "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

// The status code of an answer ("HTTP/1.1 404 Not Found" gives 404); 0 when none.
inline int StatusOf(const std::string& answer) {
    if (!answer.starts_with("HTTP/1.") || answer.size() < 12) return 0;
    return std::stoi(answer.substr(9, 3));
}

// What follows the answer's header.
inline std::string BodyOf(const std::string& answer) {
    const std::size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

}  // namespace quorvex::test
