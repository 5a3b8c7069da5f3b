// The feed client's read path: a loopback peer writes as fast as it can; the client's read
// notification, ReadPendingText and the append that the window's read handler does run on a
// real Qt event loop. The goal: at least 50 MB/s.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "bench_application.h"
#include "net/client_socket.h"
#include "platform/main_thread.h"

namespace {

using quorvex::net::TClientSocket;
using quorvex::net::TClientWinSocket;

using quorvex::bench::EnsureApplication;

void BM_TcpReadPath(benchmark::State& state) {
    EnsureApplication();
    const auto perIteration = static_cast<std::size_t>(state.range(0)) << 20;

    sockaddr_in address{};
    const int listener = quorvex::bench::LoopbackListener(1, address);

    TClientSocket client;
    std::string buffer;  // the feed buffer, emptied as a tick would empty it
    std::size_t received = 0;
    std::size_t reads = 0;
    client.SetOnRead([&](TClientSocket&, TClientWinSocket& socket) {
        const std::string text = socket.ReadPendingText();
        buffer += text;
        received += text.size();
        ++reads;
        if (buffer.size() > (1u << 20)) buffer.clear();
    });
    client.SetPort(ntohs(address.sin_port));
    client.SetActive(true);
    while (!client.Active()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const int peer = ::accept(listener, nullptr, nullptr);

    // Feed lines as they come from port 30003.
    const std::string line =
        "MSG,3,1,1,4CA2D6,1,2026/12/07,14:03:27.045,2026/12/07,14:03:27.045,,37000,,,51.4,"
        "-0.46,,,0,0,0,0\r\n";
    std::string chunk;
    while (chunk.size() < 65536) chunk += line;

    for (auto _ : state) {
        const std::size_t target = received + perIteration;
        std::thread writer([&] {
            for (std::size_t sent = 0; sent < perIteration; sent += chunk.size()) {
                if (::send(peer, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0) break;
            }
        });
        while (received < target)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        writer.join();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(received));
    state.counters["bytes_per_read"] = static_cast<double>(received) / static_cast<double>(reads);
    ::close(peer);
    client.SetActive(false);
    ::close(listener);
}
BENCHMARK(BM_TcpReadPath)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
