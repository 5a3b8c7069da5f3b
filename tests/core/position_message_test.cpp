// The position fields of an extended squitter: which frames carry one, the CPR fields, and
// the altitude (Q-bit counts and Gillham codes).

#include <gtest/gtest.h>

#include <optional>

#include "core/positions/altitude_code.h"
#include "core/positions/position_message.h"
#include "support/hex_bytes.h"
#include "tests/core/cpr_test_frames.h"

namespace quorvex {
namespace {

TEST(PositionMessageTest, PublishedFramesGiveTheirFieldsAndAltitude) {
    const struct {
        const char* frame;
        int feet;
        bool odd;
        std::uint32_t lat, lon;  // not checked when 0
    } cases[] = {
        // The 1090 MHz riddle guide's worked pair.
        {"8D40621D58C382D690C8AC2863A7", 38000, false, 93000, 51372},
        {"8D40621D58C386435CC412692AD6", 38000, true, 74158, 50194},
        {"8D40058B58C901375147EFD09357", 39000, false, 0, 0},  // pyModeS
        {"8d484fde5803b647ecec4fcdd74f", -325, true, 0, 0},    // rs1090, Schiphol
        {"8d4401e458058645a8ea90496290", 0, true, 0, 0},       // rs1090
        {"8d343386581f06318ad4fecab734", 5000, true, 0, 0},    // rs1090
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        const auto message = ReadPositionMessage(test::Bytes(c.frame));
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->typeCode, 11);
        EXPECT_EQ(message->altitudeFt, c.feet);
        EXPECT_EQ(message->altitudeKind, AltitudeKind::Barometric);
        EXPECT_EQ(message->cpr.odd, c.odd);
        EXPECT_TRUE(c.lat == 0 || message->cpr.lat == c.lat) << message->cpr.lat;
        EXPECT_TRUE(c.lon == 0 || message->cpr.lon == c.lon) << message->cpr.lon;
    }
}

TEST(PositionMessageTest, TypeCodesSortIntoAirborneSurfaceAndNone) {
    const CprFrame cpr{true, 0x1ABCD, 0x0F00F};
    for (int tc = 0; tc < 32; ++tc) {
        SCOPED_TRACE(tc);
        const auto message = ReadPositionMessage(test::PositionFrame(0x4840D6, tc, cpr));
        const bool surface = tc >= 5 && tc <= 8;
        const bool airborne = (tc >= 9 && tc <= 18) || (tc >= 20 && tc <= 22);
        ASSERT_EQ(message.has_value(), surface || airborne);
        if (!message) continue;
        EXPECT_EQ(message->surface, surface);
        EXPECT_EQ(message->cpr.odd, cpr.odd);
        EXPECT_EQ(message->cpr.lat, cpr.lat);
        EXPECT_EQ(message->cpr.lon, cpr.lon);
        const AltitudeKind kind =
            surface ? AltitudeKind::None
                    : (tc >= 20 ? AltitudeKind::GnssHeight : AltitudeKind::Barometric);
        EXPECT_EQ(message->altitudeKind, kind);
        EXPECT_EQ(message->altitudeFt, surface ? std::nullopt : std::optional(38000));
    }
}

TEST(PositionMessageTest, OnlyLongSquittersOfTheSquitterLayoutCount) {
    auto frame = test::PositionFrame(0x4840D6, 11, {});
    const struct {
        std::uint8_t first;
        bool position;
    } cases[] = {
        {0x8D, true},   // DF 17
        {0x90, true},   // DF 18, ADS-B
        {0x92, true},   // DF 18, fine TIS-B
        {0x93, false},  // DF 18, coarse TIS-B
        {0x96, true},   // DF 18, ADS-R
        {0x97, false},  // DF 18, reserved
        {0x98, false},  // DF 19
        {0xA0, false},  // DF 20
    };
    for (const auto& c : cases) {
        frame[0] = c.first;
        EXPECT_EQ(ReadPositionMessage(frame).has_value(), c.position) << int(c.first);
    }
    EXPECT_FALSE(ReadPositionMessage(std::span(frame).first(7)).has_value());
    EXPECT_FALSE(ReadPositionMessage({}).has_value());
}

TEST(AltitudeCodeTest, GillhamCodesOfThePublishedTable) {
    // Codes in the order D1 D2 D4 A1 A2 A4 B1 B2 B4 C1 C2 C4, from the table of the gillham
    // package's tests (each code's band of 100 ft around the altitude).
    const struct {
        std::uint16_t code;
        int feet;
    } cases[] = {
        {0b000000000010, -1000}, {0b000000011010, 0},      {0b000011101010, 10000},
        {0b000100000001, 30700}, {0b001111000011, 38900},  {0b001111111100, 41300},
        {0b001010101010, 50000}, {0b010000000010, 126500}, {0b010000000001, 126700},
    };
    for (const auto& c : cases) EXPECT_EQ(GillhamAltitude(c.code), c.feet) << c.code;
    // The 100 ft code never takes 000, 101 or 111 (as Gray code: 0, 6 and 5).
    for (const std::uint16_t invalid : {0b000000011000, 0b000000011101, 0b000000011111}) {
        EXPECT_EQ(GillhamAltitude(invalid), std::nullopt) << invalid;
    }
}

TEST(AltitudeCodeTest, FieldTakesQBitCountsAndGillhamCodes) {
    // Field bits: C1 A1 C2 A2 C4 A4 B1 Q B2 D2 B4 D4.
    const struct {
        std::uint16_t field;
        std::optional<int> feet;
    } cases[] = {
        {0x000, std::nullopt},          // no altitude
        {0x010, -1000},                 // Q alone: a count of 0
        {0xC38, 38000},                 // count 1560
        {0xFFF, 50175},                 // the largest count, 2047
        {0x200, -1000},                 // C2
        {0x084, 126700},                // D2 C4
        {0x480, 30700},                 // A1 C4
        {0x008 | 0x002, std::nullopt},  // B2 B4 without C: no altitude has it
    };
    for (const auto& c : cases) EXPECT_EQ(AltitudeFromField(c.field), c.feet) << c.field;
}

}  // namespace
}  // namespace quorvex
