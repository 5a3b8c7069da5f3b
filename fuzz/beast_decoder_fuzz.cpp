// The Beast decoder on arbitrary bytes, fed three ways: whole, in two chunks cut at a point
// the input chooses, and in chunks of a size the input chooses.
//
// What must hold:
// - all three give the same frames (bytes, timestamp, signal) and the same counters;
// - every frame is 7 or 14 bytes with a 48-bit timestamp;
// - the counters never claim more bytes than were fed: a complete frame takes at least 16
//   bytes (Mode S) or 11 (Mode A/C), and skipped bytes count once.
//
// The first bytes of the input choose the cut and the chunk size; the rest is the stream.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "net/beast_decoder.h"

namespace {

using quorvex::net::BeastDecoder;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "beast_decoder_fuzz: %s\n", what);
    std::abort();
}

struct Result {
    std::string frames;  // "bytes/timestamp/signal;" for each
    std::uint64_t count = 0, others = 0, resyncs = 0, skipped = 0;

    bool operator==(const Result&) const = default;
};

// Feeds stream[0, cut) first, then the rest in chunks of `chunk` bytes.
Result Decode(std::span<const std::uint8_t> stream, std::size_t cut, std::size_t chunk) {
    BeastDecoder decoder;
    Result result;
    const auto visit = [&](const BeastDecoder::Frame& frame) {
        Check(frame.bytes.size() == 7 || frame.bytes.size() == 14, "a frame of another length");
        Check(frame.timestamp < (std::uint64_t{1} << 48), "a timestamp beyond 48 bits");
        result.frames.append(frame.bytes.begin(), frame.bytes.end());
        result.frames +=
            '/' + std::to_string(frame.timestamp) + '/' + std::to_string(frame.signal) + ';';
        ++result.count;
    };
    decoder.Feed(stream.first(cut), visit);
    stream = stream.subspan(cut);
    while (!stream.empty()) {
        const std::size_t size = std::min(chunk, stream.size());
        decoder.Feed(stream.first(size), visit);
        stream = stream.subspan(size);
    }
    Check(decoder.Frames() == result.count, "the frame counter differs from the frames seen");
    result.others = decoder.OtherFrames();
    result.resyncs = decoder.Resyncs();
    result.skipped = decoder.SkippedBytes();
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t chunk = input.ConsumeIntegralInRange<std::size_t>(1, 32);
    const std::size_t cutChoice = input.ConsumeIntegral<std::uint16_t>();
    const std::vector<std::uint8_t> bytes = input.ConsumeRemainingBytes<std::uint8_t>();
    const std::span<const std::uint8_t> stream(bytes);
    const std::size_t cut = cutChoice % (stream.size() + 1);

    const std::size_t all = stream.size() + 1;

    const Result whole = Decode(stream, 0, all);
    Check(Decode(stream, cut, all) == whole, "two chunks decode differently from the whole");
    Check(Decode(stream, 0, chunk) == whole, "small chunks decode differently from the whole");
    Check(whole.skipped + 16 * whole.count + 11 * whole.others <= stream.size(),
          "the counters claim more bytes than were fed");
    Check(whole.resyncs <= whole.skipped, "a resync without a skipped byte");
    return 0;
}
