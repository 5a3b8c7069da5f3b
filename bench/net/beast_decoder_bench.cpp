// The Beast decoder over a receiver's stream held in memory: ~1 MB of Mode S frames as port
// 30005 sends them, two long for every short one, now and then a Mode A/C frame, timestamps
// rising at 12 MHz, random payloads (so 0x1A, and its doubling, occurs where it happens to).
// The goal: at least 200 MB/s with the release preset.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "net/beast_decoder.h"

namespace {

using quorvex::net::BeastDecoder;

void Put(std::vector<std::uint8_t>& out, std::uint8_t byte) {
    out.push_back(byte);
    if (byte == BeastDecoder::kEscape) out.push_back(byte);
}

std::vector<std::uint8_t> MakeStream(std::size_t size, std::size_t& modeSFrames) {
    std::mt19937 random(30005);
    std::vector<std::uint8_t> out;
    out.reserve(size + 64);
    std::uint64_t timestamp = 0x123456;
    modeSFrames = 0;
    while (out.size() < size) {
        const unsigned kind = random() % 16;
        const std::uint8_t type = kind == 0 ? '1' : kind < 6 ? '2' : '3';
        const std::size_t payload = type == '1' ? 2 : type == '2' ? 7 : 14;
        timestamp += 1000 + random() % 200000;
        out.push_back(BeastDecoder::kEscape);
        out.push_back(type);
        for (int shift = 40; shift >= 0; shift -= 8)
            Put(out, static_cast<std::uint8_t>(timestamp >> shift));
        Put(out, static_cast<std::uint8_t>(random()));
        for (std::size_t i = 0; i < payload; ++i) Put(out, static_cast<std::uint8_t>(random()));
        if (type != '1') ++modeSFrames;
    }
    return out;
}

void BM_BeastDecode(benchmark::State& state) {
    std::size_t expected = 0;
    const std::vector<std::uint8_t> stream = MakeStream(1u << 20, expected);
    // Delivered as reads of a TCP socket would deliver it.
    const std::size_t chunk = static_cast<std::size_t>(state.range(0));
    std::uint64_t frames = 0;
    for (auto _ : state) {
        BeastDecoder decoder;
        std::uint64_t digest = 0;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            const std::size_t size = std::min(chunk, stream.size() - at);
            decoder.Feed(std::span(stream).subspan(at, size), [&](const BeastDecoder::Frame& f) {
                digest += f.bytes.back() + f.timestamp + f.signal;
            });
        }
        benchmark::DoNotOptimize(digest);
        frames += decoder.Frames();
        if (decoder.Frames() != expected || decoder.SkippedBytes() != 0) {
            state.SkipWithError("the stream did not decode whole");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BeastDecode)->Arg(1448)->Arg(65536);

}  // namespace
