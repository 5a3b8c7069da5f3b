// A long random run through the Run: frames of many aircraft heard by one receiver, the
// other or both (some copies later than the twins' window, some delivered twice), levels on
// receiver 2 and on most of receiver 1's frames, feed lines, over hours of wall-clock
// seconds. The minute buckets must add up to the run's totals, and the totals must agree with
// what was sent and with the run's own accumulators (the coverage, the tally, the level
// comparison): nothing counted twice, nothing lost.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/run/run.h"
#include "fake_clock.h"
#include "random_sky.h"

namespace quorvex {
namespace {

using test::kAircraft;
using test::kSeconds;
using test::kStartUnix;
using test::kStation;
using test::MakeSky;
using test::Sent;
using test::Truth;

RunBucket SumOf(const TimeBuckets& buckets) {
    RunBucket sum;
    for (const RunBucket& minute : buckets.Minutes()) sum += minute;
    sum += buckets.Current();
    return sum;
}

TEST(RunTest, MinuteBucketsAddUpToTheTotalsOfALongRandomRun) {
    test::FakeClock clock;
    quorvex::Run run("/nonexistent/", clock);
    run.SetStation(kStation, 300.0);
    run.SetHistoryMinutes(15);
    run.Start(5, kStartUnix);
    Truth truth;
    const std::vector<Sent> sent = MakeSky(truth);

    TickResult result;
    int ticked = 0;
    const auto tickUntil = [&](double time) {
        while (ticked + 1 <= time) {
            ++ticked;
            clock.steadySeconds = 1000.0 + ticked;
            // Now and then a feed line of each kind arrives.
            if (ticked % 3 == 0) {
                run.TakeFeed("MSG,8,1,1,400000,1\r\nMSG,5,1,1,400111,1\r\n");
                ++truth.feedLines[1];
                ++truth.feedLines[0];
            }
            TickInputs inputs;
            inputs.UnixSeconds = kStartUnix + ticked;
            run.Second(inputs, ticked % 600 == 5, result);  // held now and then: nothing is lost
        }
    };
    for (const Sent& s : sent) {
        tickUntil(s.time);
        clock.steadySeconds = 1000.0 + s.time;
        run.TakeFrame(s.receiver, s.bytes, s.level, std::nullopt);
    }
    tickUntil(kSeconds + 3);
    // Feed text that came while held waits for the next second that is not: tick once more.
    tickUntil(kSeconds + 4);
    run.End();

    const TimeBuckets& buckets = run.Buckets();
    const RunBucket total = buckets.Total();
    RunBucket minutes = SumOf(buckets);
    minutes.startUnix = total.startUnix;
    EXPECT_EQ(minutes, total) << "the minutes add up to the hours and the whole run";
    EXPECT_EQ(total.seconds, ticked);
    EXPECT_EQ(buckets.Hours().size(), 2u) << "two whole hours have closed";
    EXPECT_EQ(buckets.Minutes().size(),
              static_cast<std::size_t>((kStartUnix + ticked) / 60 - kStartUnix / 60));

    EXPECT_EQ(total.frames, truth.frames);
    EXPECT_EQ(total.feedLines, truth.feedLines);
    // Every counted frame settled exactly once: as a twin, heard by one, or a copy.
    EXPECT_EQ(total.frameTwins.by1() + total.duplicates[0], total.Frames(SourceId::Receiver1));
    EXPECT_EQ(total.frameTwins.by2() + total.duplicates[1], total.Frames(SourceId::Receiver2));
    EXPECT_GT(total.frameTwins.both, 0u);
    EXPECT_GT(total.frameTwins.only1, 0u);
    EXPECT_GT(total.frameTwins.only2, 0u);
    EXPECT_GT(total.duplicates[0], 0u) << "all-call replies repeat within the window";
    EXPECT_EQ(run.Twins().waiting(), 0u);

    // The coverage counts the same positions and position twins the buckets do.
    const CoverageSummary summary = run.Positions().Summary();
    EXPECT_EQ(total.positionTwins, summary.frames);
    TwinCounts placed;
    for (const TwinCounts& ring : total.ringTwins) placed += ring;
    placed += summary.unplaced;
    EXPECT_EQ(placed, summary.frames);
    const std::vector<SectorRow> sectors = run.Positions().SectorTable();
    for (const SourceId source : {SourceId::Receiver1, SourceId::Receiver2, SourceId::Feed}) {
        const std::size_t s = SourceIndex(source);
        EXPECT_EQ(total.Positions(source), summary.sources[s].positions);
        for (std::size_t k = 0; k < sectors.size(); ++k) {
            const std::optional<double> farthest = sectors[k].sources[s].maxNm;
            EXPECT_FLOAT_EQ(total.farthestNm[s][k], farthest ? static_cast<float>(*farthest) : 0.0F)
                << "source " << s << " sector " << k;
        }
    }
    EXPECT_GT(total.Positions(SourceId::Receiver1), 0u);

    // The tally counted for its aircraft what the buckets say it did.
    std::array<std::uint64_t, kSourceCount> tallied{};
    run.Tally().ForEachRow([&](const TallyRow& row) {
        for (std::size_t s = 0; s < kSourceCount; ++s) tallied[s] += row.sources[s].total;
    });
    EXPECT_EQ(total.tallied, tallied);
    EXPECT_EQ(static_cast<std::uint64_t>(total.levels[1].Count), total.Frames(SourceId::Receiver2));

    // Every twin was judged on its levels once, placed or not, and the compared ones of an
    // aircraft are its own.
    const LevelComparison& levels = run.Levels();
    LevelGroup placedLevels = levels.Unplaced();
    for (int ring = 0; ring < levels.RingCount(); ++ring) {
        const LevelGroup& g = levels.Ring(ring);
        placedLevels.twins += g.twins;
        placedLevels.excludedNoLevel += g.excludedNoLevel;
        placedLevels.excludedStrong += g.excludedStrong;
        placedLevels.excludedWeak += g.excludedWeak;
        placedLevels.deltas += g.deltas;
        for (std::size_t r = 0; r < 2; ++r) placedLevels.levelFrames[r] += g.levelFrames[r];
    }
    const LevelGroup& all = levels.All();
    EXPECT_EQ(all.twins, total.frameTwins.both);
    EXPECT_EQ(total.levelTwins,
              (std::array<std::uint64_t, 4>{all.deltas.compared(), all.excludedNoLevel,
                                            all.excludedStrong, all.excludedWeak}));
    EXPECT_EQ(placedLevels.twins, all.twins);
    EXPECT_EQ(placedLevels.deltas.Summarize().medianDb, all.deltas.Summarize().medianDb);
    for (std::size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(all.levelFrames[r], static_cast<std::uint64_t>(total.levels[r].Count));
        EXPECT_EQ(placedLevels.levelFrames[r], all.levelFrames[r]);
    }
    EXPECT_GT(all.excludedNoLevel * all.excludedStrong * all.excludedWeak, 0U);
    EXPECT_GT(levels.Unplaced().twins, 0U);
    EXPECT_LT(levels.Unplaced().twins, all.twins);
    std::uint64_t perAircraft = 0;
    run.Tally().ForEachRow([&](const TallyRow& row) { perAircraft += row.comparedTwins; });
    // The history's periods of 15 minutes add up to the run; the period of the whole run has
    // the coverage's farthest and 95th-percentile range, worked out there on its own.
    const std::vector<HistoryRow> rows = run.HistoryRows();
    ASSERT_EQ(rows.size(),
              static_cast<std::size_t>((kStartUnix + ticked) / 900 - kStartUnix / 900 + 1));
    HistoryRow sum;
    for (const HistoryRow& row : rows) {
        EXPECT_EQ(row.startUnix % 900, 0);
        EXPECT_EQ(row.periodSeconds, 900);
        sum.measuredSeconds += row.measuredSeconds;
        for (std::size_t r = 0; r < 2; ++r) {
            sum.frames[r] += row.frames[r];
            sum.positions[r] += row.positions[r];
        }
        sum.feedLines += row.feedLines;
        sum.positionTwins += row.positionTwins;
    }
    EXPECT_EQ(sum.measuredSeconds, ticked);
    EXPECT_EQ(sum.frames, (std::array<std::uint64_t, 2>{total.Frames(SourceId::Receiver1),
                                                        total.Frames(SourceId::Receiver2)}));
    EXPECT_EQ(sum.feedLines, total.feedLines[0] + total.feedLines[1] + total.feedLines[2]);
    EXPECT_EQ(sum.positionTwins, total.positionTwins);
    const HistoryRow whole = MakeHistoryRow(total, 0);
    for (const SourceId receiver : kReceivers) {
        const std::size_t r = SourceIndex(receiver);
        EXPECT_EQ(sum.positions[r], total.Positions(receiver));
        ASSERT_TRUE(whole.maxNm[r] && whole.p95Nm[r]);
        EXPECT_NEAR(*whole.maxNm[r], run.Positions().Peak(receiver, AltitudeBand::All)->rangeNm,
                    1e-4);
        EXPECT_NEAR(*whole.p95Nm[r],
                    *run.Positions().Stats().Percentile95(receiver, AltitudeBand::All), 1e-4);
    }

    // Altitude replies of an aircraft not announced lately count for no aircraft.
    EXPECT_LE(perAircraft, all.deltas.compared());
    EXPECT_GT(perAircraft, all.deltas.compared() / 2);
}

TEST(RunTest, HistoryPeriodsTheProgramDidNotRunThroughAreGaps) {
    SessionHistory history;
    constexpr std::int64_t kHour = 3600;
    history.Open(10 * kHour + 1234, 60);
    RunBucket minute;
    minute.startUnix = 10 * kHour + 1200;
    minute.seconds = 60;
    minute.frames[0][0] = 7;
    EXPECT_FALSE(history.Minute(minute));
    minute.startUnix = 13 * kHour + 60;  // down from 10:21 to 13:01
    EXPECT_TRUE(history.Minute(minute));
    RunBucket underWay;  // nothing counted yet in 13:02
    underWay.startUnix = 13 * kHour + 120;
    const std::vector<HistoryRow> rows = history.Rows(underWay);
    ASSERT_EQ(rows.size(), 4U);
    const std::int64_t measured[] = {60, 0, 0, 60};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].startUnix, (10 + static_cast<std::int64_t>(i)) * kHour);
        EXPECT_EQ(rows[i].measuredSeconds, measured[i]);
        EXPECT_EQ(rows[i].frames[0], measured[i] == 0 ? 0U : 7U);
    }
    // The minute under way, an hour on, is a period of its own after another gap.
    RunBucket current;
    current.startUnix = 14 * kHour;
    current.frames[1][0] = 5;
    const std::vector<HistoryRow> later = history.Rows(current);
    ASSERT_EQ(later.size(), 5U);
    EXPECT_EQ(later[3].frames[0], 7U);
    EXPECT_EQ(later[4].startUnix, 14 * kHour);
    EXPECT_EQ(later[4].frames[1], 5U);
    EXPECT_NE(HistoryCsvText(rows).find("\r\n1970-01-01T10:00:00Z,3600,60,7,0,0,0,0,0,0,0,,,,\r\n"
                                        "1970-01-01T11:00:00Z,3600,0,0,"),
              std::string::npos)
        << HistoryCsvText(rows);
}

