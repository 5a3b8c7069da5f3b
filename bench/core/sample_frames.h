#pragma once
// Real-looking receiver traffic for the benchmarks: Mode S frames of the kinds a receiver near
// an airway hears (extended squitters, acquisition squitters, surveillance and Comm-B
// replies) with correct parity, as the "*" format sends them (transmitted parity) and as the
// ":" format sends them (residual already in place), plus a port-30003 feed.
//
// Everything is built from a fixed seed, so every run measures the same bytes. The parity
// comes from the simulator's own bit-by-bit reference, never from the program's, so the
// tests that take their frames from here can see a fault in the program's parity.

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "core/frames/df_group.h"
#include "core/frames/interval_counts.h"
#include "tools/sim/reference_parity.h"

namespace quorvex::bench {

// One frame in both line formats and the group it must be counted in.
struct SampleFrame {
    std::string transmitted;  // "*" format: parity field as sent by the aircraft
    std::string residual;     // ":" format: the receiver put the residual there
    DfGroup group;
};

inline constexpr std::array<std::uint32_t, 12> kSampleAddresses = {
    0x4840D6, 0x3C6586, 0x406B90, 0x4CA7B5, 0x89644D, 0xA1B2C3,
    0x7C1234, 0x0D0AE2, 0x4B1814, 0x44CE6F, 0x3949F6, 0x502CB3,
};

inline std::string HexText(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

// Builds a frame from its first byte, its data bytes after that and the value the residual
// must come out as (0 for squitters, the interrogator code for DF 11, the address for the
// address/parity replies).
inline SampleFrame MakeFrame(std::uint8_t first, std::span<const std::uint8_t> rest,
                             std::uint32_t residual, DfGroup group) {
    std::vector<std::uint8_t> bytes;
    bytes.push_back(first);
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    const std::uint32_t parity = sim::ReferenceParity(bytes) ^ residual;
    std::vector<std::uint8_t> sent = bytes;
    sent.push_back(static_cast<std::uint8_t>(parity >> 16));
    sent.push_back(static_cast<std::uint8_t>(parity >> 8));
    sent.push_back(static_cast<std::uint8_t>(parity));
    std::vector<std::uint8_t> withResidual = bytes;
    withResidual.push_back(static_cast<std::uint8_t>(residual >> 16));
    withResidual.push_back(static_cast<std::uint8_t>(residual >> 8));
    withResidual.push_back(static_cast<std::uint8_t>(residual));
    return {HexText(sent), HexText(withResidual), group};
}

// Short (56-bit) traffic: DF 11 all-call replies (a few with an interrogator code), DF 4 and
// DF 5 surveillance replies, DF 0 air-air replies.
inline std::vector<SampleFrame> ShortSampleFrames(std::size_t count) {
    std::mt19937 random(11);
    std::vector<SampleFrame> frames;
    frames.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t address = kSampleAddresses[random() % kSampleAddresses.size()];
        const std::array<std::uint8_t, 3> addressBytes = {static_cast<std::uint8_t>(address >> 16),
                                                          static_cast<std::uint8_t>(address >> 8),
                                                          static_cast<std::uint8_t>(address)};
        const std::array<std::uint8_t, 3> field = {static_cast<std::uint8_t>(random()),
                                                   static_cast<std::uint8_t>(random()),
                                                   static_cast<std::uint8_t>(random())};
        switch (i % 8) {
            case 0:
            case 1:
            case 2:
                frames.push_back(MakeFrame(0x5D, addressBytes, 0, DfGroup::Df11));
                break;
            case 3:  // all-call reply to interrogator code 3
                frames.push_back(MakeFrame(0x5D, addressBytes, 0x000003, DfGroup::Df11Ic));
                break;
            case 4:
            case 5:
                frames.push_back(MakeFrame(0x20, field, address, DfGroup::Df4_5));
                break;
            case 6:
                frames.push_back(MakeFrame(0x28, field, address, DfGroup::Df4_5));
                break;
            default:
                frames.push_back(MakeFrame(0x02, field, address, DfGroup::Df0));
                break;
        }
    }
    return frames;
}

// Long (112-bit) traffic: DF 17 extended squitters (most of it), DF 18 non-transponder
// squitters, DF 20 and DF 21 Comm-B replies. The first one is the well-known airborne
// position squitter 8D4840D6202CC371C32CE0576098.
inline std::vector<SampleFrame> LongSampleFrames(std::size_t count) {
    std::mt19937 random(17);
    std::vector<SampleFrame> frames;
    frames.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t address = kSampleAddresses[random() % kSampleAddresses.size()];
        std::array<std::uint8_t, 10> rest{};
        rest[0] = static_cast<std::uint8_t>(address >> 16);
        rest[1] = static_cast<std::uint8_t>(address >> 8);
        rest[2] = static_cast<std::uint8_t>(address);
        for (std::size_t k = 3; k < rest.size(); ++k) rest[k] = static_cast<std::uint8_t>(random());
        if (i == 0) {
            rest = {0x48, 0x40, 0xD6, 0x20, 0x2C, 0xC3, 0x71, 0xC3, 0x2C, 0xE0};
            frames.push_back(MakeFrame(0x8D, rest, 0, DfGroup::Df17_19));
            continue;
        }
        switch (i % 8) {
            case 0:
            case 1:
            case 2:
            case 3:
            case 4:
                frames.push_back(MakeFrame(0x8D, rest, 0, DfGroup::Df17_19));
                break;
            case 5:
                frames.push_back(MakeFrame(0x90, rest, 0, DfGroup::Df17_19));
                break;
            case 6:
                frames.push_back(MakeFrame(0xA0, rest, address, DfGroup::Df20_21));
                break;
            default:
                frames.push_back(MakeFrame(0xA8, rest, address, DfGroup::Df20_21));
                break;
        }
    }
    return frames;
}

