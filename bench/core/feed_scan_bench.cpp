// Throughput of the port-30003 feed path: the scan that counts "MSG," messages by type, and
// the whole second of it, with the socket appending ~1400-byte reads to the feed buffer and
// the tick scanning what arrived. The scan must keep up with at least 200 MB/s, far above
// any real feed, because it runs inside the one-second tick on the user-interface thread.
//
// Every scanned text is checked: the counts must match what the feed holds.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "allocation_counter.h"
#include "core/base/clock.h"
#include "core/feed/feed_scan.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "sample_frames.h"

namespace {

using quorvex::FeedCounts;

constexpr std::size_t kSocketRead = 1400;  // what one read of the feed socket delivers

// The scan alone over one buffer of feed text, counting only (logging off).
void BM_ScanFeedText(benchmark::State& state) {
    FeedCounts expected;
    const std::string text =
        quorvex::bench::SampleFeedText(static_cast<std::size_t>(state.range(0)), expected);
    bool mismatch = false;
    for (auto _ : state) {
        FeedCounts counts;
        quorvex::ScanFeedText(text, counts);
        benchmark::DoNotOptimize(counts);
        mismatch |= counts != expected;
    }
    if (mismatch) state.SkipWithError("the scan counted differently from the feed's content");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.counters["messages"] =
        static_cast<double>(expected.Msg5_6 + expected.Msg8 + expected.MsgOther);
}

// The scan handing every message's entry on, as it does while logging is on (the file
// writes themselves are measured in logfile_bench).
void BM_ScanFeedTextEntries(benchmark::State& state) {
    FeedCounts expected;
    const std::string text =
        quorvex::bench::SampleFeedText(static_cast<std::size_t>(state.range(0)), expected);
    const std::int64_t messages = expected.Msg5_6 + expected.Msg8 + expected.MsgOther;
    bool mismatch = false;
    for (auto _ : state) {
        FeedCounts counts;
        std::int64_t entries = 0;
        std::size_t entryBytes = 0;
        quorvex::ScanFeedText(text, counts, [&](std::string_view entry) {
            ++entries;
            entryBytes += entry.size();
        });
        benchmark::DoNotOptimize(entryBytes);
        // Every message gives one entry; together they cover the text after the first
        // marker, less the four characters of each marker.
        mismatch |= counts != expected || entries != messages ||
                    entryBytes != text.size() - 4 * static_cast<std::size_t>(messages);
    }
    if (mismatch) state.SkipWithError("the entries do not cover the feed's messages");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// One second of the feed per iteration: the socket's reads appended to the feed buffers in
// 1400-byte pieces, then the tick's FeedScan. The feed is cut into seconds at arbitrary
// places, so every tick starts inside a line and ends inside another, as in a real run;
// what each second must count is taken from the scan of that second's text on its own.
void BM_FeedTick(benchmark::State& state) {
    const auto tickBytes = static_cast<std::size_t>(state.range(0));
    constexpr std::size_t kTicks = 4;
    FeedCounts whole;
    const std::string feed = quorvex::bench::SampleFeedText(kTicks * tickBytes + 1000, whole);

    std::vector<std::string_view> ticks;
    std::vector<FeedCounts> expected;
    for (std::size_t t = 0; t < kTicks; ++t) {
        // 17 characters into a line, then the tick's length plus a few: never line-aligned.
        const std::string_view second =
            std::string_view(feed).substr(t * tickBytes + 17, tickBytes + 3 * t);
        ticks.push_back(second);
        FeedCounts counts;
        quorvex::ScanFeedText(second, counts);
        expected.push_back(counts);
    }

    const quorvex::SystemClock clock;
    quorvex::MeasurementCycle main;
    bool mismatch = false;
    std::int64_t bytes = 0;
    std::size_t tick = 0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::string_view second = ticks[tick % kTicks];
        const std::uint64_t before = quorvex::bench::AllocationCount();
        for (std::size_t at = 0; at < second.size(); at += kSocketRead) {
            quorvex::FeedTextReceived(main, second.substr(at, kSocketRead));
        }
        quorvex::FeedScan(main);
        // After the first few seconds the buffers have their size; count from then on.
        if (tick >= 2 * kTicks) allocations += quorvex::bench::AllocationCount() - before;
        mismatch |= main.Counts.CountsS != expected[tick % kTicks];
        main.Counts.Zero();
        bytes += static_cast<std::int64_t>(second.size());
        ++tick;
    }
    if (mismatch) state.SkipWithError("a tick counted differently from its text");
    state.SetBytesProcessed(bytes);
    if (tick > 2 * kTicks) {
        state.counters["allocs_per_tick"] =
            static_cast<double>(allocations) / static_cast<double>(tick - 2 * kTicks);
    }
}

BENCHMARK(BM_ScanFeedText)->Arg(64 << 10)->Arg(2 << 20);
BENCHMARK(BM_ScanFeedTextEntries)->Arg(2 << 20);
BENCHMARK(BM_FeedTick)->Arg(256 << 10)->Arg(2 << 20);

}  // namespace