TEST(RunTest, StartAndClearForgetWhatWasGatheredAndReceiverCountersAreKept) {
    test::FakeClock clock;
    quorvex::Run run("/nonexistent/", clock);
    run.Start(5, kStartUnix);
    // An "@" packet keeps its counter; a Beast frame its level and timestamp.
    ASSERT_FALSE(run.TakePacket(SourceId::Receiver1, "00000000A2F15D4840D6F8740C", true));
    const std::vector<std::uint8_t> allCall{0x5D, 0x48, 0x40, 0xD6, 0xF8, 0x74, 0x0C};
    clock.steadySeconds += 0.5;
    run.TakeFrame(SourceId::Receiver2, allCall, LevelFromBeastByte(128), 0x123456789ABCULL);
    EXPECT_EQ(run.Buckets().Current().frameTwins, (TwinCounts{1, 0, 0}));
    EXPECT_EQ(run.Buckets().Current().levels[1].Count, 1);
    EXPECT_NEAR(run.Buckets().Current().levels[1].Sum, -5.9866, 1e-4);
    EXPECT_FALSE(HasLevel(LevelFromBeastByte(0)));
    EXPECT_FLOAT_EQ(LevelFromBeastByte(255), 0.0F);
    EXPECT_EQ(PacketCounter("00000000A2F15D4840D6F8740C"), 0xA2F1u);
    EXPECT_EQ(PacketCounter("5D4840D6F8740C"), std::nullopt);

    run.TakePacket(SourceId::Receiver1, "5D484FDEA248F5", true);
    EXPECT_EQ(run.Twins().waiting(), 1u);
    run.Clear(kStartUnix + 70);
    EXPECT_EQ(run.Twins().waiting(), 0u);
    EXPECT_EQ(run.Tally().size(), 0u);
    RunBucket empty;
    empty.startUnix = (kStartUnix + 70) / 60 * 60;
    EXPECT_EQ(run.Buckets().Total(), empty);
    EXPECT_EQ(run.Counts().Counts1.Df11 + run.Counts().Counts1.Df11Ic, 2)
        << "the second's counters stay for its bars";
    run.TakeFrame(SourceId::Feed, allCall, kNoLevel, std::nullopt);
    EXPECT_EQ(run.Buckets().Total(), empty) << "the feed's frames are lines, not receptions";
}

}  // namespace
}  // namespace quorvex
