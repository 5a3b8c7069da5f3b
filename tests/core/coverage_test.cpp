// Coverage statistics: sectors and bins at their edges, the percentile, altitude bands, twin
// frames at the edge of their window, the Wilson interval and when shares are given, the
// feed's MSG,3 positions, and the --coverage-csv file.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/comparison/coverage.h"
#include "core/comparison/twin_matcher.h"
#include "core/comparison/wilson_interval.h"
#include "core/export/coverage_csv.h"
#include "core/positions/feed_position.h"
#include "cpr_test_frames.h"
#include "fake_clock.h"

namespace quorvex {
namespace {

using test::ReadFileBytes;
using test::TempFolder;

constexpr SourceId kR1 = SourceId::Receiver1;
constexpr SourceId kR2 = SourceId::Receiver2;
constexpr AltitudeBand kAll = AltitudeBand::All;

TEST(CoverageStatsTest, BearingsFallIntoTheirSectorAndDegree) {
    const struct {
        double bearing;
        int sector;
        std::size_t degree;
    } cases[] = {
        {0.0, 0, 0}, {9.999, 0, 9}, {10.0, 1, 10}, {189.5, 18, 189}, {359.99, 35, 359},
    };
    for (const auto& c : cases) {
        CoverageStats stats;
        stats.Add(kR1, 42.5, c.bearing, std::nullopt);
        EXPECT_EQ(stats.Sector(kR1, kAll, c.sector).positions, 1u) << c.bearing;
        EXPECT_EQ(stats.Sector(kR1, kAll, c.sector).maxNm, 42.5) << c.bearing;
        EXPECT_EQ(stats.Outline(kR1, kAll)[c.degree], 42.5F) << c.bearing;
        EXPECT_EQ(stats.Positions(kR1, kAll), 1u);
        EXPECT_EQ(stats.Positions(kR2, kAll), 0u) << "another source's tables stay empty";
        EXPECT_EQ(stats.Outline(kR1, kAll)[(c.degree + 1) % 360], CoverageStats::kNoRange);
    }
}

TEST(CoverageStatsTest, PercentileIsTheNearestRankRoundedUpToTheNextNauticalMile) {
    CoverageStats stats;
    // 1.5, 2.5, ..., 100.5 NM: the 95th of 100 (nearest rank) is 95.5, reported as 96.
    for (int i = 1; i <= 100; ++i) stats.Add(kR2, i + 0.5, 55.0, 31000);
    const SectorFigures figures = stats.Sector(kR2, kAll, 5);
    EXPECT_EQ(figures.positions, 100u);
    EXPECT_EQ(figures.maxNm, 100.5);
    EXPECT_EQ(figures.p95Nm, 96.0);
    EXPECT_EQ(stats.Percentile95(kR2, kAll), 96.0);
    EXPECT_EQ(stats.Sector(kR2, AltitudeBand::Above30000, 5), figures);
    EXPECT_EQ(stats.Peak(kR2, kAll), (RangePeak{100.5, 55.0}));

    // All at one range: the rounding never goes beyond the sector's farthest position.
    CoverageStats same;
    for (int i = 0; i < 20; ++i) same.Add(kR1, 42.25, 200.0, std::nullopt);
    EXPECT_EQ(same.Sector(kR1, kAll, 20).p95Nm, 42.25);
    EXPECT_EQ(same.Sector(kR1, kAll, 21), SectorFigures{});
}

TEST(CoverageStatsTest, AltitudeBandsAndRings) {
    const struct {
        std::optional<int> altitude;
        std::optional<AltitudeBand> band;
    } cases[] = {
        {std::nullopt, std::nullopt},
        {-1000, AltitudeBand::Below10000},
        {9999, AltitudeBand::Below10000},
        {10000, AltitudeBand::From10000To20000},
        {20000, AltitudeBand::From20000To30000},
        {29999, AltitudeBand::From20000To30000},
        {30000, AltitudeBand::Above30000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BandOf(c.altitude), c.band);
        CoverageStats stats;
        stats.Add(SourceId::Feed, 120.0, 90.0, c.altitude);
        for (std::size_t b = 1; b < kAltitudeBandCount; ++b) {
            const auto band = static_cast<AltitudeBand>(b);
            EXPECT_EQ(stats.Positions(SourceId::Feed, band), c.band == band ? 1u : 0u);
        }
    }
    // Rings of 50 NM up to the maximum range; the last one holds the maximum itself.
    CoverageStats stats(300.0);
    ASSERT_EQ(stats.ringCount(), 6);
    for (const double range : {0.0, 49.99, 50.0, 299.0, 300.0, 420.0}) stats.Add(kR1, range, 1, {});
    const std::uint64_t rings[] = {2, 1, 0, 0, 0, 3};
    for (int ring = 0; ring < 6; ++ring)
        EXPECT_EQ(stats.RingPositions(kR1, kAll, ring), rings[ring]);
    EXPECT_EQ(stats.Peak(kR1, kAll)->rangeNm, 300.0) << "beyond the maximum counts as it";
    EXPECT_EQ(RingCount(275.0), 6);
}

std::array<std::uint8_t, 14> Frame(std::uint8_t tag) {
    std::array<std::uint8_t, 14> frame{0x8D, 0x40, 0x62, 0x1D, 0x58, tag};
    return frame;
}

struct Settled {
    std::vector<TwinVerdict> verdicts;
    std::vector<std::optional<double>> ranges;
    std::vector<Twin> twins_settled;
    TwinMatcher twins;

