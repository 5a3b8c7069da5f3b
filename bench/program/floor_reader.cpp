// The floor for bench/user_run.sh: the least a program must do to take in what Quorvex takes
// in. It reads a receiver's pseudo-terminal, a UDP port and a port-30003 feed with one poll
// loop, one read per ready input (a datagram per recv), counts bytes, packets (";") and
// lines, and throws the rest away. At SIGTERM or SIGINT it prints its counts and exits.
//
// Usage: floor_reader --pty PATH --udp PORT --feed PORT   (all three required)
//        floor_reader --free-udp-port   (prints a UDP port free on 127.0.0.1 just now)

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

volatile sig_atomic_t stopped = 0;

void Stop(int) {
    stopped = 1;
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "floor_reader: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

int BoundUdp(int port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        Fail("UDP port " + std::to_string(port));
    }
    return fd;
}

// The simulator's feed server listens before it sends anything; a refusal is tried again.
int ConnectedFeed(int port) {
    const sockaddr_in address = Loopback(port);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) Fail("feed socket");
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
            return fd;
        }
        ::close(fd);
        ::usleep(50000);
    }
    Fail("feed port " + std::to_string(port));
}

int OpenedPty(const char* path) {
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) Fail(path);
    termios line{};
    if (::tcgetattr(fd, &line) == 0) {
        ::cfmakeraw(&line);
        ::cfsetspeed(&line, B3000000);
        ::tcsetattr(fd, TCSANOW, &line);
    }
    return fd;
}

struct Counts {
    std::uint64_t reads = 0, bytes = 0, units = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--free-udp-port") {
        const int fd = BoundUdp(0);
        sockaddr_in bound{};
        socklen_t length = sizeof bound;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
        std::printf("%d\n", ntohs(bound.sin_port));
        return 0;
    }
    const char* pty = nullptr;
    int udpPort = -1, feedPort = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        if (name == "--pty") pty = argv[i + 1];
        if (name == "--udp") udpPort = std::atoi(argv[i + 1]);
        if (name == "--feed") feedPort = std::atoi(argv[i + 1]);
    }
    if (!pty || udpPort <= 0 || feedPort <= 0) {
        std::fprintf(stderr, "Usage: floor_reader --pty PATH --udp PORT --feed PORT\n");
        return 2;
    }

    // The signals stay blocked except inside ppoll, so none is missed between loop turns.
    sigset_t blocked, during;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &during);
    struct sigaction action {};
    action.sa_handler = Stop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    enum { kPty, kUdp, kFeed, kInputs };
    pollfd inputs[kInputs] = {{OpenedPty(pty), POLLIN, 0},
                              {BoundUdp(udpPort), POLLIN, 0},
                              {ConnectedFeed(feedPort), POLLIN, 0}};
    constexpr char kUnitEnd[kInputs] = {';', ';', '\n'};
    Counts counts[kInputs];
    static char buffer[65536];

    while (!stopped) {
        if (::ppoll(inputs, kInputs, nullptr, &during) < 0) {
            if (errno == EINTR) continue;
            Fail("poll");
        }
        for (int i = 0; i < kInputs; ++i) {
            if (inputs[i].revents == 0) continue;
            const ssize_t n = i == kUdp ? ::recv(inputs[i].fd, buffer, sizeof buffer, 0)
                                        : ::read(inputs[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                Counts& c = counts[i];
                ++c.reads;
                c.bytes += static_cast<std::uint64_t>(n);
                c.units += static_cast<std::uint64_t>(std::count(buffer, buffer + n, kUnitEnd[i]));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // The line or the feed ended (a pty whose writer left reads EIO): no more here.
                ::close(inputs[i].fd);
                inputs[i].fd = -1;
            }
        }
    }
    const char* names[kInputs] = {"pty", "udp", "feed"};
    for (int i = 0; i < kInputs; ++i) {
        std::printf("%s reads=%llu bytes=%llu units=%llu\n", names[i],
                    static_cast<unsigned long long>(counts[i].reads),
                    static_cast<unsigned long long>(counts[i].bytes),
                    static_cast<unsigned long long>(counts[i].units));
    }
    return 0;
}
