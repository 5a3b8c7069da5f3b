// The packet-to-count path: a framer hands a packet to Run::TakePacket, which decodes it, adds
// one to the counter of its group and takes it through the run (tally, positions, twins,
// the minute's bucket). With logging off this runs for every packet of both
// receivers and must not touch the heap; each benchmark counts the allocations made inside
// its timed loop (allocs_per_packet) and fails the run unless there were none.
//
// The traffic is what a receiver really delivers: mostly good frames of both lengths, some
// with a corrupted digit, some cut short by a lost character, a few with a counter prefix.
// After the loop the counters must hold exactly what the decoder's verdicts say.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "allocation_counter.h"
#include "core/base/clock.h"
#include "core/base/hex.h"
#include "core/frames/frame_decoder.h"
#include "core/frames/mode_s_parity.h"
#include "core/frames/reception.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "sample_frames.h"
#include "tests/core/cpr_test_frames.h"

namespace {

using quorvex::DfGroup;
using quorvex::Run;
using quorvex::SourceId;

constexpr std::size_t kRotation = 512;  // packets per set; a power of two

struct Traffic {
    std::vector<std::string> packets;
    std::vector<SourceId> receivers;
};

// Packets of both receivers, alternating; ":" form when the CRC option is off.
Traffic MakeTraffic(bool crcOption) {
    const auto frames = quorvex::bench::MixedSampleFrames(kRotation);
    Traffic traffic;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        std::string packet = crcOption ? frames[i].transmitted : frames[i].residual;
        if (i % 16 == 7) {
            packet[4] = packet[4] == 'A' ? 'B' : 'A';  // a corrupted digit in the address
        } else if (i % 32 == 13) {
            packet.pop_back();  // a character lost on the line: dropped by length
        } else if (i % 64 == 21) {
            packet.insert(0, "0001F3A2C4D0");  // "@" format counter
        }
        traffic.packets.push_back(std::move(packet));
        traffic.receivers.push_back(i % 2 == 0 ? SourceId::Receiver1 : SourceId::Receiver2);
    }
    return traffic;
}

// What the counters must hold after `iterations` packets taken round the set.
quorvex::IntervalCounts ExpectedCounts(const Traffic& traffic, bool crcOption,
                                       std::int64_t iterations) {
    const auto rotations = static_cast<std::int64_t>(iterations / kRotation);
    const auto remainder = static_cast<std::size_t>(iterations % kRotation);
    quorvex::IntervalCounts expected;
    for (std::size_t i = 0; i < traffic.packets.size(); ++i) {
        const auto result = quorvex::DecodeFrame(traffic.packets[i], crcOption);
        if (!result.verdict.IsCounted()) continue;
        auto& counts =
            traffic.receivers[i] == SourceId::Receiver1 ? expected.Counts1 : expected.Counts2;
        counts[result.verdict.group()] +=
            static_cast<std::int32_t>(rotations + (i < remainder ? 1 : 0));
    }
    return expected;
}