// Short and long frames interleaved roughly as a busy receiver delivers them.
inline std::vector<SampleFrame> MixedSampleFrames(std::size_t count) {
    const std::vector<SampleFrame> shorts = ShortSampleFrames(count);
    const std::vector<SampleFrame> longs = LongSampleFrames(count);
    std::vector<SampleFrame> frames;
    frames.reserve(count);
    for (std::size_t i = 0; i < count; ++i) frames.push_back(i % 5 < 2 ? shorts[i] : longs[i]);
    return frames;
}

// A port-30003 feed as a decoder on the local machine sends it: "MSG," lines of types 1 to 8
// in realistic proportions (mostly 5, 7, 8, 3 and 4), CR LF line ends. `expected` receives
// what the scan must count for it.
inline std::string SampleFeedText(std::size_t minBytes, FeedCounts& expected) {
    std::mt19937 random(30003);
    // Types by share: 8 all-call, 5 surveillance altitude, 7 air-to-air, 3 position,
    // 4 velocity, 6 squawk, 1 identification, 2 surface position.
    static constexpr std::array<int, 20> kTypes = {8, 8, 8, 8, 8, 5, 5, 5, 5, 7,
                                                   7, 7, 3, 3, 3, 4, 4, 6, 1, 2};
    static constexpr std::array<const char*, 4> kCallsigns = {"KLM1023 ", "EZY45TR ", "DLH4AB  ",
                                                              "BAW256  "};
    expected = FeedCounts{};
    std::string text;
    text.reserve(minBytes + 256);
    int millis = 123;
    char line[256];
    while (text.size() < minBytes) {
        const int type = kTypes[random() % kTypes.size()];
        const unsigned address = kSampleAddresses[random() % kSampleAddresses.size()];
        millis = (millis + 7) % 1000;
        const int n = std::snprintf(line, sizeof line,
                                    "MSG,%d,111,11111,%06X,111111,2026/12/07,19:47:04.%03d,"
                                    "2026/12/07,19:47:04.%03d,",
                                    type, address, millis, (millis + 27) % 1000);
        text.append(line, static_cast<std::size_t>(n));
        switch (type) {
            case 1:
                text += kCallsigns[random() % kCallsigns.size()];
                text += ",,,,,,,,,,0";
                break;
            case 2:
                text += ",0,120,270,51.1234,4.5678,,,,,,0";
                break;
            case 3:
                text += ",37000,,,51.1234,4.5678,,,0,0,0,0";
                break;
            case 4:
                text += ",,452,118,,,-64,,,,,0";
                break;
            case 5:
                text += ",37000,,,,,,,0,,0,0";
                break;
            case 6:
                text += ",,,,,,,7421,0,0,0,0";
                break;
            case 7:
                text += ",37000,,,,,,,,,,0";
                break;
            default:
                text += ",,,,,,,,,,,0";
                break;
        }
        text += "\r\n";
        switch (type) {
            case 5:
            case 6:
                ++expected.Msg5_6;
                break;
            case 8:
                ++expected.Msg8;
                break;
            default:
                ++expected.MsgOther;
                break;
        }
    }
    return text;
}

}  // namespace quorvex::bench
