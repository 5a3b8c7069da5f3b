// Addresses of frames and feed entries, and the per-aircraft tally: the rule that keeps a
// corrupted frame from adding an aircraft, the minute window, the bound and Clear.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench/core/sample_frames.h"
#include "core/comparison/aircraft_table.h"
#include "core/comparison/aircraft_tally.h"
#include "core/frames/mode_s_address.h"
#include "support/hex_bytes.h"

namespace quorvex {
namespace {

using bench::MakeFrame;

constexpr std::uint32_t kKlm = 0x4840D6;
constexpr std::uint32_t kOther = 0x3C6586;

// A frame with a good parity naming `address`: in its address field for DF 11, 17 and 18,
// else through the residual. `longFrame` picks 112 bits.
bench::SampleFrame Frame(std::uint8_t first, std::uint32_t address, bool longFrame) {
    std::vector<std::uint8_t> rest(longFrame ? 10 : 3, 0x5A);
    const int df = first >> 3;
    const bool announced = df == 11 || df == 17 || df == 18;
    if (announced) {
        rest[0] = static_cast<std::uint8_t>(address >> 16);
        rest[1] = static_cast<std::uint8_t>(address >> 8);
        rest[2] = static_cast<std::uint8_t>(address);
    }
    return MakeFrame(first, rest, announced ? 0 : address, DfGroup::Df0);
}

DecodeResult Decoded(std::uint8_t first, std::uint32_t address, bool longFrame = false) {
    return DecodeFrame(Frame(first, address, longFrame).transmitted, true);
}

std::string FeedEntry(std::uint32_t address) {
    char line[64];
    std::snprintf(line, sizeof line, "MSG,8,1,1,%06X,1,2026/12/07,19:47:04.123,,,", address);
    return line;
}

TEST(ModeSAddressTest, PublishedFramesNameTheirAircraft) {
    const struct {
        std::string_view frame;
        std::uint32_t address;
    } cases[] = {
        {"8D4840D6202CC371C32CE0576098", 0x4840D6},  // DF 17 airborne position
        {"5D484FDEA248F5", 0x484FDE},                // DF 11 all-call reply
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        const auto address = AddressOf(DecodeFrame(c.frame, true));
        ASSERT_TRUE(address.has_value());
        EXPECT_EQ(address->address, c.address);
        EXPECT_TRUE(address->announced);
    }
}

TEST(ModeSAddressTest, EveryDfTakesItsAddressFromItsOwnPlace) {
    const struct {
        std::uint8_t first;
        bool longFrame;
        bool announced;
        bool counted;  // by the decoder, so AddressOf sees it
    } cases[] = {
        {0x02, false, false, true},  // DF 0
        {0x20, false, false, true},  // DF 4
        {0x28, false, false, true},  // DF 5
        {0x5D, false, true, true},   // DF 11
        {0x80, true, false, false},  // DF 16: the decoder does not count it
        {0x8D, true, true, true},    // DF 17
        {0x90, true, true, true},    // DF 18
        {0xA0, true, false, true},   // DF 20
        {0xA8, true, false, true},   // DF 21
        {0xA0, false, false, true},  // DF 20 cut to 56 bits: still its last six digits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "first byte " << int{c.first});
        const bench::SampleFrame frame = Frame(c.first, kKlm, c.longFrame);
        const auto fromText = FrameAddressOf(test::Bytes(frame.residual));
        ASSERT_TRUE(fromText.has_value());
        EXPECT_EQ(fromText->address, kKlm);
        EXPECT_EQ(fromText->announced, c.announced);
        // "*" with the residual computed here and ":" with the receiver's residual agree.
        for (const auto& [packet, crc] :
             {std::pair{frame.transmitted, true}, std::pair{frame.residual, false}}) {
            const auto address = AddressOf(DecodeFrame(packet, crc));
            EXPECT_EQ(address.has_value(), c.counted);
            if (address) {
                EXPECT_EQ(address->address, kKlm);
            }
        }
    }
}

TEST(ModeSAddressTest, NoAddressWithoutOne) {
    const std::string_view frames[] = {
        "9840D6202CC371C32CE000000000",  // DF 19
        "C040D6202CC371C32CE000000000",  // DF 24
        "8D4840D6202CC371",              // neither 7 nor 14 bytes
        "",
    };
    for (const std::string_view frame : frames) {
        EXPECT_FALSE(FrameAddressOf(test::Bytes(frame))) << frame;
    }
    // A DF 17 whose parity fails is no counted frame.
    EXPECT_FALSE(AddressOf(DecodeFrame("8D4840D6202CC371C32CE0576099", true)));
    // Without the CRC option a frame with a digit that is no number is counted by its text,
    // but has no bytes to take an address from.
    for (const std::string_view frame :
         {"8D48G0D6202CC371C32CE0000000", "A0001838CA3E51F0A80000X7A36A"}) {
        const DecodeResult result = DecodeFrame(frame, false);
        EXPECT_TRUE(result.verdict.IsCounted()) << frame;
        EXPECT_FALSE(AddressOf(result)) << frame;
    }
}

TEST(FeedEntryAddressTest, FifthFieldOnlyAndOnlySixDigits) {
    const struct {
        std::string_view entry;
        std::optional<std::uint32_t> address;
    } cases[] = {
        {"MSG,3,1,1,4840D6,1,2026/12/07,19:47:04.123,,,37000", 0x4840D6},
        {"3,111,11111,4840d6,111111,\r\n", 0x4840D6},  // as the scan hands it over
        {"MSG,8,1,1,4840D6", 0x4840D6},
        {"MSG,8,1,1,000000,", 0},
        {"MSG,3,1,1,4840D,1", std::nullopt},
        {"MSG,3,1,1,4840D60,1", std::nullopt},
        {"MSG,3,1,1,~4840D,1", std::nullopt},
        {"MSG,3,1,1,48 0D6,1", std::nullopt},
        {"MSG,3,1,4840D6,1,", std::nullopt},
        {"MSG,3,1,1,,4840D6", std::nullopt},
        {"MSG,3,1,1", std::nullopt},
        {"MSG,", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(FeedEntryAddress(c.entry), c.address) << c.entry;
}

TEST(AircraftTallyTest, AResidualCountsOnlyForAnAddressAnnouncedInTheLastMinute) {
    AircraftTally tally;
    // Alone, DF 4 and DF 20 frames (a corrupted bit looks the same) add no aircraft.
    EXPECT_FALSE(tally.CountFrame(SourceId::Receiver1, Decoded(0x20, kKlm), 100));
    EXPECT_FALSE(tally.CountFrame(SourceId::Receiver2, Decoded(0xA0, kKlm, true), 100));
    // Nor does a DF 17 whose parity fails, nor the feed, which has no parity to check.
    EXPECT_FALSE(tally.CountFrame(SourceId::Receiver1,
                                  DecodeFrame("8D4840D6202CC371C32CE0576099", true), 100));
    EXPECT_TRUE(tally.CountFeedEntry(FeedEntry(kKlm), 100));
    EXPECT_FALSE(tally.CountFrame(SourceId::Receiver1, Decoded(0x20, kKlm), 100));
    EXPECT_EQ(tally.Row(kKlm)[SourceId::Receiver1].total, 0u);

    // Receiver 2's DF 17 announces it for both receivers.
    EXPECT_TRUE(tally.CountFrame(SourceId::Receiver2, Decoded(0x8D, kKlm, true), 101));
    const struct {
        std::int64_t second;
        bool counted;
    } cases[] = {{101, true}, {130, true}, {161, true}, {162, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(tally.CountFrame(SourceId::Receiver1, Decoded(0x20, kKlm), c.second), c.counted)
            << c.second;
        EXPECT_EQ(tally.CountFrame(SourceId::Receiver1, Decoded(0xA8, kKlm, true), c.second),
                  c.counted)
            << c.second;
    }
    EXPECT_EQ(tally.Row(kKlm)[SourceId::Receiver1].total, 6u);
    // A DF 11 announces too, and the residual counts again.
    EXPECT_TRUE(tally.CountFrame(SourceId::Receiver1, Decoded(0x5D, kKlm), 170));
    EXPECT_TRUE(tally.CountFrame(SourceId::Receiver2, Decoded(0x02, kKlm), 229));
    EXPECT_FALSE(tally.CountFrame(SourceId::Receiver2, Decoded(0x02, kOther), 229));
    EXPECT_EQ(tally.size(), 1u);
}

TEST(AircraftTallyTest, EachSourceHasItsOwnFigures) {
    AircraftTally tally;
    tally.CountFrame(SourceId::Receiver1, Decoded(0x8D, kKlm, true), 10);
    tally.CountFrame(SourceId::Receiver1, Decoded(0x20, kKlm), 12);
    tally.CountFrame(SourceId::Receiver2, Decoded(0x5D, kKlm), 11);
    tally.CountFeedEntry(FeedEntry(kKlm), 13);
    tally.CountFeedEntry(FeedEntry(kKlm), 14);
    tally.CountFeedEntry(FeedEntry(kOther), 14);
    tally.CountFeedEntry("MSG,3,1,1,4840D,1,", 14);  // malformed: counts nothing

    const TallyRow row = tally.Row(kKlm);
    EXPECT_EQ(row.address, kKlm);
    EXPECT_EQ(row[SourceId::Receiver1], (TallyFigures{2, 0, 2, 10, 12, {}}));
    EXPECT_EQ(row[SourceId::Receiver2], (TallyFigures{1, 0, 1, 11, 11, {}}));
    EXPECT_EQ(row[SourceId::Feed], (TallyFigures{2, 0, 2, 13, 14, {}}));
    EXPECT_EQ(tally.Row(kOther)[SourceId::Feed].total, 1u);
    EXPECT_EQ(tally.Row(kOther)[SourceId::Receiver1].total, 0u);

    std::set<std::uint32_t> visited;
    tally.ForEachRow(
        [&visited](const TallyRow& r) { EXPECT_TRUE(visited.insert(r.address).second); });
    EXPECT_EQ(visited, (std::set<std::uint32_t>{kKlm, kOther}));
}

// The counts without the rows are the Aircraft page's counts, at the edges of its five
// minutes too: aircraft heard by any mix of sources at seconds spread over twenty minutes.
TEST(AircraftTallyTest, CountHearingGivesTheCountsOfTheAircraftTable) {
    AircraftTally tally;
    std::mt19937 random(3);
    for (std::uint32_t a = 0; a < 400; ++a) {
        const std::uint32_t address = 0x300000 + a;
        const std::int64_t second = static_cast<std::int64_t>(random() % 1200);
        if (random() % 3 != 0)
            tally.CountFrame(SourceId::Receiver1, Decoded(0x8D, address, true), second);
        if (random() % 2 == 0)
            tally.CountFrame(SourceId::Receiver2, Decoded(0x8D, address, true),
                             second + static_cast<std::int64_t>(random() % 400));
        if (random() % 4 == 0) tally.CountFeedEntry(FeedEntry(address), second);
    }
    // One heard last at second 1000: in the table until 1299, gone at 1300.
    tally.CountFrame(SourceId::Receiver2, Decoded(0x8D, 0x3FFFFF, true), 1000);
    std::vector<AircraftTableRow> rows;
    int seen = 0;
    for (const std::int64_t now : {0, 299, 300, 700, 1199, 1299, 1300, 1599, 1600, 1700}) {
        FillAircraftTable(tally, now, rows);
        AircraftSummary expected = Summarize(rows);
        expected.MedianRatio.reset();
        EXPECT_EQ(CountHearing(tally, now), expected) << now;
        seen += expected.Both + expected.Only1 + expected.Only2 + expected.FeedOnly;
    }
    EXPECT_GT(seen, 400);
}

TEST(AircraftTallyTest, TheMinuteWindowHoldsTheLastSixtyTickedSeconds) {
    AircraftTally tally;
    const auto count = [&tally](int frames, std::int64_t second) {
        for (int i = 0; i < frames; ++i) tally.CountFeedEntry(FeedEntry(kKlm), second);
    };
    const auto figures = [&tally] { return tally.Row(kKlm)[SourceId::Feed]; };

    count(3, 10);
    tally.Tick(10);
    count(2, 11);
    EXPECT_EQ(figures().thisSecond, 2u);
    EXPECT_EQ(figures().lastMinute, 3u);
    tally.Tick(11);
    tally.Tick(11);  // the same second again closes nothing
    EXPECT_EQ(figures().thisSecond, 0u);
    EXPECT_EQ(figures().lastMinute, 5u);

    const struct {
        std::int64_t tick;
        std::uint32_t lastMinute;
    } steps[] = {
        {40, 5},
        {69, 5},  // 58 empty seconds: the window is full
        {70, 2},  // second 10 drops out
        {71, 0},  // second 11 too
    };
    for (const auto& s : steps) {
        tally.Tick(s.tick);
        EXPECT_EQ(figures().lastMinute, s.lastMinute) << s.tick;
    }
    count(7, 72);
    tally.Tick(72);
    EXPECT_EQ(figures().lastMinute, 7u);
    count(4, 73);
    tally.Tick(75);  // second 73 holds the frames, 74 and 75 are empty
    EXPECT_EQ(figures().lastMinute, 11u);
    tally.Tick(5000);  // a long gap empties the window
    EXPECT_EQ(figures().lastMinute, 0u);
    EXPECT_EQ(figures().total, 16u);
}

TEST(AircraftTallyTest, TheMeanLevelCoversThisMinuteAndTheOneBefore) {
    AircraftTally tally;
    const DecodeResult squitter = Decoded(0x8D, kKlm, true);
    tally.CountFrame(SourceId::Receiver1, squitter, 0, -10.0f);
    tally.CountFrame(SourceId::Receiver1, squitter, 0, -20.0f);
    tally.CountFrame(SourceId::Receiver1, squitter, 0);  // no level: counted, not averaged
    tally.CountFrame(SourceId::Receiver2, squitter, 0);
    const auto level = [&](SourceId source) { return tally.Row(kKlm)[source].meanLevel; };
    EXPECT_EQ(level(SourceId::Receiver1), -15.0f);
    EXPECT_EQ(level(SourceId::Receiver2), std::nullopt);
    std::int64_t second = 0;
    for (; second < 60; ++second) tally.Tick(second);  // a minute on: still the one before
    tally.CountFrame(SourceId::Receiver1, squitter, second, -30.0f);
    EXPECT_EQ(level(SourceId::Receiver1), -20.0f);
    for (; second < 120; ++second) tally.Tick(second);  // the first minute is forgotten
    EXPECT_EQ(level(SourceId::Receiver1), -30.0f);
    for (; second < 180; ++second) tally.Tick(second);
    EXPECT_EQ(level(SourceId::Receiver1), std::nullopt);
}

TEST(AircraftTallyTest, AtTheBoundTheLongestSilentAddressesGoFirst) {
    AircraftTally tally(128);  // room is made 2 at a time
    for (std::uint32_t a = 0; a < 128; ++a) tally.CountFeedEntry(FeedEntry(0x100000 + a), a);
    tally.CountFrame(SourceId::Receiver1, Decoded(0x8D, 0x100000, true), 500);  // heard again
    EXPECT_EQ(tally.size(), 128u);
    EXPECT_EQ(tally.dropped(), 0u);

    tally.CountFeedEntry(FeedEntry(kKlm), 501);
    EXPECT_EQ(tally.size(), 127u);
    EXPECT_EQ(tally.dropped(), 2u);
    EXPECT_TRUE(tally.Contains(kKlm));
    EXPECT_TRUE(tally.Contains(0x100000));
    EXPECT_FALSE(tally.Contains(0x100001));
    EXPECT_FALSE(tally.Contains(0x100002));
    // Every survivor still finds its own figures.
    for (std::uint32_t a = 3; a < 128; ++a) {
        const TallyRow row = tally.Row(0x100000 + a);
        ASSERT_EQ(row[SourceId::Feed].total, 1u) << a;
        EXPECT_EQ(row[SourceId::Feed].last, a);
    }
    EXPECT_EQ(tally.Row(0x100000)[SourceId::Receiver1].total, 1u);
}

TEST(AircraftTallyTest, TheDefaultBoundHoldsTwentyThousandAddresses) {
    AircraftTally tally;
    for (std::uint32_t a = 0; a <= 20000; ++a) tally.CountFeedEntry(FeedEntry(a), a);
    EXPECT_LE(tally.size(), 20000u);
    EXPECT_GT(tally.size(), 19000u);
    EXPECT_FALSE(tally.Contains(0));
    EXPECT_TRUE(tally.Contains(20000));
    EXPECT_TRUE(tally.Contains(19999));
}

TEST(AircraftTallyTest, ClearForgetsAddressesAndAnnouncements) {
    AircraftTally tally;
    tally.CountFrame(SourceId::Receiver1, Decoded(0x8D, kKlm, true), 10);
    tally.CountFeedEntry(FeedEntry(kOther), 10);
    for (std::uint32_t a = 0; a <= kTallyMaxAddresses; ++a) tally.CountFeedEntry(FeedEntry(a), 10);
    ASSERT_GT(tally.dropped(), 0u);
    tally.Clear();
    EXPECT_EQ(tally.size(), 0u);
    EXPECT_EQ(tally.dropped(), 0u);
    EXPECT_FALSE(tally.Contains(kKlm));
    EXPECT_EQ(tally.Row(kKlm)[SourceId::Receiver1].total, 0u);
    EXPECT_FALSE(tally.CountFrame(SourceId::Receiver1, Decoded(0x20, kKlm), 11));

    EXPECT_TRUE(tally.CountFrame(SourceId::Receiver2, Decoded(0x90, kKlm, true), 12));
    EXPECT_EQ(tally.Row(kKlm)[SourceId::Receiver2], (TallyFigures{1, 0, 1, 12, 12, {}}));
}

}  // namespace
}  // namespace quorvex
