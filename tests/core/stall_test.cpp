// The program stalls and the wall clock steps, driven through the Run on a fake clock.
//
// A stall: two runs hear the same sky second by second and both stop for 40 s; one of them
// then takes the backlog the kernel kept meanwhile (frames of both receivers, the same
// transmissions among them, position frames, feed lines). The backlog must change that run's
// totals by exactly itself and nothing else: not a second's row, rate or average, not a twin,
// position or level, not the history's measured seconds; and it is said once.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/run/run.h"
#include "fake_clock.h"
#include "random_sky.h"

namespace quorvex {
namespace {

using test::AltitudeField;
using test::Destination;
using test::EncodeCpr;
using test::kStartUnix;
using test::kStation;
using test::PositionFrame;
using test::WithParity;

constexpr int kAircraft = 4;
constexpr std::uint32_t kFirstAddress = 0x400000;

std::uint32_t Address(int a) {
    return kFirstAddress + static_cast<std::uint32_t>(a) * 0x111;
}

// Aircraft `a`'s airborne position at step `k`, even or odd by `k`; every one differs.
std::vector<std::uint8_t> Position(int a, int k) {
    const LatLon place = Destination(kStation, 40.0 + 80.0 * a, 30.0 + 0.5 * k);
    const auto p =
        PositionFrame(Address(a), 11, EncodeCpr(place, k % 2 == 1), AltitudeField(30000));
    return WithParity({p.begin(), p.end()}, 0);
}

std::string Hex6(std::uint32_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", address);
    return text;
}

std::vector<std::uint8_t> AllCall(std::uint32_t address) {
    return WithParity({0x5D, std::uint8_t(address >> 16), std::uint8_t(address >> 8),
                       std::uint8_t(address), 0, 0, 0},
                      0);
}

std::uint64_t Sum(const std::array<std::uint64_t, kSourceCount>& counts) {
    return counts[0] + counts[1] + counts[2];
}

// A run and what its front-end would have said and written.
struct Front {
    explicit Front(test::FakeClock& clock, const std::string& logFolder = "/nonexistent/")
        : run(logFolder, clock) {
        run.SetStation(kStation, 300.0);
        run.Start(5, kStartUnix);
    }
    void Tick(std::int64_t unix) {
        TickInputs inputs;
        inputs.UnixSeconds = unix;
        run.Second(inputs, false, result);
        measured.push_back(run.SecondMeasured());
        for (std::string& notice : run.TakeNotices()) notices.push_back(std::move(notice));
    }
    Run run;
    TickResult result;
    std::vector<bool> measured;
    std::vector<std::string> notices;
};

TEST(StallTest, TheBacklogIsCountedInTheTotalsAndKeptOutOfEverythingPerSecondOrCompared) {
    test::FakeClock clock;
    Front plain(clock);    // the stall alone
    Front backlog(clock);  // the stall and what the kernel kept meanwhile
    std::int64_t unix = kStartUnix;
    int step = 0;
    // One second of the sky: both receivers hear every aircraft's position, receiver 1 alone
    // its all-call reply; the feed a line per aircraft.
    const auto second = [&] {
        clock.steadySeconds += 0.25;
        for (int a = 0; a < kAircraft; ++a) {
            for (Front* f : {&plain, &backlog}) {
                f->run.TakeFrame(SourceId::Receiver1, Position(a, step), -20.0F, std::nullopt);
                f->run.TakeFrame(SourceId::Receiver2, Position(a, step), -26.0F, std::nullopt);
                f->run.TakeFrame(SourceId::Receiver1, AllCall(Address(a)), -21.0F, std::nullopt);
                f->run.TakeFeed("MSG,8,1,1," + Hex6(Address(a)) + ",1\r\n");
            }
        }
        ++step;
        clock.steadySeconds += 0.75;
        ++unix;
        for (Front* f : {&plain, &backlog}) f->Tick(unix);
    };
    for (int s = 0; s < 8; ++s) second();
    const std::int64_t lastMeasured = unix;

    // Stopped for 40 s, half a second into a second.
    clock.steadySeconds += 0.5;
    for (int a = 0; a < kAircraft; ++a) {
        for (Front* f : {&plain, &backlog}) {
            f->run.TakeFrame(SourceId::Receiver1, Position(a, step), -20.0F, std::nullopt);
        }
    }
    ++step;
    clock.steadySeconds += 40.0;
    unix += 41;
    // The kernel's backlog: what both receivers and the feed delivered meanwhile, each frame
    // heard by both, the position frames in even and odd pairs.
    std::array<std::array<std::uint64_t, kDfGroupCount>, 2> backlogFrames{};
    const auto take = [&](SourceId receiver, const std::vector<std::uint8_t>& frame, DfGroup g) {
        backlog.run.TakeFrame(receiver, frame, -20.0F, std::nullopt);
        ++backlogFrames[SourceIndex(receiver)][static_cast<std::size_t>(g)];
    };
    for (int k = 0; k < 40; ++k) {
        for (int a = 0; a < kAircraft; ++a) {
            take(SourceId::Receiver1, Position(a, 100 + k), DfGroup::Df17_19);
            take(SourceId::Receiver2, Position(a, 100 + k), DfGroup::Df17_19);
            take(SourceId::Receiver2, AllCall(Address(a)), DfGroup::Df11);
        }
        backlog.run.TakeFeed("MSG,8,1,1,400111,1\r\nMSG,5,1,1,400222,1\r\n");
    }
    clock.steadySeconds += 0.1;
    for (Front* f : {&plain, &backlog}) f->Tick(unix);
    // The rest of the backlog is read out in the second after the stall's tick.
    for (int a = 0; a < kAircraft; ++a)
        take(SourceId::Receiver2, Position(a, 200), DfGroup::Df17_19);
    backlog.run.TakeFeed("MSG,3,1,1,400333,1\r\n");
    clock.steadySeconds += 0.9;
    ++unix;
    for (Front* f : {&plain, &backlog}) f->Tick(unix);
    for (int s = 0; s < 4; ++s) second();
    for (Front* f : {&plain, &backlog}) f->run.End();

    const std::uint64_t frames1 = 40 * kAircraft;
    const std::uint64_t frames2 = 2 * 40 * kAircraft + kAircraft;
    const std::uint64_t lines = 2 * 40 + 1;
    // Said once, when the backlog was closed, in one sentence.
    EXPECT_EQ(backlog.notices,
              std::vector<std::string>{"The program did not run for 40 s; " +
                                       std::to_string(frames1 + frames2) + " frames and " +
                                       std::to_string(lines) +
                                       " feed lines that arrived meanwhile are counted but not "
                                       "compared."});
    EXPECT_EQ(plain.notices, std::vector<std::string>{"The program did not run for 40 s; "
                                                      "nothing arrived meanwhile."});
    // The stall's tick and the one after it measured nothing.
    std::vector<bool> measured(14, true);
    measured[8] = measured[9] = false;
    EXPECT_EQ(backlog.measured, measured);

    // The totals: the plain run's and exactly the backlog.
    const RunBucket with = backlog.run.Buckets().Total();
    const RunBucket without = plain.run.Buckets().Total();
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t g = 0; g < kDfGroupCount; ++g) {
            EXPECT_EQ(with.frames[r][g], without.frames[r][g] + backlogFrames[r][g])
                << "receiver " << r + 1 << " DF group " << g;
        }
    }
    EXPECT_EQ(with.feedLines[0], without.feedLines[0] + 40);
    EXPECT_EQ(with.feedLines[1], without.feedLines[1] + 40);
    EXPECT_EQ(with.feedLines[2], without.feedLines[2] + 1);
    EXPECT_EQ(Sum(with.tallied), Sum(without.tallied) + frames1 + frames2 + lines);
    // Each aircraft's total has the backlog, its second and minute do not.
    const auto tallied = [](const quorvex::Run& run, auto field) {
        std::uint64_t sum = 0;
        run.Tally().ForEachRow([&](const TallyRow& row) {
            for (const TallyFigures& figures : row.sources) sum += figures.*field;
        });
        return sum;
    };
    EXPECT_EQ(tallied(backlog.run, &TallyFigures::total),
              tallied(plain.run, &TallyFigures::total) + frames1 + frames2 + lines);
    for (const auto field : {&TallyFigures::lastMinute, &TallyFigures::thisSecond}) {
        EXPECT_EQ(tallied(backlog.run, field), tallied(plain.run, field));
    }
    EXPECT_GT(tallied(plain.run, &TallyFigures::lastMinute), 0U);

