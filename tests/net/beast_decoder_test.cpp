// The Beast decoder on hand-written streams: escapes in timestamp, signal and payload, the
// frames it drops, garbage and truncated frames; every stream also cut at every offset and
// fed byte by byte, which must change nothing.

#include "net/beast_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <vector>

namespace quorvex::net {
namespace {

using Bytes = std::vector<std::uint8_t>;

// "1A 33 00" or "1A3300" -> {0x1A, 0x33, 0x00}
Bytes B(const char* text) {
    Bytes bytes;
    unsigned value = 0;
    int consumed = 0;
    while (std::sscanf(text, "%2x%n", &value, &consumed) == 1) {
        bytes.push_back(static_cast<std::uint8_t>(value));
        text += consumed;
    }
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Head(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + count);
}

struct Out {
    Bytes bytes;
    std::uint64_t timestamp;
    unsigned signal;
    friend bool operator==(const Out&, const Out&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Out& o) {
        os << std::hex;
        for (const std::uint8_t byte : o.bytes) os << static_cast<unsigned>(byte) << ' ';
        return os << '@' << o.timestamp << std::dec << " s" << o.signal;
    }
};

struct Decoded {
    std::vector<Out> frames;
    std::uint64_t others = 0, resyncs = 0, skipped = 0;
    friend bool operator==(const Decoded&, const Decoded&) = default;
};

Decoded Decode(const std::vector<Bytes>& chunks) {
    BeastDecoder decoder;
    Decoded result;
    for (const Bytes& chunk : chunks) {
        decoder.Feed(chunk, [&](const BeastDecoder::Frame& f) {
            result.frames.push_back({Bytes(f.bytes.begin(), f.bytes.end()), f.timestamp, f.signal});
        });
    }
    EXPECT_EQ(decoder.Frames(), result.frames.size());
    result.others = decoder.OtherFrames();
    result.resyncs = decoder.Resyncs();
    result.skipped = decoder.SkippedBytes();
    return result;
}

// Decodes whole, then cut in two at every offset, then byte by byte: all must agree.
Decoded DecodeEveryWay(const Bytes& stream) {
    const Decoded whole = Decode({stream});
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        const Bytes head = Head(stream, cut);
        const Bytes tail(stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end());
        EXPECT_EQ(Decode({head, tail}), whole) << "cut at " << cut;
    }
    std::vector<Bytes> single;
    for (const std::uint8_t byte : stream) single.push_back({byte});
    EXPECT_EQ(Decode(single), whole) << "byte by byte";
    return whole;
}

// DF17 identification; timestamp and signal hold 0x1A.
const Bytes kLong = B("1A 33 00 00 1A 1A 2B 3C 4D 1A 1A 8D 48 40 D6 20 2C C3 71 C3 2C E0 57 60 98");
const Out kLongOut{B("8D4840D6202CC371C32CE0576098"), 0x00001A2B3C4D, 0x1A};
// DF11 all-call reply.
const Bytes kShort = B("1A 32 00 00 00 00 01 00 C8 5D 48 40 D6 A2 F3 B1");
const Out kShortOut{B("5D4840D6A2F3B1"), 0x100, 0xC8};
const Bytes kModeAC = B("1A 31 00 00 00 00 02 00 40 12 34");
const Bytes kStatus = B("1A 34 00 00 00 00 03 00 00 1A 1A 00 00 00 00 00 00 00 00 00 00 00 00 00");
// 0x1A inside the payload and as its last byte.
const Bytes kLongEscaped =
    B("1A 33 FF FF FF FF FF FF FF 8D 1A 1A 3C 4D 58 99 01 02 03 04 05 06 07 1A 1A");
const Out kLongEscapedOut{B("8D1A3C4D5899010203040506071A"), 0xFFFFFFFFFFFF, 0xFF};
// A timestamp of six 0x1A bytes.
const Bytes kShortEscaped = B("1A 32 1A 1A 1A 1A 1A 1A 1A 1A 1A 1A 1A 1A 00 02 A1 B2 C3 D4 E5 F6");
const Out kShortEscapedOut{B("02A1B2C3D4E5F6"), 0x1A1A1A1A1A1A, 0x00};

TEST(BeastDecoderTest, AStreamDecodesTheSameHoweverItIsCut) {
    const Decoded decoded =
        DecodeEveryWay(kLong + kShort + kModeAC + kStatus + kLongEscaped + kShortEscaped);
    EXPECT_EQ(decoded.frames,
              (std::vector<Out>{kLongOut, kShortOut, kLongEscapedOut, kShortEscapedOut}));
    EXPECT_EQ(decoded.others, 2u);
    EXPECT_EQ(decoded.resyncs, 0u);
    EXPECT_EQ(decoded.skipped, 0u);
}

TEST(BeastDecoderTest, GarbageIsSkippedAndTheNextGoodFrameKept) {
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<Out> frames;
        std::uint64_t resyncs;
        std::uint64_t skipped;
    };
    const Case cases[] = {
        {"garbage and a doubled 0x1A before the first frame",
         B("FF 00 1A") + kShort,
         {kShortOut},
         1,
         3},
        {"garbage between frames", kLong + B("00 11 22") + kShort, {kLongOut, kShortOut}, 1, 3},
        {"two runs of garbage", B("00") + kLong + B("00") + kShort, {kLongOut, kShortOut}, 2, 2},
        {"an unknown type byte", B("1A 35 01 02 03") + kShort, {kShortOut}, 1, 5},
        {"a type byte of 0", B("1A 00") + kLongEscaped, {kLongEscapedOut}, 1, 2},
        {"a long frame cut short by the next frame", Head(kLong, 12) + kShort, {kShortOut}, 1, 12},
        {"a frame cut short, then a Mode A/C frame",
         Head(kLongEscaped, 8) + kModeAC + kLong,
         {kLongOut},
         1,
         8},
        {"a lone 0x1A inside a frame", B("1A 32 00 00 1A 00") + kShort, {kShortOut}, 1, 6},
        {"a frame not yet complete at the end", kLong + Head(kShort, 5), {kLongOut}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded decoded = DecodeEveryWay(c.stream);
        EXPECT_EQ(decoded.frames, c.frames);
        EXPECT_EQ(decoded.resyncs, c.resyncs);
        EXPECT_EQ(decoded.skipped, c.skipped);
    }
}

TEST(BeastDecoderTest, ResetDropsTheFrameInProgress) {
    BeastDecoder decoder;
    std::vector<Bytes> frames;
    const auto collect = [&](const BeastDecoder::Frame& f) {
        frames.emplace_back(f.bytes.begin(), f.bytes.end());
    };
    decoder.Feed(Head(kLong, 10), collect);
    decoder.Reset();
    decoder.Feed(kShort, collect);
    EXPECT_EQ(frames, std::vector<Bytes>{kShortOut.bytes});
    EXPECT_EQ(decoder.SkippedBytes(), 10u);
}

}  // namespace
}  // namespace quorvex::net
