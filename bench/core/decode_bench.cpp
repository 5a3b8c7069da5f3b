// Cost of decoding one packet. The decoder runs on the user-interface thread for every packet
// of both receivers, some 19 000 a second each on a busy day, so one long frame with the
// parity computed here must stay well below 150 ns.
//
// Every benchmark first checks its frames: each must come out Counted in the group it was
// built for, and the transmitted form must decode to the residual form. The timed loop
// counts the verdicts again and fails the run if any frame was not counted.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/frames/frame_decoder.h"
#include "sample_frames.h"

namespace {

using quorvex::DecodeFrame;
using quorvex::DecodeResult;
using quorvex::FrameVerdict;
using quorvex::bench::SampleFrame;

constexpr std::size_t kRotation = 256;                 // frames per set; a power of two
constexpr std::string_view kCounter = "00A3C91F2B07";  // the "@" format's 48-bit counter

enum class Traffic { Short, Long, Mixed };

std::vector<SampleFrame> Frames(Traffic traffic) {
    switch (traffic) {
        case Traffic::Short:
            return quorvex::bench::ShortSampleFrames(kRotation);
        case Traffic::Long:
            return quorvex::bench::LongSampleFrames(kRotation);
        case Traffic::Mixed:
            break;
    }
    return quorvex::bench::MixedSampleFrames(kRotation);
}

// The packets as a receiver in the matching format hands them over: "*" (transmitted
// parity, CRC option on), ":" (residual in place, CRC option off), "@" (counter prefix, on).
enum class Format { Star, Colon, At };

std::vector<std::string> Packets(const std::vector<SampleFrame>& frames, Format format) {
    std::vector<std::string> packets;
    packets.reserve(frames.size());
    for (const SampleFrame& frame : frames) {
        switch (format) {
            case Format::Star:
                packets.push_back(frame.transmitted);
                break;
            case Format::Colon:
                packets.push_back(frame.residual);
                break;
            case Format::At:
                packets.push_back(std::string(kCounter) + frame.transmitted);
                break;
        }
    }
    return packets;
}

bool CheckPackets(benchmark::State& state, const std::vector<SampleFrame>& frames,
                  const std::vector<std::string>& packets, bool crcOption) {
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const DecodeResult result = DecodeFrame(packets[i], crcOption);
        if (!(result.verdict == FrameVerdict::Counted(frames[i].group)) ||
            result.frame.view() != frames[i].residual) {
            const std::string message = "unexpected decoding of packet " + packets[i];
            state.SkipWithError(message.c_str());
            return false;
        }
    }
    return true;
}

void BM_DecodeFrame(benchmark::State& state, Traffic traffic, Format format) {
    const bool crcOption = format != Format::Colon;
    const std::vector<SampleFrame> frames = Frames(traffic);
    const std::vector<std::string> packets = Packets(frames, format);
    if (!CheckPackets(state, frames, packets, crcOption)) return;

    std::size_t next = 0;
    std::int64_t counted = 0;
    for (auto _ : state) {
        DecodeResult result = DecodeFrame(packets[next++ & (kRotation - 1)], crcOption);
        benchmark::DoNotOptimize(result);
        counted += result.verdict.IsCounted() ? 1 : 0;
    }
    if (counted != state.iterations()) state.SkipWithError("a frame was not counted");
    state.SetItemsProcessed(state.iterations());
}

// The exception-free form the intake calls.
void BM_TryDecodeFrame(benchmark::State& state, Traffic traffic, Format format) {
    const bool crcOption = format != Format::Colon;
    const std::vector<SampleFrame> frames = Frames(traffic);
    const std::vector<std::string> packets = Packets(frames, format);
    if (!CheckPackets(state, frames, packets, crcOption)) return;

    std::size_t next = 0;
    std::int64_t counted = 0;
    for (auto _ : state) {
        DecodeResult result;
        const auto bad =
            quorvex::TryDecodeFrame(packets[next++ & (kRotation - 1)], crcOption, result);
        benchmark::DoNotOptimize(result);
        counted += !bad && result.verdict.IsCounted() ? 1 : 0;
    }
    if (counted != state.iterations()) state.SkipWithError("a frame was not counted");
    state.SetItemsProcessed(state.iterations());
}

// A packet that fails the length gate: the cheapest path, for comparison.
void BM_DecodeFrameDropped(benchmark::State& state) {
    const std::string packet = "8D4840D6202CC371C32CE057609";  // 27 characters
    std::int64_t dropped = 0;
    for (auto _ : state) {
        DecodeResult result = DecodeFrame(packet, true);
        benchmark::DoNotOptimize(result);
        dropped += result.verdict == FrameVerdict::Dropped() ? 1 : 0;
    }
    if (dropped != state.iterations()) state.SkipWithError("a short packet was not dropped");
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_DecodeFrame, short_crc_on, Traffic::Short, Format::Star);
BENCHMARK_CAPTURE(BM_DecodeFrame, short_crc_off, Traffic::Short, Format::Colon);
BENCHMARK_CAPTURE(BM_DecodeFrame, long_crc_on, Traffic::Long, Format::Star);
BENCHMARK_CAPTURE(BM_DecodeFrame, long_crc_off, Traffic::Long, Format::Colon);
BENCHMARK_CAPTURE(BM_DecodeFrame, mixed_crc_on, Traffic::Mixed, Format::Star);
BENCHMARK_CAPTURE(BM_DecodeFrame, mixed_crc_off, Traffic::Mixed, Format::Colon);
BENCHMARK_CAPTURE(BM_DecodeFrame, mixed_counter_prefix, Traffic::Mixed, Format::At);
BENCHMARK_CAPTURE(BM_TryDecodeFrame, long_crc_on, Traffic::Long, Format::Star);
BENCHMARK_CAPTURE(BM_TryDecodeFrame, mixed_crc_on, Traffic::Mixed, Format::Star);
BENCHMARK(BM_DecodeFrameDropped);

}  // namespace