    // Nothing compared, placed or averaged from the backlog.
    EXPECT_EQ(with.frameTwins, without.frameTwins);
    EXPECT_EQ(with.positionTwins, without.positionTwins);
    EXPECT_EQ(with.levels, without.levels);
    EXPECT_EQ(with.levelTwins, without.levelTwins);
    EXPECT_GT(with.frameTwins.both, 0U);
    EXPECT_EQ(with.positions, without.positions);
    EXPECT_GT(with.Positions(SourceId::Receiver2), 0U);

    // The seconds' rows: the measured ones only, the same in both runs, the stall a jump of
    // their times; the averages after it start again from one second.
    const SecondHistory& seconds = backlog.run.Measurement().Seconds;
    const SecondHistory& plainSeconds = plain.run.Measurement().Seconds;
    ASSERT_EQ(seconds.size(), 12U);
    ASSERT_EQ(plainSeconds.size(), seconds.size());
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        EXPECT_EQ(seconds[i].UnixSeconds,
                  kStartUnix + 1 + static_cast<std::int64_t>(i) + (i >= 8 ? 42 : 0));
        EXPECT_EQ(seconds[i].Counts, plainSeconds[i].Counts) << i;
        EXPECT_EQ(seconds[i].Rates, plainSeconds[i].Rates) << i;
        EXPECT_EQ(seconds[i].Averages, plainSeconds[i].Averages) << i;
        EXPECT_EQ(seconds[i].Rates[1], kAircraft) << "each second hears each aircraft once";
        EXPECT_DOUBLE_EQ(seconds[i].Averages[1], kAircraft) << i;
    }

    // The history measured the ticked seconds, the stall a gap from the last measured one.
    std::int64_t measuredSeconds = 0;
    std::uint64_t historyFrames = 0;
    for (const HistoryRow& row : backlog.run.HistoryRows()) {
        measuredSeconds += row.measuredSeconds;
        historyFrames += row.frames[0] + row.frames[1];
    }
    EXPECT_EQ(measuredSeconds, 12);
    EXPECT_EQ(historyFrames, with.Frames(SourceId::Receiver1) + with.Frames(SourceId::Receiver2));
    ASSERT_EQ(backlog.run.Gaps().size(), 1U);
    EXPECT_EQ(backlog.run.Gaps()[0].fromUnix, lastMeasured);
    EXPECT_EQ(backlog.run.Gaps()[0].seconds, 42);
}

