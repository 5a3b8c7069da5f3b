// The whole program at line rate: receivers 1 and 2 each on a pseudo-terminal fed with "*"
// long frames at 300,000 bytes/s (a 3,000,000 baud line), a port-30003 feed of 2,000 "MSG,"
// lines/s on loopback, the window running its one-second ticks offscreen; first with
// logging off, then on. Reports frames counted against frames sent, the program's CPU (the
// generator threads' own CPU taken out) and its resident memory at 10 s and at the end.
//
// Usage: line_rate_bench [--seconds N] [--without-lamps]   (default 60 s, lamps on)
//        line_rate_bench --soak [--seconds N]   (default 3600 s)
// The soak runs once, logging on, with UDP datagrams into receiver 2 besides its serial
// line, and prints every minute: frames, CPU of that minute, resident memory, open file
// descriptors and threads; at the end the same against the start.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QStyleFactory>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/receiver_panel.h"
#include "bench/core/sample_frames.h"
#include "platform/main_thread.h"
#include "tests/support/free_port.h"
#include "tests/support/pty.h"

namespace {

using namespace quorvex;
using namespace std::chrono_literals;

constexpr int kBytesPerSecond = 300000;
constexpr int kFeedLinesPerSecond = 2000;
constexpr auto kPace = 10ms;

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A field of /proc/self/status ("VmRSS:", "Threads:") as a number.
long StatusField(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0) return std::stol(line.substr(length));
    }
    return -1;
}

long ResidentKiB() {
    return StatusField("VmRSS:");
}

