// A receiver at the highest rate offered (3,000,000 baud: 300,000 bytes a second) for ten
// seconds, over a pseudo-terminal into an open TComPort with a framer that counts packets.
// Goals: every packet delivered, and the receiving process busy at most 5 % of one core
// (user + system time over wall time). The writer is a child process, so its own time is
// not counted.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <string>

#include "platform/main_thread.h"
#include "serial/com_data_packet.h"
#include "serial/com_error.h"
#include "serial/com_port.h"

namespace {

using quorvex::serial::TComDataPacket;
using quorvex::serial::TComPort;

constexpr int kBytesPerSecond = 300000;
constexpr int kSeconds = 10;
constexpr int kTickMs = 10;      // the writer sends 3,000 bytes every 10 ms
constexpr int kLineLength = 32;  // "*" + 28 hex digits + ";\r\n"

std::string Lines(std::size_t count) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t line = 0; line < count; ++line) {
        text += '*';
        for (int digit = 0; digit < 28; ++digit) text += kHex[(line * 7 + digit) & 15];
        text += ";\r\n";
    }
    return text;
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The child: waits for the go byte, writes `data` at the line's pace, then keeps the master
// open until the parent closes `done` (closing it earlier would hang the line up).
[[noreturn]] void Writer(int master, const std::string& data, int go, int done) {
    char byte = 0;
    if (::read(go, &byte, 1) != 1) ::_exit(1);
    const std::size_t perTick = kBytesPerSecond / (1000 / kTickMs);
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    for (std::size_t at = 0; at < data.size(); at += perTick) {
        const std::size_t length = std::min(perTick, data.size() - at);
        for (std::size_t written = 0; written < length;) {
            const ssize_t n = ::write(master, data.data() + at + written, length - written);
            if (n <= 0) ::_exit(2);
            written += static_cast<std::size_t>(n);
        }
        next.tv_nsec += kTickMs * 1000000L;
        if (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    while (::read(done, &byte, 1) > 0) {
    }
    ::_exit(0);
}

void BM_PtyReceiverAt3MBaud(benchmark::State& state) {
    const std::size_t expected = static_cast<std::size_t>(kBytesPerSecond) * kSeconds / kLineLength;
    const std::string data = Lines(expected);
    for (auto _ : state) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        termios raw{};
        ::tcgetattr(master, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(master, TCSANOW, &raw);
        const std::string slave = ::ptsname(master);
        int go[2];
        int done[2];
        if (::pipe(go) != 0 || ::pipe(done) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        const pid_t writer = ::fork();
        if (writer == 0) {
            ::close(go[1]);
            ::close(done[1]);
            Writer(master, data, go[0], done[0]);
        }
        ::close(go[0]);
        ::close(done[0]);

        static int argc = 1;
        static char name[] = "serial_bench";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* app = new QCoreApplication(argc, argv);
        (void)app;
        quorvex::platform::InitialiseMainThread();
        quorvex::serial::InitialiseSerialComponent();

        TComPort port;
        port.SetPort(slave);
        port.SetBaudRate(quorvex::serial::TBaudRate::brCustom);
        port.SetCustomBaudRate(3000000);
        TComDataPacket framer;
        framer.SetComPort(&port);
        framer.SetStartString("*");
        framer.SetStopString(";");
        QEventLoop loop;
        std::size_t packets = 0;
        framer.OnPacket = [&](TComDataPacket*, const std::string&) {
            if (++packets == expected) loop.quit();
        };
        port.OpenPort();
        ::close(master);  // the writer holds the master from here on

        const double cpuBefore = CpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        if (::write(go[1], "g", 1) != 1) state.SkipWithError("writer not started");
        QTimer::singleShot((kSeconds + 10) * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        const double cpu = CpuSeconds() - cpuBefore;

        port.ClosePort();
        ::close(go[1]);
        ::close(done[1]);
        int status = 0;
        ::waitpid(writer, &status, 0);

        state.counters["packets"] = static_cast<double>(packets);
        state.counters["expected"] = static_cast<double>(expected);
        state.counters["wall_s"] = wall;
        state.counters["cpu_s"] = cpu;
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
        if (packets != expected) state.SkipWithError("packets were lost");
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("writer failed");
    }
}
BENCHMARK(BM_PtyReceiverAt3MBaud)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
