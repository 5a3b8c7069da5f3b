// The packet path with the per-aircraft tally added: decode, count by DF group, count for the
// frame's address. The same path without the tally is measured beside it, so the difference is
// what the tally costs per frame. The traffic is ~40 aircraft heard at once, as a busy receiver
// delivers them: extended and acquisition squitters that announce the addresses, surveillance
// and Comm-B replies that name them through the residual, a corrupted digit now and then.
// Every 2048 frames a second passes and the tally ticks, inside the timed loop.
//
// Once the addresses are known nothing on the path may allocate: each benchmark counts the
// allocations of its timed loop (allocs_per_frame) and fails the run unless there were none.

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "core/comparison/aircraft_tally.h"
#include "core/frames/frame_decoder.h"
#include "core/frames/interval_counts.h"
#include "sample_frames.h"

namespace {

using quorvex::DfGroup;
using quorvex::SourceId;

constexpr std::size_t kRotation = 1024;  // packets per set; a power of two
constexpr std::size_t kAircraft = 40;
constexpr std::uint64_t kFramesPerSecond = 2048;

std::vector<std::string> MakePackets(bool crcOption) {
    std::mt19937 random(40);
    std::vector<std::uint32_t> addresses;
    for (std::size_t i = 0; i < kAircraft; ++i) addresses.push_back(0x400000 + random() % 0x100000);
    std::vector<std::string> packets;
    for (std::size_t i = 0; i < kRotation; ++i) {
        const std::uint32_t address = addresses[random() % kAircraft];
        std::array<std::uint8_t, 10> rest{};
        for (auto& b : rest) b = static_cast<std::uint8_t>(random());
        const std::array<std::uint8_t, 3> field = {rest[0], rest[1], rest[2]};
        rest[0] = static_cast<std::uint8_t>(address >> 16);
        rest[1] = static_cast<std::uint8_t>(address >> 8);
        rest[2] = static_cast<std::uint8_t>(address);
        quorvex::bench::SampleFrame frame;
        switch (i % 8) {
            case 0:
            case 1:
            case 2:
                frame = quorvex::bench::MakeFrame(0x8D, rest, 0, DfGroup::Df17_19);
                break;
            case 3:
                frame = quorvex::bench::MakeFrame(0x5D, std::span(rest).first(3), 0, DfGroup::Df11);
                break;
            case 4:
            case 5:
                frame = quorvex::bench::MakeFrame(0x20, field, address, DfGroup::Df4_5);
                break;
            default:
                frame = quorvex::bench::MakeFrame(0xA8, rest, address, DfGroup::Df20_21);
                break;
        }
        std::string packet = crcOption ? frame.transmitted : frame.residual;
        if (i % 16 == 7) {
            // A corrupted digit: in the frame, or in the residual the receiver computed.
            char& digit = crcOption ? packet[4] : packet.back();
            digit = digit == 'A' ? 'B' : 'A';
        }
        packets.push_back(std::move(packet));
    }
    return packets;
}

void ReportAllocations(benchmark::State& state, std::uint64_t allocations) {
    if (!quorvex::bench::AllocationCounterWorks()) {
        state.SkipWithError("the allocation counter does not see allocations");
        return;
    }
    state.counters["allocs_per_frame"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    if (allocations != 0) {
        const std::string message = std::to_string(allocations) + " allocations on the path";
        state.SkipWithError(message.c_str());
    }
}

// The decode-and-count step of Run::TakePacket, with logging off.
inline quorvex::DecodeResult DecodeAndCount(quorvex::DfCounts& counts, std::string_view packet,
                                            bool crcOption) {
    quorvex::DecodeResult result;
    if (quorvex::TryDecodeFrame(packet, crcOption, result)) return quorvex::DecodeResult{};
    if (result.verdict.IsCounted()) quorvex::CountOne(counts[result.verdict.group()]);
    return result;
}

void BM_PacketPath(benchmark::State& state, bool crcOption, bool withTally) {
    const std::vector<std::string> packets = MakePackets(crcOption);
    quorvex::DfCounts counts1{};
    quorvex::DfCounts counts2{};
    quorvex::AircraftTally tally;
    // The addresses become known before the timed loop.
    for (std::size_t i = 0; i < packets.size(); ++i) {
        tally.CountFrame(SourceId::Receiver1, quorvex::DecodeFrame(packets[i], crcOption), 0);
    }
    if (tally.size() != kAircraft) {
        state.SkipWithError("the traffic does not name the expected aircraft");
        return;
    }

    std::uint64_t next = 0;
    std::int64_t second = 1;
    std::uint64_t tallied = 0;
    const std::uint64_t allocationsBefore = quorvex::bench::AllocationCount();
    for (auto _ : state) {
        const std::size_t i = next & (kRotation - 1);
        const SourceId receiver = (next & 1) == 0 ? SourceId::Receiver1 : SourceId::Receiver2;
        auto& counts = receiver == SourceId::Receiver1 ? counts1 : counts2;
        const quorvex::DecodeResult result = DecodeAndCount(counts, packets[i], crcOption);
        if (withTally) {
            tallied += tally.CountFrame(receiver, result, second) ? 1 : 0;
            if ((++next & (kFramesPerSecond - 1)) == 0) tally.Tick(second++);
        } else {
            ++next;
        }
        benchmark::ClobberMemory();
    }
    const std::uint64_t allocations = quorvex::bench::AllocationCount() - allocationsBefore;

    if (withTally && tally.size() != kAircraft) {
        state.SkipWithError("the tally gained or lost an aircraft");
        return;
    }
    ReportAllocations(state, allocations);
    state.counters["tallied_share"] =
        static_cast<double>(tallied) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_PacketPath, crc_on_without_tally, true, false);
BENCHMARK_CAPTURE(BM_PacketPath, crc_on_with_tally, true, true);
BENCHMARK_CAPTURE(BM_PacketPath, crc_off_without_tally, false, false);
BENCHMARK_CAPTURE(BM_PacketPath, crc_off_with_tally, false, true);

// A second's tick over the full table: every address, every source, once.
void BM_TickFullTable(benchmark::State& state) {
    quorvex::AircraftTally tally;
    char entry[48];
    for (std::uint32_t a = 0; a < quorvex::kTallyMaxAddresses; ++a) {
        std::snprintf(entry, sizeof entry, "MSG,8,1,1,%06X,", a);
        tally.CountFeedEntry(entry, 0);
    }
    std::int64_t second = 0;
    for (auto _ : state) tally.Tick(second++);
    state.counters["addresses"] = static_cast<double>(tally.size());
}
BENCHMARK(BM_TickFullTable)->Unit(benchmark::kMicrosecond);

}  // namespace