long OpenDescriptors() {
    long count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// Writes `unit` over and over at `bytesPerSecond`, in slices every 10 ms, until stopped.
// `unitPerWrite`: each unit goes out in a write of its own (a datagram).
struct Generator {
    Generator(std::string unitText, int bytesPerSecond, std::function<void(std::string_view)> write,
              bool unitPerWrite = false)
        : unit(std::move(unitText)),
          rate(bytesPerSecond),
          out(std::move(write)),
          separate(unitPerWrite) {
        thread = std::thread([this] { Run(); });
    }
    ~Generator() { Stop(); }
    void Stop() {
        stop = true;
        if (thread.joinable()) thread.join();
    }
    void Run() {
        const std::size_t perSlice = std::max<std::size_t>(1, rate / 100 / unit.size());
        std::string slice;
        for (std::size_t i = 0; i < perSlice; ++i) slice += unit;
        auto next = std::chrono::steady_clock::now();
        while (!stop) {
            if (separate) {
                for (std::size_t i = 0; i < perSlice; ++i) out(unit);
            } else {
                out(slice);
            }
            units += perSlice;
            next += kPace;
            std::this_thread::sleep_until(next);
            cpu = ThreadCpuSeconds();
        }
    }
    std::string unit;
    int rate;
    std::function<void(std::string_view)> out;
    bool separate;
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> units{0};
    std::atomic<double> cpu{0};
    std::thread thread;
};

// What the generator threads have used so far (each notes its own CPU as it goes).
template <typename... G>
double ThreadCpuOfGenerators(const G&... generators) {
    return (generators.cpu.load() + ...);
}

void RunEventLoop(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

bool withoutLamps = false;  // --without-lamps: what the receive lamps cost

void Measure(bool logging, int seconds, bool soak) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("quorvex-line-rate-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    test::Pty pty1, pty2;

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    ::listen(listener, 1);

    app::CommandLine commandLine;
    commandLine.Receiver1 = app::ReceiverOption{pty1.Path(), 3000000, false, '*', {}};
    // The soak's receiver 2 sends over UDP (datagrams and a serial line into one framer
    // would cut each other's packets).
    commandLine.Receiver2 = soak ? app::ReceiverOption{"", 0, true, '*', {}}
                                 : app::ReceiverOption{pty2.Path(), 3000000, false, '*', {}};
    app::MeasurementController::Options options;
    options.Paths = platform::ResolveProgramPaths((folder / "").string(), true, {});
    options.Ports = {pty1.Path(), pty2.Path()};
    options.UdpPort = test::FreeUdpPort();
    app::MainWindow window(std::move(options), commandLine);
    app::MeasurementController& c = window.Controller();
    window.show();
    if (withoutLamps) {
        window.Receiver(SourceId::Receiver1)->WatchPort(nullptr);
        window.Receiver(SourceId::Receiver2)->WatchPort(nullptr);
    }

    std::uint64_t framesCounted = 0, feedCounted = 0;
    const auto applyTick = c.OnTickResult;
    c.OnTickResult = [&](const TickResult& tick) {
        const auto& history = c.CurrentRun().Measurement().CountHistory;
        for (int row = 0; row < 12; ++row) framesCounted += std::uint64_t(history[row].back());
        for (int row = 12; row < 15; ++row) feedCounted += std::uint64_t(history[row].back());
        applyTick(tick);
    };

    c.FeedClient().SetPort(ntohs(address.sin_port));
    c.SetConnect(true);
    pollfd ready{listener, POLLIN, 0};
    while (::poll(&ready, 1, 0) == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const int feed = ::accept(listener, nullptr, nullptr);
    RunEventLoop(100ms);
    if (logging) c.LoggingClicked();
    c.StartStopClicked();
    if (!c.Running()) {
        std::fprintf(stderr, "the measurement did not start\n");
        std::exit(1);
    }

    const bench::SampleFrame frame =
        bench::LongSampleFrames(1).front();  // one valid extended squitter, over and over
    const std::string packet = "*" + frame.transmitted + ";";
    const auto writer = [](const test::Pty& pty) {
        return [&pty](std::string_view bytes) { pty.Write(bytes); };
    };
    const std::string line =
        "MSG,3,111,11111,4840D6,111111,2026/12/07,00:20:41.000,2026/12/07,"
        "00:20:41.000,,37000,,,51.12345,-1.23456,,,,,,0\r\n";

    const double cpuAtStart = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    Generator r1(packet, kBytesPerSecond, writer(pty1));
    std::optional<Generator> r2;
    if (!soak) r2.emplace(packet, kBytesPerSecond, writer(pty2));
    Generator feedGen(line, kFeedLinesPerSecond * int(line.size()), [feed](std::string_view b) {
        ::send(feed, b.data(), b.size(), MSG_NOSIGNAL);
    });
    // The soak's receiver 2: datagrams of 20 packets at the same line rate.
    const int udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<std::uint16_t>(c.UdpPort()));
    std::string datagram;
    for (int i = 0; i < 20; ++i) datagram += packet;
    std::optional<Generator> udpGen;
    if (soak) {
        udpGen.emplace(
            datagram, kBytesPerSecond,
            [&](std::string_view b) {
                ::sendto(udp, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to);
            },
            true);
    }

    long rssAt10 = 0, rssAtMinute = 0;
    const long fdsAtStart = OpenDescriptors(), threadsAtStart = StatusField("Threads:");
    long fdsAtEnd = 0, threadsAtEnd = 0;
    if (!soak) {
        RunEventLoop(10s);
        rssAt10 = ResidentKiB();
        RunEventLoop(std::chrono::seconds(std::max(seconds - 10, 0)));
    } else {
        double cpuBefore = ProcessCpuSeconds(), generatorsBefore = 0;
        for (int minute = 1; minute * 60 <= seconds; ++minute) {
            RunEventLoop(60s);
            const double cpuNow = ProcessCpuSeconds();
            const double generatorsNow = ThreadCpuOfGenerators(r1, feedGen, *udpGen);
            const double minuteCpu = (cpuNow - cpuBefore) - (generatorsNow - generatorsBefore);
            cpuBefore = cpuNow;
            generatorsBefore = generatorsNow;
            if (minute == 1) rssAtMinute = ResidentKiB();
            std::printf(
                "minute %3d  frames counted %11llu  CPU %5.1f %%  RSS %ld KiB  fds %ld  "
                "threads %ld\n",
                minute, (unsigned long long)framesCounted, 100.0 * minuteCpu / 60.0, ResidentKiB(),
                OpenDescriptors(), StatusField("Threads:"));
            std::fflush(stdout);
        }
    }
    fdsAtEnd = OpenDescriptors();
    threadsAtEnd = StatusField("Threads:");
    r1.Stop();
    if (r2) r2->Stop();
    feedGen.Stop();
    if (udpGen) udpGen->Stop();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double generatorsCpu =
        r1.cpu + (r2 ? r2->cpu.load() : 0.0) + feedGen.cpu + (udpGen ? udpGen->cpu.load() : 0.0);
    RunEventLoop(1500ms);  // what is still on its way
    const double programCpu = ProcessCpuSeconds() - cpuAtStart - generatorsCpu;
    const long rssAtEnd = ResidentKiB();
    c.StartStopClicked();
    c.Tick();  // counts what arrived after the last tick

    // With logging on, every counted frame and feed message has its line in the logfile.
    c.CurrentRun().Log().Flush();
    std::uint64_t frameLines = 0, feedLines = 0;
    if (logging) {
        std::ifstream log(c.CurrentRun().Log().LogPath(), std::ios::binary);
        std::string entry;
        while (std::getline(log, entry)) {
            frameLines += entry.starts_with("[1] ") || entry.starts_with("[2] ");
            feedLines += entry.starts_with("[S] ");
        }
    }
    const std::uint64_t framesSent =
        r1.units + (r2 ? r2->units.load() : 0) + (udpGen ? udpGen->units * 20 : 0);
    std::printf(
        "logging %-3s  %3.0f s  frames sent %9llu counted %9llu lost %lld  feed sent %7llu "
        "counted %7llu  CPU %5.1f %% of one core  RSS %ld KiB at 10 s, %ld KiB at %d s\n",
        logging ? "on" : "off", wall, (unsigned long long)framesSent,
        (unsigned long long)framesCounted, (long long)framesSent - (long long)framesCounted,
        (unsigned long long)feedGen.units.load(), (unsigned long long)feedCounted,
        100.0 * programCpu / wall, rssAt10, rssAtEnd, seconds);
    if (logging) {
        std::printf("             logfile: %llu frame lines, %llu feed entries\n",
                    (unsigned long long)frameLines, (unsigned long long)feedLines);
    }
    if (soak) {
        std::printf(
            "             RSS growth after the first minute %ld KiB; fds %ld -> %ld, "
            "threads %ld -> %ld (at the start and at the end, running)\n",
            rssAtEnd - rssAtMinute, fdsAtStart, fdsAtEnd, threadsAtStart, threadsAtEnd);
    }
    ::close(udp);
    std::fflush(stdout);
    c.SetConnect(false);
    ::close(feed);
    ::close(listener);
    std::filesystem::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
    bool soak = false;
    for (int i = 1; i < argc; ++i) soak |= std::strcmp(argv[i], "--soak") == 0;
    int seconds = soak ? 3600 : 60;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(11, std::atoi(argv[i + 1]));
    }
    for (int i = 1; i < argc; ++i) withoutLamps |= std::strcmp(argv[i], "--without-lamps") == 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    platform::InitialiseMainThread();
    if (soak) {
        Measure(true, seconds, true);
    } else {
        Measure(false, seconds, false);
        Measure(true, seconds, false);
    }
    return 0;
}