TEST(StallTest, EachStepOfTheWallClockIsSaidOnceAndTheRowsStayInTheOrderMeasured) {
    test::FakeClock clock;
    test::TempFolder logs;
    Front front(clock, logs.Folder());
    // A box without a real-time clock starts in 1970, logging.
    front.run.Start(5, 12);
    front.run.Log().ToggleLogging();
    const std::string keeps = "; the logfile keeps its name " + front.run.Log().LogPath() + ".";
    ASSERT_TRUE(front.run.Log().LogPath().starts_with(logs.Folder()));
    std::vector<std::int64_t> ticked;
    const auto tick = [&](std::int64_t unix) {
        clock.steadySeconds += 1.0;
        front.Tick(unix);
        ticked.push_back(unix);
    };
    for (std::int64_t unix = 13; unix <= 17; ++unix) tick(unix);
    constexpr std::int64_t k20260104 = 1767484800;  // 2026-01-04T00:00:00Z
    tick(k20260104 + 18);                           // NTP sets the clock: 20,457 days on
    tick(k20260104 + 19);
    tick(k20260104 + 20);
    tick(k20260104 - 279);  // and back by 5 minutes
    tick(k20260104 - 278);
    tick(k20260104 - 277 + 1);  // a second late: no step

    EXPECT_EQ(front.notices, (std::vector<std::string>{
                                 "The system clock was set forward by 56 years 3 days" + keeps,
                                 "The system clock was set back by 5 min" + keeps}));
    const SecondHistory& seconds = front.run.Measurement().Seconds;
    ASSERT_EQ(seconds.size(), ticked.size());
    for (std::size_t i = 0; i < ticked.size(); ++i) EXPECT_EQ(seconds[i].UnixSeconds, ticked[i]);

    // The history's periods in the order measured, none for the 56 years skipped.
    const std::vector<HistoryRow> rows = front.run.HistoryRows();
    ASSERT_EQ(rows.size(), 3U);
    const std::int64_t starts[] = {0, k20260104, k20260104 - 3600};
    const std::int64_t measured[] = {6, 3, 2};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].startUnix, starts[i]) << i;
        EXPECT_EQ(rows[i].measuredSeconds, measured[i]) << i;
    }
}

TEST(StallTest, SpansAreSaidInTheUnitThatFits) {
    const struct {
        std::int64_t seconds;
        const char* text;
    } cases[] = {
        {0, "0 s"},
        {45, "45 s"},
        {-119, "119 s"},
        {120, "2 min"},
        {7169, "119 min"},
        {7199, "2 h"},
        {7200, "2 h"},
        {2 * 3600 + 60 * 5 + 10, "2 h 5 min"},
        {48 * 3600 - 120, "47 h 58 min"},
        {48 * 3600, "2 days"},
        {86400 + 86400 * 2 + 4 * 3600, "3 days 4 h"},
        {365 * 86400, "365 days"},
        {366 * 86400, "1 year 1 day"},
        {20457LL * 86400, "56 years 3 days"},
        {20454LL * 86400, "56 years"},
    };
    for (const auto& c : cases) EXPECT_EQ(SpanText(c.seconds), c.text) << c.seconds;
}

}  // namespace
}  // namespace quorvex