void ReportAllocations(benchmark::State& state, std::uint64_t allocations) {
    if (!quorvex::bench::AllocationCounterWorks()) {
        state.SkipWithError("the allocation counter does not see allocations");
        return;
    }
    state.counters["allocs_per_packet"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    if (allocations != 0) {
        const std::string message =
            std::to_string(allocations) + " allocations on the packet-to-count path";
        state.SkipWithError(message.c_str());
    }
}

// The arrival of packet `i`: as a receiver input stamps them, once per chunk, here one of
// kChunkPackets packets (at 10,000 frames a second, a read every 1.6 ms).
constexpr std::size_t kChunkPackets = 16;
const quorvex::ArrivalTime& ChunkArrival(const quorvex::Run& run, std::size_t i) {
    static quorvex::ArrivalTime arrival;
    if (i % kChunkPackets == 0) arrival = run.Arrival();
    return arrival;
}

void BM_ReceiverPacket(benchmark::State& state, bool crcOption) {
    const quorvex::SystemClock clock;
    quorvex::Run main("/nonexistent-quorvex-folder/", clock);  // logging stays off
    const Traffic traffic = MakeTraffic(crcOption);
    // The set's aircraft known before the timed loop: the position decoder allocates once
    // per new aircraft, never per packet.
    for (std::size_t i = 0; i < kRotation; ++i) {
        main.TakePacket(traffic.receivers[i], traffic.packets[i], crcOption);
    }
    main.ReleaseHold();  // the counters from zero

    std::size_t next = 0;
    std::uint64_t rejected = 0;
    const std::uint64_t allocationsBefore = quorvex::bench::AllocationCount();
    for (auto _ : state) {
        const std::size_t i = next++ & (kRotation - 1);
        if (main.TakePacket(traffic.receivers[i], traffic.packets[i], crcOption,
                            ChunkArrival(main, i))) {
            ++rejected;
        }
        benchmark::ClobberMemory();
    }
    const std::uint64_t allocations = quorvex::bench::AllocationCount() - allocationsBefore;

    if (main.Counts() != ExpectedCounts(traffic, crcOption, state.iterations())) {
        state.SkipWithError("the counters differ from the decoder's verdicts");
        return;
    }
    if (rejected != 0) {
        state.SkipWithError("a packet was rejected");
        return;
    }
    ReportAllocations(state, allocations);
    state.SetItemsProcessed(state.iterations());
}

// A packet with a character that is no hexadecimal digit: rejected, without an allocation.
void BM_ReceiverPacketRejected(benchmark::State& state) {
    const quorvex::SystemClock clock;
    quorvex::Run main("/nonexistent-quorvex-folder/", clock);
    const std::string packet = "8D4840D6202CC371C32CE05760G8";

    std::uint64_t rejected = 0;
    std::size_t next = 0;
    const std::uint64_t allocationsBefore = quorvex::bench::AllocationCount();
    for (auto _ : state) {
        if (main.TakePacket(SourceId::Receiver1, packet, true, ChunkArrival(main, next++))) {
            ++rejected;
        }
        benchmark::ClobberMemory();
    }
    const std::uint64_t allocations = quorvex::bench::AllocationCount() - allocationsBefore;

    if (rejected != static_cast<std::uint64_t>(state.iterations()) ||
        main.Counts() != quorvex::IntervalCounts{}) {
        state.SkipWithError("the bad packet was not rejected exactly once per call");
        return;
    }
    ReportAllocations(state, allocations);
    state.SetItemsProcessed(state.iterations());
}

// Extended squitters as an A/B run sees them: each frame of `aircraft` aircraft around the
// station from receiver 1 and at once from receiver 2, even and odd in turn. With
// `positions` they are airborne positions (type code 11), each decoded, placed and matched
// with its twin; without, the same frames as velocities (type code 19), which take the
// counting path only. The difference is the cost positions add per frame. With 40 aircraft
// every table stays in the processor's cache; with 5,000 (a busy receiver's day) most
// lookups miss it, as they do in the running program.
void BM_ReceiverPacketExtendedSquitters(benchmark::State& state, bool positions) {
    constexpr quorvex::LatLon kStation{52.3, 4.76};
    const auto aircraft = static_cast<std::size_t>(state.range(0));
    // Enough packets that every aircraft sends several pairs per rotation.
    const std::size_t rotation = aircraft > 64 ? std::size_t{1} << 17 : kRotation;
    const quorvex::SystemClock clock;
    quorvex::Run main("/nonexistent-quorvex-folder/", clock);
    main.SetStation(kStation, quorvex::kDefaultMaxRangeNm);

    std::mt19937 random(17);
    std::vector<std::string> packets;
    std::vector<std::uint32_t> addresses;
    std::vector<quorvex::LatLon> places;
    for (std::size_t i = 0; i < aircraft; ++i) {
        addresses.push_back(0x400000 + random() % 0x100000);
        places.push_back(quorvex::test::Destination(kStation, random() % 360, random() % 250));
    }
    for (std::size_t i = 0; packets.size() < rotation; ++i) {
        const std::size_t a = random() % aircraft;
        const auto cpr = quorvex::test::EncodeCpr(places[a], (i / aircraft) % 2 == 1);
        auto frame = quorvex::test::PositionFrame(addresses[a], positions ? 11 : 19, cpr);
        const std::uint32_t parity = quorvex::ModeSParityValue(std::span(frame).first(11));
        frame[11] = static_cast<std::uint8_t>(parity >> 16);
        frame[12] = static_cast<std::uint8_t>(parity >> 8);
        frame[13] = static_cast<std::uint8_t>(parity);
        std::string packet;
        for (const std::uint8_t byte : frame) {
            packet += quorvex::kUpperHexDigits[byte >> 4];
            packet += quorvex::kUpperHexDigits[byte & 0xF];
        }
        packets.push_back(packet);  // receiver 1's copy, then receiver 2's
        packets.push_back(packet);
    }
    // Every aircraft known before the timed loop: from then on nothing may allocate.
    for (std::size_t i = 0; i < rotation; ++i) {
        main.TakePacket(i % 2 == 0 ? SourceId::Receiver1 : SourceId::Receiver2, packets[i], true);
    }
    const std::uint64_t goodBefore = main.Positions().DecodeCounts(SourceId::Receiver1).good;

    std::size_t next = 0;
    const std::uint64_t allocationsBefore = quorvex::bench::AllocationCount();
    for (auto _ : state) {
        const std::size_t i = next++ & (rotation - 1);
        main.TakePacket(i % 2 == 0 ? SourceId::Receiver1 : SourceId::Receiver2, packets[i], true,
                        ChunkArrival(main, i));
        benchmark::ClobberMemory();
    }
    const std::uint64_t allocations = quorvex::bench::AllocationCount() - allocationsBefore;
    const std::uint64_t good = main.Positions().DecodeCounts(SourceId::Receiver1).good - goodBefore;
    state.counters["positions_per_frame"] =
        benchmark::Counter(static_cast<double>(2 * good), benchmark::Counter::kAvgIterations);
    if (positions != (good > 0)) {
        state.SkipWithError("positions were not decoded as the traffic says");
        return;
    }
    ReportAllocations(state, allocations);
    state.SetItemsProcessed(state.iterations());
}

// Twins as two Beast receivers deliver them: every frame (all-call replies and velocities of
// `aircraft` aircraft) from receiver 1 and at once from receiver 2, as bytes. With `levels`
// both copies carry a level, 1 to 6 dB apart, and every twin is compared (placed, counted
// per ring and for its aircraft); without, the copies have none and the twin is only counted
// as such. The difference per iteration, times two, is what the level comparison adds to a
// twin.
void BM_BeastTwins(benchmark::State& state, bool levels) {
    const auto aircraft = static_cast<std::size_t>(state.range(0));
    const std::size_t rotation = aircraft > 64 ? std::size_t{1} << 17 : kRotation;
    const quorvex::SystemClock clock;
    quorvex::Run main("/nonexistent-quorvex-folder/", clock);
    main.SetStation(quorvex::LatLon{52.3, 4.76}, quorvex::kDefaultMaxRangeNm);
    std::mt19937 random(27);
    std::vector<std::uint32_t> addresses;
    for (std::size_t i = 0; i < aircraft; ++i) addresses.push_back(0x400000 + random() % 0x100000);
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::pair<float, float>> frameLevels;
    for (std::size_t i = 0; frames.size() < rotation; ++i) {
        const std::uint32_t address = addresses[random() % aircraft];
        std::vector<std::uint8_t> frame;
        if (i % 3 == 0) {  // an all-call reply
            frame = {0x5D,
                     std::uint8_t(address >> 16),
                     std::uint8_t(address >> 8),
                     std::uint8_t(address),
                     0,
                     0,
                     0};
        } else {  // a velocity, its bytes varied
            const auto v = quorvex::test::PositionFrame(address, 19, quorvex::CprFrame{}, 0);
            frame.assign(v.begin(), v.end());
            frame[5] = static_cast<std::uint8_t>(i);
            frame[6] = static_cast<std::uint8_t>(i >> 8);
        }
        const std::size_t data = frame.size() - 3;
        const std::uint32_t parity = quorvex::ModeSParityValue(std::span(frame).first(data));
        for (std::size_t k = 0; k < 3; ++k) {
            frame[data + k] = static_cast<std::uint8_t>(parity >> (16 - 8 * k));
        }
        const auto byte1 = static_cast<std::uint8_t>(20 + random() % 100);
        const auto byte2 = static_cast<std::uint8_t>(byte1 * (112 + random() % 88) / 100);
        frameLevels.emplace_back(levels ? quorvex::LevelFromBeastByte(byte1) : quorvex::kNoLevel,
                                 levels ? quorvex::LevelFromBeastByte(byte2) : quorvex::kNoLevel);
        frames.push_back(std::move(frame));
    }
    const auto take = [&](std::size_t i, SourceId receiver) {
        const std::size_t f = i & (rotation - 1);
        const float level =
            receiver == SourceId::Receiver1 ? frameLevels[f].first : frameLevels[f].second;
        main.TakeFrame(receiver, frames[f], level, std::nullopt, ChunkArrival(main, i));
    };
    // Every aircraft and pair of levels known before the timed loop.
    for (std::size_t i = 0; i < rotation; ++i) {
        take(i, SourceId::Receiver1);
        take(i, SourceId::Receiver2);
    }
    const std::uint64_t twinsBefore = main.Levels().All().twins;

    std::size_t next = 0;
    const std::uint64_t allocationsBefore = quorvex::bench::AllocationCount();
    for (auto _ : state) {
        const std::size_t i = next++;
        take(i, SourceId::Receiver1);
        take(i, SourceId::Receiver2);
        benchmark::ClobberMemory();
    }
    const std::uint64_t allocations = quorvex::bench::AllocationCount() - allocationsBefore;
    const quorvex::LevelGroup& all = main.Levels().All();
    // All-call replies repeat within the twins' window: a copy is a duplicate then.
    if (all.twins - twinsBefore < static_cast<std::uint64_t>(state.iterations()) / 2 ||
        (levels ? all.excludedNoLevel : all.deltas.compared()) != 0) {
        state.SkipWithError("the twins were not judged as their levels say");
        return;
    }
    state.counters["twins_per_iteration"] = benchmark::Counter(
        static_cast<double>(all.twins - twinsBefore), benchmark::Counter::kAvgIterations);
    ReportAllocations(state, allocations);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_ReceiverPacket, crc_on, true);
BENCHMARK_CAPTURE(BM_ReceiverPacket, crc_off, false);
BENCHMARK(BM_ReceiverPacketRejected);
BENCHMARK_CAPTURE(BM_ReceiverPacketExtendedSquitters, positions, true)
    ->ArgName("aircraft")
    ->Arg(40)
    ->Arg(5000);
BENCHMARK_CAPTURE(BM_ReceiverPacketExtendedSquitters, no_positions, false)
    ->ArgName("aircraft")
    ->Arg(40)
    ->Arg(5000);
BENCHMARK_CAPTURE(BM_BeastTwins, levels, true)->ArgName("aircraft")->Arg(40)->Arg(5000);
BENCHMARK_CAPTURE(BM_BeastTwins, no_levels, false)->ArgName("aircraft")->Arg(40)->Arg(5000);

}  // namespace
