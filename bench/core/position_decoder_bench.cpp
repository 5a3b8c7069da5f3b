// Position decoding per frame: ~40 aircraft around a station, each sending even and odd
// airborne position squitters heard by both receivers, a surface frame now and then. The
// frames are made before the timed loop; time runs at 2048 frames a second, so most frames
// pair with their source's previous one and the rest decode against the latest fix. Goal:
// under 300 ns per frame (release build). Once the aircraft are known nothing may allocate.

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "core/positions/position_decoder.h"
#include "tests/core/cpr_test_frames.h"

namespace {

using quorvex::SourceId;

constexpr std::size_t kRotation = 1024;  // frames per set; a power of two
constexpr std::size_t kAircraft = 40;
constexpr double kSecondsPerFrame = 1.0 / 2048;
constexpr quorvex::LatLon kStation{52.3, 4.76};

struct BenchFrame {
    SourceId source;
    std::uint32_t address;
    std::array<std::uint8_t, 14> bytes;
};

std::vector<BenchFrame> MakeFrames() {
    std::mt19937 random(17);
    std::vector<std::uint32_t> addresses;
    std::vector<quorvex::LatLon> places;
    for (std::size_t i = 0; i < kAircraft; ++i) {
        addresses.push_back(0x400000 + random() % 0x100000);
        places.push_back(quorvex::test::Destination(kStation, random() % 360, random() % 200));
    }
    std::vector<BenchFrame> frames;
    for (std::size_t i = 0; i < kRotation; ++i) {
        const std::size_t a = random() % kAircraft;
        const bool odd = (i / kAircraft) % 2 == 1;
        const bool surface = i % 64 == 5;
        const auto cpr = quorvex::test::EncodeCpr(places[a], odd, surface);
        frames.push_back({i % 2 == 0 ? SourceId::Receiver1 : SourceId::Receiver2, addresses[a],
                          quorvex::test::PositionFrame(addresses[a], surface ? 7 : 11, cpr)});
    }
    return frames;
}

void BM_PositionDecode(benchmark::State& state) {
    const std::vector<BenchFrame> frames = MakeFrames();
    quorvex::PositionDecoder decoder;
    decoder.SetStation(kStation);
    double now = 0;
    for (const BenchFrame& f : frames) decoder.Decode(f.source, f.address, f.bytes, now += 1);

    std::uint64_t next = 0;
    std::uint64_t good = 0;
    const std::uint64_t allocationsBefore = quorvex::bench::AllocationCount();
    for (auto _ : state) {
        const BenchFrame& f = frames[next++ & (kRotation - 1)];
        now += kSecondsPerFrame;
        const quorvex::PositionReport report = decoder.Decode(f.source, f.address, f.bytes, now);
        good += report.outcome == quorvex::PositionOutcome::Global ||
                report.outcome == quorvex::PositionOutcome::LocalToFix;
        benchmark::DoNotOptimize(report);
    }
    const std::uint64_t allocations = quorvex::bench::AllocationCount() - allocationsBefore;
    state.counters["good_share"] =
        static_cast<double>(good) / static_cast<double>(state.iterations());
    state.counters["allocs_per_frame"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    if (allocations != 0) {
        const std::string message = std::to_string(allocations) + " allocations on the path";
        state.SkipWithError(message.c_str());
    }
}
BENCHMARK(BM_PositionDecode);

}  // namespace
