// The TCP receiver's cost on the user-interface thread at a busy receiver's rate: a loopback
// server thread sends Beast frames (short and long in turn) or raw hex lines, 20,000 a
// second in bursts every millisecond, for three seconds, while the receiver runs on this
// thread's Qt event loop and counts them. The figure, counter cpu_percent: this thread's CPU
// time over the wall time, as a percentage of one core. The goal: at most 3 %. Counters
// sent and received must agree (the run is marked as an error otherwise); reads_per_s
// tells how often the receiver woke up to read.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "bench_application.h"
#include "net/tcp_receiver.h"

namespace {

using quorvex::NetworkKind;
using quorvex::net::TcpReceiver;
using Clock = std::chrono::steady_clock;

constexpr double kSeconds = 3.0;

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One Beast frame on the wire, every 0x1A after the type byte doubled.
std::string BeastFrame(char type, std::uint64_t timestamp, std::uint8_t signal,
                       const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> body;
    for (int shift = 40; shift >= 0; shift -= 8) body.push_back((timestamp >> shift) & 0xFF);
    body.push_back(signal);
    body.insert(body.end(), payload.begin(), payload.end());
    std::string wire = {'\x1A', type};
    for (std::uint8_t byte : body) {
        wire += static_cast<char>(byte);
        if (byte == 0x1A) wire += static_cast<char>(byte);
    }
    return wire;
}

// 1,000 distinct units to send in turn: Beast frames, short and long alternating, with
// timestamps and levels that now and then hold 0x1A; or raw lines of both lengths.
std::vector<std::string> Units(NetworkKind kind) {
    const std::vector<std::uint8_t> shortFrame = {0x5D, 0x48, 0x40, 0xD6, 0xA2, 0xF3, 0xB1};
    const std::vector<std::uint8_t> longFrame = {0x8D, 0x48, 0x40, 0xD6, 0x20, 0x2C, 0xC3,
                                                 0x71, 0xC3, 0x2C, 0xE0, 0x57, 0x60, 0x98};
    std::vector<std::string> units;
    for (std::uint64_t i = 0; i < 1000; ++i) {
        const bool isShort = i % 2 == 0;
        if (kind == NetworkKind::Beast) {
            units.push_back(BeastFrame(isShort ? '2' : '3', 0x100000000000 + i * 6000,
                                       static_cast<std::uint8_t>(i),
                                       isShort ? shortFrame : longFrame));
        } else {
            units.push_back(isShort ? "*5D4840D6A2F3B1;\n" : "*8D4840D6202CC371C32CE0576098;\n");
        }
    }
    return units;
}

// Accepts one connection on `listener`, then sends `rate` units a second for kSeconds,
// catching up every millisecond with what the schedule says is due.
void Serve(int listener, const std::vector<std::string>& units, std::int64_t rate,
           std::atomic<std::int64_t>& sent, std::atomic<bool>& done) {
    const int peer = ::accept(listener, nullptr, nullptr);
    const auto total = static_cast<std::int64_t>(kSeconds * static_cast<double>(rate));
    const auto start = Clock::now();
    std::string burst;
    for (std::int64_t count = 0; count < total && peer >= 0;) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const std::int64_t due =
            std::min(total, static_cast<std::int64_t>(elapsed * static_cast<double>(rate)) + 1);
        burst.clear();
        for (; count < due; ++count) burst += units[static_cast<std::size_t>(count) % units.size()];
        for (std::size_t at = 0; at < burst.size();) {
            const ssize_t written =
                ::send(peer, burst.data() + at, burst.size() - at, MSG_NOSIGNAL);
            if (written <= 0) break;
            at += static_cast<std::size_t>(written);
        }
        sent.store(count);
        std::this_thread::sleep_until(
            start + std::chrono::milliseconds(1 + static_cast<int>(elapsed * 1000)));
    }
    done.store(true);
    // Held open until the receiver is stopped, so the end of the stream is no event here.
    while (done.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (peer >= 0) ::close(peer);
}

void RunReceiver(benchmark::State& state, NetworkKind kind) {
    quorvex::bench::EnsureApplication();
    const std::int64_t rate = state.range(0);
    const std::vector<std::string> units = Units(kind);

    sockaddr_in address{};
    const int listener = quorvex::bench::LoopbackListener(4, address);

    std::int64_t received = 0;
    std::int64_t reads = 0;
    double wall = 0;
    double cpuPercent = 0;
    std::int64_t sentTotal = 0;
    for (auto _ : state) {
        TcpReceiver receiver;
        receiver.OnFrame = [&](const quorvex::net::BeastDecoder::Frame&) { ++received; };
        receiver.OnText = [&](std::string_view text) {
            received += std::count(text.begin(), text.end(), '\n');
        };
        std::atomic<std::int64_t> sent{0};
        std::atomic<bool> done{false};
        receiver.OnReceived = [&] { ++reads; };
        received = 0;
        reads = 0;
        std::thread server(Serve, listener, std::cref(units), rate, std::ref(sent), std::ref(done));
        receiver.Start("127.0.0.1", ntohs(address.sin_port), kind);

        const auto wallStart = Clock::now();
        const double cpuStart = ThreadCpuSeconds();
        // A plain event loop, as the program runs; processEvents with a time limit would spin.
        QEventLoop loop;
        QTimer check;
        const auto giveUp = wallStart + std::chrono::seconds(30);
        QObject::connect(&check, &QTimer::timeout, [&] {
            if ((done.load() && received >= sent.load()) || Clock::now() > giveUp) loop.quit();
        });
        check.start(50);
        loop.exec();
        const double cpu = ThreadCpuSeconds() - cpuStart;
        wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
        state.SetIterationTime(wall);
        cpuPercent = 100.0 * cpu / wall;
        sentTotal = sent.load();

        receiver.Stop();
        done.store(false);
        server.join();
    }
    ::close(listener);
    state.counters["cpu_percent"] = cpuPercent;
    state.counters["sent"] = static_cast<double>(sentTotal);
    state.counters["received"] = static_cast<double>(received);
    state.counters["reads_per_s"] = static_cast<double>(reads) / wall;
    if (received != sentTotal) state.SkipWithError("the receiver did not count every unit sent");
}

void BM_TcpReceiverBeast(benchmark::State& state) {
    RunReceiver(state, NetworkKind::Beast);
}
void BM_TcpReceiverRaw(benchmark::State& state) {
    RunReceiver(state, NetworkKind::Raw);
}
BENCHMARK(BM_TcpReceiverBeast)
    ->Arg(20000)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TcpReceiverRaw)
    ->Arg(20000)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