    auto Visit() {
        return [this](const Twin& twin) {
            verdicts.push_back(twin.verdict);
            ranges.push_back(twin.mark.place ? std::optional(twin.mark.place->rangeNm)
                                             : std::nullopt);
            twins_settled.push_back(twin);
        };
    }

    bool Add(SourceId receiver, std::span<const std::uint8_t> frame, double now,
             const std::optional<TwinPlace>& place, float level = kNoLevel) {
        Reception reception{receiver, DecodeFrameBytes(frame), level, std::nullopt, {now, 0}};
        return twins.Add(reception, TwinMark{true, place}, Visit());
    }
    void Expire(double now) { twins.Expire(now, Visit()); }
    void SettleAll() { twins.SettleAll(Visit()); }
};

TEST(TwinMatcherTest, TwinsWithinTwoSecondsAreBothLaterOnesOnlyOne) {
    const struct {
        SourceId first;
        double apart;
        std::vector<TwinVerdict> want;
    } cases[] = {
        {kR1, 1.99, {TwinVerdict::Both}},
        {kR2, 2.0, {TwinVerdict::Both}},
        {kR1, 2.01, {TwinVerdict::Only1, TwinVerdict::Only2}},
        {kR2, 2.01, {TwinVerdict::Only2, TwinVerdict::Only1}},
    };
    for (const auto& c : cases) {
        Settled s;
        const SourceId second = c.first == kR1 ? kR2 : kR1;
        s.Add(c.first, Frame(1), 100.0, std::nullopt);
        s.Add(second, Frame(1), 100.0 + c.apart, TwinPlace{70.0, 3.0, {}});
        s.SettleAll();
        EXPECT_EQ(s.verdicts, c.want) << c.apart;
        EXPECT_EQ(s.twins.waiting(), 0u);
    }
}

TEST(TwinMatcherTest, ACopyFromTheSameReceiverIsIgnoredAndDifferentFramesAreNoTwins) {
    Settled s;
    s.Add(kR1, Frame(1), 10.0, TwinPlace{50.0, 0, {}});
    s.Add(kR1, Frame(1), 10.5, TwinPlace{51.0, 0, {}});  // delivered twice: heard once
    s.Add(kR1, Frame(2), 10.6, std::nullopt);
    s.Add(kR2, Frame(1), 11.0, TwinPlace{52.0, 0, {}});
    s.Add(kR2, Frame(3), 11.0, std::nullopt);
    EXPECT_EQ(s.verdicts, std::vector{TwinVerdict::Both});
    EXPECT_EQ(s.ranges, std::vector<std::optional<double>>{50.0}) << "the first copy's place";
    EXPECT_EQ(s.twins.waiting(), 2u) << "frames 2 and 3";
    s.Expire(12.61);  // frame 2 waited longer than 2 s, frame 3 not
    EXPECT_EQ(s.verdicts, (std::vector{TwinVerdict::Both, TwinVerdict::Only1}));
    s.Expire(13.1);
    EXPECT_EQ(s.verdicts, (std::vector{TwinVerdict::Both, TwinVerdict::Only1, TwinVerdict::Only2}));
    s.Add(kR2, Frame(1), 13.2, std::nullopt);  // settled frames are no twins any more
    s.twins.Clear();
    s.SettleAll();
    EXPECT_EQ(s.verdicts.size(), 3u) << "Clear forgets the waiting frame unsettled";
}

TEST(TwinMatcherTest, ATwinCarriesBothCopiesAndShortFramesMatchOnlyTheirEqual) {
    Settled s;
    const std::array<std::uint8_t, 7> shortFrame{0x5D, 0x40, 0x62, 0x1D, 0x58, 0x01, 0x02};
    const std::array<std::uint8_t, 14> longFrame = Frame(7);
    EXPECT_TRUE(s.Add(kR1, shortFrame, 5.0, std::nullopt, -12.5F));
    EXPECT_TRUE(s.Add(kR2, longFrame, 5.1, std::nullopt, -3.0F));  // the same first 7 bytes
    EXPECT_TRUE(s.Add(kR2, shortFrame, 5.2, std::nullopt, -20.0F));
    EXPECT_FALSE(s.Add(kR2, longFrame, 5.3, std::nullopt)) << "a copy while the first waits";
    ASSERT_EQ(s.twins_settled.size(), 1u);
    const Twin& twin = s.twins_settled[0];
    EXPECT_EQ(twin.verdict, TwinVerdict::Both);
    ASSERT_TRUE(twin.copies[0] && twin.copies[1]);
    EXPECT_EQ(twin.copies[0]->levelDbfs, -12.5F);
    EXPECT_EQ(twin.copies[1]->levelDbfs, -20.0F);
    EXPECT_DOUBLE_EQ(twin.copies[0]->arrival.steadySeconds, 5.0);
    EXPECT_DOUBLE_EQ(twin.copies[1]->arrival.steadySeconds, 5.2);
    s.SettleAll();
    ASSERT_EQ(s.twins_settled.size(), 2u);
    EXPECT_EQ(s.twins_settled[1].verdict, TwinVerdict::Only2);
    EXPECT_FALSE(s.twins_settled[1].copies[0]);
}

TEST(TwinMatcherTest, AFullTableSettlesItsOldestFrameEarly) {
    Settled s;
    for (std::size_t i = 0; i <= kTwinCapacity; ++i) {
        std::array<std::uint8_t, 14> frame = Frame(0);
        frame[5] = static_cast<std::uint8_t>(i >> 16);
        frame[6] = static_cast<std::uint8_t>(i >> 8);
        frame[7] = static_cast<std::uint8_t>(i);
        s.Add(kR1, frame, 1.0, std::nullopt);
    }
    EXPECT_EQ(s.verdicts, std::vector{TwinVerdict::Only1});
    EXPECT_EQ(s.twins.waiting(), kTwinCapacity);
    // Every frame left is still found by its twin after the index was reshuffled.
    for (std::size_t i = 1; i <= kTwinCapacity; ++i) {
        std::array<std::uint8_t, 14> frame = Frame(0);
        frame[5] = static_cast<std::uint8_t>(i >> 16);
        frame[6] = static_cast<std::uint8_t>(i >> 8);
        frame[7] = static_cast<std::uint8_t>(i);
        s.Add(kR2, frame, 1.5, std::nullopt);
    }
    EXPECT_EQ(s.verdicts.size(), kTwinCapacity + 1);
    EXPECT_EQ(std::count(s.verdicts.begin(), s.verdicts.end(), TwinVerdict::Both),
              static_cast<std::ptrdiff_t>(kTwinCapacity));
}

// Expected intervals from the Wilson (1927) score formula worked through by hand in Python's
// math module, independently of this code.
TEST(WilsonIntervalTest, MatchesTheScoreFormula) {
    const struct {
        std::uint64_t k, n;
        double low, high;
    } cases[] = {
        {40, 50, 0.6696289406777459, 0.887562499842239},
        {0, 30, 0.0, 0.11351339317396876},
        {30, 30, 0.8864866068260312, 1.0},
        {20, 30, 0.4878005164454384, 0.8076950191632386},
    };
    for (const auto& c : cases) {
        const ShareInterval interval = WilsonInterval95(c.k, c.n);
        EXPECT_DOUBLE_EQ(interval.share, static_cast<double>(c.k) / static_cast<double>(c.n));
        EXPECT_NEAR(interval.low, c.low, 1e-12) << c.k << "/" << c.n;
        EXPECT_NEAR(interval.high, c.high, 1e-12) << c.k << "/" << c.n;
    }
}

TEST(CompareTest, SharesOnlyFromThirtyFrames) {
    const Comparison few = Compare({20, 9, 0});
    EXPECT_EQ(few.counts.by1(), 29u);
    EXPECT_FALSE(few.share1);
    EXPECT_FALSE(few.share2);
    const Comparison enough = Compare({20, 10, 0});
    EXPECT_EQ(enough.counts.by2(), 20u);
    ASSERT_TRUE(enough.share1 && enough.share2);
    EXPECT_EQ(enough.share1->share, 1.0);
    EXPECT_NEAR(enough.share1->low, 0.8864866068260312, 1e-12);
    EXPECT_NEAR(enough.share2->share, 20.0 / 30.0, 1e-15);
    EXPECT_NEAR(enough.share2->low, 0.4878005164454384, 1e-12);
}

TEST(FeedPositionTest, ReadsMsg3LatitudeLongitudeAndAltitude) {
    using Kind = FeedPosition::Kind;
    const std::string head =
        "3,111,11111,4840D6,111111,2026/12/07,14:03:27.045,2026/12/07,"
        "14:03:27.045,";
    const struct {
        std::string entry;
        Kind kind;
        LatLon position;
        std::optional<int> altitude;
    } cases[] = {
        {head + ",37000,,,51.4706,-0.4619,,,0,0,0,0\r\n", Kind::Good, {51.4706, -0.4619}, 37000},
        {head + ",,,,51.4706,-0.4619\r\n", Kind::Good, {51.4706, -0.4619}, std::nullopt},
        {head + ",2500.4,,,-33.9,151.2", Kind::Good, {-33.9, 151.2}, 2500},
        {head + ",37000,,,,,,,0,0,0,0\r\n", Kind::None, {}, std::nullopt},
        {head + ",37000,,,91,0,,,0,0,0,0\r\n", Kind::Invalid, {}, std::nullopt},
        {head + ",37000,,,51.4,x,,,0,0,0,0\r\n", Kind::Invalid, {}, std::nullopt},
        {head + ",37000,,,51.4\r\n", Kind::None, {}, std::nullopt},
        {"3,111,11111,4840D6\r\n", Kind::None, {}, std::nullopt},
        {"4" + head.substr(1) + ",37000,,,51.4,0.1,,,0,0,0,0\r\n", Kind::None, {}, std::nullopt},
    };
    for (const auto& c : cases) {
        const FeedPosition feed = ReadFeedPosition(c.entry);
        EXPECT_EQ(feed.kind, c.kind) << c.entry;
        EXPECT_EQ(feed.position, c.position) << c.entry;
        EXPECT_EQ(feed.altitudeFt, c.altitude) << c.entry;
    }
}

std::string FeedLine(LatLon p, int altitude) {
    return "3,1,1,4840D6,1,2026/12/07,14:03:27.045,2026/12/07,14:03:27.045,," +
           std::to_string(altitude) + ",,," + std::to_string(p.lat) + "," + std::to_string(p.lon) +
           ",,,0,0,0,0\r\n";
}

constexpr std::string_view kCsvHeader =
    "sector_start_deg,receiver1_max_nm,receiver2_max_nm,feed_max_nm,receiver1_positions,"
    "receiver2_positions,feed_positions,both_positions,only1_positions,only2_positions\r\n";

TEST(CoverageCsvTest, OneRowPerSectorWithEmptyCellsAndTwoDecimals) {
    constexpr LatLon kStation{52.3, 4.76};
    Coverage coverage;
    coverage.SetStation(kStation);
    // std::to_string keeps six decimals: the line's position is within 0.1 m of the target.
    coverage.FeedEntry(FeedLine(test::Destination(kStation, 45.0, 123.4), 31000));
    coverage.FeedEntry(FeedLine(test::Destination(kStation, 47.0, 7.006), 31000));
    coverage.FeedEntry(FeedLine(test::Destination(kStation, 359.0, 299.5), 31000));
    coverage.FeedEntry(FeedLine(test::Destination(kStation, 10.0, 350.0), 31000));  // too far
    EXPECT_EQ(coverage.DecodeCounts(SourceId::Feed), (PositionCounts{3, 0, 1}));

    std::string expected(kCsvHeader);
    for (int sector = 0; sector < 36; ++sector) {
        const std::string start = std::to_string(sector * 10);
        if (sector == 4) {
            expected += "40,,,123.40,0,0,2,0,0,0\r\n";
        } else if (sector == 35) {
            expected += "350,,,299.50,0,0,1,0,0,0\r\n";
        } else {
            expected += start + ",,,,0,0,0,0,0,0\r\n";
        }
    }
    EXPECT_EQ(CoverageCsvText(coverage), expected);
}

TEST(CoverageCsvTest, TheFileIsReplacedWholeAndFailuresAreSaid) {
    TempFolder folder;
    const std::filesystem::path path = folder.path() / "coverage.csv";
    std::ofstream(path, std::ios::binary) << std::string(5000, 'x');
    std::ifstream before(path, std::ios::binary);  // a reader of the old file keeps it whole

    Coverage coverage;
    CoverageCsvFile file(path.string());
    EXPECT_EQ(file.WriteMinute(coverage), std::nullopt);
    const std::string text = ReadFileBytes(path);
    EXPECT_TRUE(text.starts_with(kCsvHeader));
    EXPECT_TRUE(text.ends_with("350,,,,0,0,0,0,0,0\r\n"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(before), {}), std::string(5000, 'x'));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1)
        << "no temporary file is left";

    const std::string missing = (folder.path() / "gone" / "coverage.csv").string();
    CoverageCsvFile failing(missing);
    const std::string reason =
        "Cannot write the coverage CSV file " + missing + ": No such file or directory";
    EXPECT_EQ(failing.WriteMinute(coverage),
              reason + ". It is tried again every minute; the measurement goes on.");
    EXPECT_EQ(failing.WriteMinute(coverage), std::nullopt) << "said once while it keeps failing";
    EXPECT_EQ(failing.WriteAtEnd(coverage), reason + ". It keeps the table written last.");
}

}  // namespace
}  // namespace quorvex
