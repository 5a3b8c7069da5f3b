// The table-driven Mode S parity against the simulator's bit-by-bit long division, and against
// frames whose parity is published.
//
// Suite names start in lower case ("parity...") so that `ctest -R parity` selects them.

#include "core/frames/mode_s_parity.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/hex_bytes.h"
#include "tools/sim/reference_parity.h"

namespace quorvex {
namespace {

using sim::ReferenceParity;

std::uint32_t LoadWord(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return (std::uint32_t{b0} << 24) | (std::uint32_t{b1} << 16) | (std::uint32_t{b2} << 8) |
           std::uint32_t{b3};
}

std::string Hex6(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value));
    return text;
}

using test::Bytes;

template <std::size_t N>
void ExpectMatchesReference(std::mt19937_64& rng, int samples, int textEvery) {
    std::array<std::uint8_t, N> data{};
    for (int n = 0; n < samples; ++n) {
        for (std::size_t i = 0; i < N; i += 8) {
            std::uint64_t bits = rng();
            for (std::size_t j = i; j < N && j < i + 8; ++j, bits >>= 8) {
                data[j] = static_cast<std::uint8_t>(bits);
            }
        }
        const std::uint32_t expected = ReferenceParity(data);
        const std::uint32_t actual = ModeSParityValue(data);
        if (actual != expected) {
            ADD_FAILURE() << N << " bytes, sample " << n << ": got " << Hex6(actual)
                          << ", bitwise division gives " << Hex6(expected);
            return;
        }
        if (n % textEvery == 0) {
            ASSERT_EQ(ModeSParity(data), Hex6(expected)) << N << " bytes, sample " << n;
        }
    }
}

TEST(parityAgainstBitwiseDivision, MillionRandomShortFrames) {
    std::mt19937_64 rng(0x51A7E5C0FFEEull);
    ExpectMatchesReference<4>(rng, 1'000'000, 97);
}

TEST(parityAgainstBitwiseDivision, MillionRandomLongFrames) {
    std::mt19937_64 rng(0x0DDBA11CAFEull);
    ExpectMatchesReference<11>(rng, 1'000'000, 97);
}

// Zero data, all ones and every single set bit: the corners random draws rarely reach.
TEST(parityAgainstBitwiseDivision, ZeroOnesAndEverySingleBit) {
    std::array<std::uint8_t, 4> s{};
    std::array<std::uint8_t, 11> l{};
    EXPECT_EQ(ModeSParity(s), "000000");
    EXPECT_EQ(ModeSParity(l), "000000");
    s.fill(0xFF);
    l.fill(0xFF);
    EXPECT_EQ(ModeSParity(s), Hex6(ReferenceParity(s)));
    EXPECT_EQ(ModeSParity(l), Hex6(ReferenceParity(l)));
    for (int bit = 0; bit < 32; ++bit) {
        s.fill(0);
        s[bit / 8] = static_cast<std::uint8_t>(0x80 >> (bit % 8));
        EXPECT_EQ(ModeSParity(s), Hex6(ReferenceParity(s))) << "short frame, data bit " << bit;
    }
    for (int bit = 0; bit < 88; ++bit) {
        l.fill(0);
        l[bit / 8] = static_cast<std::uint8_t>(0x80 >> (bit % 8));
        EXPECT_EQ(ModeSParity(l), Hex6(ReferenceParity(l))) << "long frame, data bit " << bit;
    }
}

// Only 4 and 11 data bytes have a parity; any other count gives zero, whatever the bytes.
TEST(parityOtherByteCounts, AreZero) {
    const std::vector<std::uint8_t> ones(16, 0xFF);
    for (std::size_t count = 0; count <= ones.size(); ++count) {
        if (count == 4 || count == 11) continue;
        const std::span<const std::uint8_t> data(ones.data(), count);
        EXPECT_EQ(ModeSParityValue(data), 0u) << count << " bytes";
        EXPECT_EQ(ModeSParity(data), "000000") << count << " bytes";
    }
    // The two valid counts over the same bytes do have a parity, so zero above is meaningful.
    EXPECT_NE(ModeSParity(std::span<const std::uint8_t>(ones.data(), 4)), "000000");
    EXPECT_NE(ModeSParity(std::span<const std::uint8_t>(ones.data(), 11)), "000000");
}

// Frames captured from real aircraft and printed in the Mode S literature, with the residual
// their published decodings imply: zero for extended squitters, the aircraft address for
// Comm-B replies (DF 20), the interrogator code for an all-call reply (DF 11).
struct PublishedFrame {
    const char* frame;
    std::uint32_t residual;
    const char* what;
};

const PublishedFrame kPublished[] = {
    {"8D4840D6202CC371C32CE0576098", 0, "DF 17 identification KLM1023, ICAO 4840D6"},
    {"8D40621D58C382D690C8AC2863A7", 0, "DF 17 airborne position (even), ICAO 40621D"},
    {"8D40621D58C386435CC412692AD6", 0, "DF 17 airborne position (odd), ICAO 40621D"},
    {"8D485020994409940838175B284F", 0, "DF 17 airborne velocity, ICAO 485020"},
    {"8DA05F219B06B6AF189400CBC33F", 0, "DF 17 airborne velocity, ICAO A05F21"},
    {"8D406B902015A678D4D220AA4BDA", 0, "DF 17 identification, ICAO 406B90"},
    {"A0001839CA3800315800007448D9", 0x400940, "DF 20 Comm-B, address 400940"},
    {"A000139381951536E024D4CCF6B5", 0x3C4DD2, "DF 20 Comm-B, address 3C4DD2"},
    {"A000029CFFBAA11E2004727281F1", 0x4243D0, "DF 20 Comm-B, address 4243D0"},
    {"5D484FDEA248F5", 0x000016, "DF 11 all-call reply, ICAO 484FDE, interrogator SI 6"},
};

TEST(parityPublishedFrames, ResidualIsWhatTheDecodedFrameSays) {
    for (const PublishedFrame& p : kPublished) {
        const std::vector<std::uint8_t> bytes = Bytes(p.frame);
        const std::span<const std::uint8_t> data(bytes.data(), bytes.size() - 3);
        const std::uint32_t transmitted =
            LoadWord(0, bytes[bytes.size() - 3], bytes[bytes.size() - 2], bytes.back());
        EXPECT_EQ(Hex6(ModeSParityValue(data) ^ transmitted), Hex6(p.residual)) << p.what;
        EXPECT_EQ(ModeSParity(data), Hex6(p.residual ^ transmitted)) << p.what;
    }
}

// The reference itself reproduces the published parities, so agreeing with it means agreeing
// with the standard and not with a shared mistake.
TEST(parityPublishedFrames, BitwiseReferenceAgrees) {
    for (const PublishedFrame& p : kPublished) {
        const std::vector<std::uint8_t> b = Bytes(p.frame);
        const std::uint32_t transmitted = LoadWord(0, b[b.size() - 3], b[b.size() - 2], b.back());
        const std::uint32_t parity =
            ReferenceParity(std::span<const std::uint8_t>(b.data(), b.size() - 3));
        EXPECT_EQ(Hex6(parity ^ transmitted), Hex6(p.residual)) << p.what;
    }
}

}  // namespace
}  // namespace quorvex
