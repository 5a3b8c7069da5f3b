// The level comparison: the gain-change rule at its limits, and a twin placed in its ring by
// its aircraft's latest fix, from any source, while that fix is at most a minute old.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/comparison/level_comparison.h"
#include "core/frames/reception.h"
#include "core/run/run.h"
#include "fake_clock.h"
#include "support/position_sky.h"

namespace quorvex {
namespace {

constexpr std::int64_t kStartUnix = 1765195200;  // 2025-12-08T12:00:00Z, on a minute

// Twins per minute, each minute's level bytes for receiver 2 (receiver 1 at byte 100).
struct Minute {
    int twins;
    int byte2;
};

std::vector<GainChange> ChangesOf(const std::vector<Minute>& minutes) {
    LevelComparison levels;
    levels.Clear(kStartUnix);
    std::int64_t second = kStartUnix;
    for (const Minute& minute : minutes) {
        for (int i = 0; i < minute.twins; ++i) {
            std::uint16_t cell = 0;
            levels.Twin(LevelFromBeastByte(100),
                        LevelFromBeastByte(static_cast<std::uint8_t>(minute.byte2)), std::nullopt,
                        cell);
        }
        second += 60;
        levels.Second(second);
    }
    levels.End();
    return levels.GainChanges();
}

std::vector<Minute> Steady(int count, int twins, int byte2) {
    return std::vector<Minute>(static_cast<std::size_t>(count), Minute{twins, byte2});
}

std::vector<Minute> operator+(std::vector<Minute> a, const std::vector<Minute>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(LevelComparisonTest, AGainChangeIsMarkedAtItsMinuteOnlyBeyondItsLimits) {
    // 100 -> 119 is 1.51 dB, 100 -> 118 is 1.44 dB.
    const struct {
        const char* name;
        std::vector<Minute> minutes;
        std::vector<std::int64_t> changeMinutes;
    } cases[] = {
        {"a step of 1.51 dB at minute 7", Steady(7, 20, 100) + Steady(8, 20, 119), {7}},
        {"a step of 1.44 dB is not one", Steady(7, 20, 100) + Steady(8, 20, 118), {}},
        {"20 a minute: windows of exactly 100", Steady(5, 20, 100) + Steady(5, 20, 126), {5}},
        {"one window of 99 is too few",
         Steady(4, 20, 100) + std::vector<Minute>{{19, 100}} + Steady(5, 20, 126),
         {}},
        {"a step back and forth, each marked",
         Steady(10, 30, 100) + Steady(10, 30, 140) + Steady(10, 30, 100),
         {10, 20}},
        {"a change in the last minutes is marked at the end, within a minute",
         Steady(6, 30, 100) + Steady(4, 30, 140),
         {5}},
    };
    for (const auto& c : cases) {
        std::vector<std::int64_t> minutes;
        for (const GainChange& change : ChangesOf(c.minutes)) {
            minutes.push_back((change.unixSecond - kStartUnix) / 60);
        }
        EXPECT_EQ(minutes, c.changeMinutes) << c.name;
    }
    const std::vector<GainChange> step = ChangesOf(Steady(7, 20, 100) + Steady(8, 20, 119));
    ASSERT_EQ(step.size(), 1U);
    EXPECT_EQ(step[0].beforeDb, 0.0);
    EXPECT_NEAR(step[0].afterDb, 20 * std::log10(1.19), 1e-9);
}

// An all-call reply both receivers hear, with levels 3 dB apart (bytes 90 and 127).
void HearTwin(quorvex::Run& run, std::uint32_t address) {
    std::vector<std::uint8_t> frame{0x5D,
                                    static_cast<std::uint8_t>(address >> 16),
                                    static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address),
                                    0,
                                    0,
                                    0};
    const std::uint32_t parity = sim::ReferenceParity(std::span(frame).first(4));
    for (int i = 0; i < 3; ++i) frame[4 + i] = static_cast<std::uint8_t>(parity >> (16 - 8 * i));
    run.TakeFrame(SourceId::Receiver1, frame, LevelFromBeastByte(90), std::nullopt);
    run.TakeFrame(SourceId::Receiver2, frame, LevelFromBeastByte(127), std::nullopt);
}

TEST(LevelComparisonTest, ATwinIsPlacedByItsAircraftsFixWhileItIsFresh) {
    constexpr LatLon kStation{52.0, 5.0};
    test::FakeClock clock;
    quorvex::Run run("/nonexistent/", clock);
    run.SetStation(kStation, 300.0);
    run.Start(5, kStartUnix);
    TickResult result;
    int ticked = 0;
    const auto tick = [&](int seconds) {
        for (int i = 0; i < seconds; ++i) {
            clock.steadySeconds += 1.0;
            TickInputs inputs;
            inputs.UnixSeconds = kStartUnix + ++ticked;
            run.Second(inputs, false, result);
        }
    };
    // Receiver 1 places aircraft A at 120 NM (ring 100-150); the feed places B at 20 NM.
    test::HearAircraft(run, kStation, 0x4840D6, {30.0, 120.0, 30000, true, false});
    const LatLon b = test::Destination(kStation, 200.0, 20.0);
    run.TakeFeed("MSG,3,1,1,3C6586,1,2026/12/08,12:00:01.000,2026/12/08,12:00:01.000,,9000,,," +
                 std::to_string(b.lat) + "," + std::to_string(b.lon) + ",,,0,0,0,0\r\n");
    tick(1);
    HearTwin(run, 0x4840D6);
    HearTwin(run, 0x3C6586);
    HearTwin(run, 0x111111);  // never placed
    const LevelComparison& levels = run.Levels();
    EXPECT_EQ(levels.Ring(2).twins, 1U);
    EXPECT_EQ(levels.Ring(0).twins, 1U);
    EXPECT_EQ(levels.Unplaced().twins, 1U);
    EXPECT_EQ(levels.Ring(2).levelFrames, (std::array<std::uint64_t, 2>{1, 1}))
        << "the position frame has no level: only the twin's copies count";

    tick(60);
    HearTwin(run, 0x4840D6);  // its fix is 61 s old now
    EXPECT_EQ(levels.Ring(2).twins, 1U);
    EXPECT_EQ(levels.Unplaced().twins, 2U);
    EXPECT_EQ(levels.All().twins, 4U);
    EXPECT_EQ(levels.All().deltas.compared(), 4U);
    ASSERT_TRUE(levels.All().deltas.Summarize().medianDb);
    EXPECT_NEAR(*levels.All().deltas.Summarize().medianDb, 20 * std::log10(127.0 / 90.0), 1e-9);

    // The station moved: the fixes ranged from the old one place nothing.
    test::HearAircraft(run, kStation, 0x3C6586, {200.0, 20.0, 9000, true, true});
    run.SetStation(test::Destination(kStation, 90.0, 100.0), 300.0);
    HearTwin(run, 0x3C6586);
    EXPECT_EQ(levels.Unplaced().twins, 1U);
    EXPECT_EQ(levels.All().twins, 1U);
}

}  // namespace
}  // namespace quorvex
