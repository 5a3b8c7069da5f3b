// 1024-byte datagrams through the UDP listener and the hand-over to the user-interface
// thread, which runs a real Qt event loop as the window's does. The goal: at least 20,000
// datagrams per second sustained with none lost.
//
// BM_UdpDeliveryPaced/<rate> sends at a fixed rate (datagrams per second, in bursts every
// 250 us) for half a second per iteration and reports how many were lost; the highest rate
// with lost = 0 is the sustained rate. BM_UdpDeliveryFlood sends as fast as it can and
// reports what got through, for comparison. The listener asks for a 4 MiB kernel receive
// queue, which absorbs the bursts while the interface thread is busy.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "bench_application.h"
#include "net/udp_server.h"
#include "platform/main_thread.h"

namespace {

using quorvex::net::TIdSocketHandle;
using quorvex::net::TIdUDPServer;
using quorvex::net::TMemoryStream;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kDatagramSize = 1024;

using quorvex::bench::EnsureApplication;

// A listener on an ephemeral loopback port that counts datagrams and checks their length.
struct CountingListener {
    CountingListener() {
        TIdSocketHandle& binding = server.Bindings().Add();
        binding.SetIP("127.0.0.1");
        binding.SetPort(0);
        server.SetOnUDPRead([this](TIdUDPServer&, TMemoryStream& data, TIdSocketHandle&) {
            if (data.Size() == kDatagramSize) ++delivered;
        });
        server.SetActive(true);
        port = server.Bindings()[0].Port();
    }
    TIdUDPServer server;
    std::int64_t delivered = 0;
    int port = 0;
};

// Sends `count` datagrams to `port`, `rate` per second (0: as fast as possible), catching up
// every 250 us with what the schedule says is due.
void Send(int port, std::int64_t count, std::int64_t rate, std::atomic<bool>& done) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    std::vector<char> datagram(kDatagramSize, '*');
    const auto start = Clock::now();
    auto next = start;
    for (std::int64_t sent = 0; sent < count;) {
        std::int64_t due = count;
        if (rate > 0) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            due =
                std::min(count, static_cast<std::int64_t>(elapsed * static_cast<double>(rate)) + 1);
        }
        for (; sent < due; ++sent) {
            std::memcpy(datagram.data(), &sent, sizeof sent);
            ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof to);
        }
        next += std::chrono::microseconds(250);
        std::this_thread::sleep_until(next);
    }
    ::close(fd);
    done = true;
}

// Runs the event loop until the sender is done and nothing more arrives for 100 ms; returns
// when the last datagram was delivered.
Clock::time_point Drain(CountingListener& listener, const std::atomic<bool>& senderDone,
                        std::int64_t expected) {
    auto lastProgress = Clock::now();
    std::int64_t seen = listener.delivered;
    while (!senderDone || (listener.delivered < expected &&
                           Clock::now() - lastProgress < std::chrono::milliseconds(100))) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        if (listener.delivered != seen) {
            seen = listener.delivered;
            lastProgress = Clock::now();
        }
    }
    return lastProgress;
}

void RunDelivery(benchmark::State& state, std::int64_t rate, std::int64_t perIteration) {
    EnsureApplication();
    CountingListener listener;
    std::int64_t sent = 0;
    double seconds = 0;
    for (auto _ : state) {
        const std::int64_t before = listener.delivered;
        std::atomic<bool> done{false};
        const auto start = Clock::now();
        std::thread sender(Send, listener.port, perIteration, rate, std::ref(done));
        const auto last = Drain(listener, done, before + perIteration);
        sender.join();
        const double elapsed = std::chrono::duration<double>(last - start).count();
        seconds += elapsed;
        sent += perIteration;
        state.SetIterationTime(elapsed);
    }
    state.counters["sent"] = static_cast<double>(sent);
    state.counters["lost"] = static_cast<double>(sent - listener.delivered);
    state.counters["delivered_per_s"] = static_cast<double>(listener.delivered) / seconds;
}

void BM_UdpDeliveryPaced(benchmark::State& state) {
    const std::int64_t rate = state.range(0);
    RunDelivery(state, rate, rate / 2);
}
BENCHMARK(BM_UdpDeliveryPaced)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(30000)
    ->Arg(40000)
    ->Arg(60000)
    ->Arg(80000)
    ->Arg(120000)
    ->Iterations(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_UdpDeliveryFlood(benchmark::State& state) {
    RunDelivery(state, 0, 50000);
}
BENCHMARK(BM_UdpDeliveryFlood)->Iterations(4)->UseManualTime()->Unit(benchmark::kMillisecond);

// The ceiling: bare hand-overs from a worker to this thread's event loop, one at a time.
void BM_HandOverRoundTrip(benchmark::State& state) {
    EnsureApplication();
    constexpr std::int64_t kPerIteration = 20000;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::int64_t ran = 0;
        quorvex::platform::WorkerThread worker;
        worker.Start([&] {
            const std::function<void()> step = [&] { ++ran; };
            for (std::int64_t i = 0; i < kPerIteration; ++i) quorvex::platform::Synchronize(step);
            done = true;
        });
        while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        quorvex::platform::WaitForThread(worker);
        benchmark::DoNotOptimize(ran);
    }
    state.SetItemsProcessed(state.iterations() * kPerIteration);
}
BENCHMARK(BM_HandOverRoundTrip)->Iterations(4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
