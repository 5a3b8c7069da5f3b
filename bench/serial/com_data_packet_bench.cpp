// The framer on a receiver's output: "*<28 hex digits>;" lines, CR LF after each, arriving
// in 1024-byte chunks as the port reads them. Goal: at least 200 MB/s.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "serial/com_data_packet.h"

namespace {

std::string ReceiverLines(std::size_t lines) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(lines * 32);
    std::uint32_t state = 12345;
    for (std::size_t line = 0; line < lines; ++line) {
        text += '*';
        for (int digit = 0; digit < 28; ++digit) {
            state = state * 1103515245u + 12345u;
            text += kHex[(state >> 16) & 15];
        }
        text += ";\r\n";
    }
    return text;
}

void BM_FramerReceiverLinesIn1024ByteChunks(benchmark::State& state) {
    const std::string stream = ReceiverLines(32768);  // 1 MiB
    quorvex::serial::TComDataPacket framer;
    framer.SetStartString("*");
    framer.SetStopString(";");
    std::uint64_t packets = 0;
    std::uint64_t characters = 0;
    framer.OnPacket = [&](quorvex::serial::TComDataPacket*, const std::string& text) {
        ++packets;
        characters += text.size();
    };
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += 1024) {
            framer.FeedText(std::string_view(stream).substr(at, 1024));
        }
        benchmark::DoNotOptimize(characters);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["packets_per_pass"] =
        static_cast<double>(packets) / static_cast<double>(state.iterations());
    if (characters != packets * 28) state.SkipWithError("a packet lost or gained characters");
}
BENCHMARK(BM_FramerReceiverLinesIn1024ByteChunks);

}  // namespace
