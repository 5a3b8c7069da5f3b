// The sky as a whole, without any output: the mix of frames, the two receivers' hearing, the
// seed, the rate.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/sim/simulation.h"

namespace quorvex::sim {
namespace {

struct Delivered {
    Source source;
    Unit unit;
};

std::vector<Delivered> RunSky(const SimSettings& settings, double seconds) {
    Simulation simulation(settings);
    std::vector<Delivered> out;
    simulation.Advance(seconds, [&out](Source source, Unit&& unit) {
        out.push_back({source, std::move(unit)});
    });
    return out;
}

TEST(SkyTrafficTest, ReceiverOneHearsMoreAndSomeAircraftOnlyOneReceiverHears) {
    SimSettings settings;
    settings.sky.seed = 7;
    std::map<std::uint32_t, std::array<std::int64_t, 2>> perAircraft;
    std::array<std::int64_t, 2> frames{};
    for (const Delivered& d : RunSky(settings, 60)) {
        if (d.source == Source::Feed || d.unit.kind != Unit::Kind::Frame) continue;
        const int r = static_cast<int>(d.source);
        ++frames[r];
        ++perAircraft[d.unit.address][r];
    }
    EXPECT_GT(frames[0], frames[1]);
    // The defaults 0.9 and 0.7, less the distant aircraft each cannot hear.
    const double ratio = static_cast<double>(frames[1]) / static_cast<double>(frames[0]);
    EXPECT_GT(ratio, 0.65);
    EXPECT_LT(ratio, 0.90);

    int onlyFirst = 0;
    int onlySecond = 0;
    for (const auto& [address, counts] : perAircraft) {
        onlyFirst += counts[0] > 0 && counts[1] == 0;
        onlySecond += counts[1] > 0 && counts[0] == 0;
    }
    EXPECT_EQ(onlyFirst, 2);  // 10 % of 40 aircraft, alternately deaf to either receiver
    EXPECT_EQ(onlySecond, 2);
    EXPECT_EQ(perAircraft.size(), 40u);
}

TEST(SkyTrafficTest, EveryGroupDf18AndEveryFeedTypeOccur) {
    SimSettings settings;
    std::array<std::int64_t, kDfGroupCount> groups{};
    std::set<int> feedTypes;
    std::set<std::string> firstBytes;
    std::int64_t corrupted = 0;
    std::int64_t heard = 0;
    for (const Delivered& d : RunSky(settings, 30)) {
        if (d.source == Source::Feed) {
            feedTypes.insert(d.unit.feedType);
            continue;
        }
        ++heard;
        if (d.unit.kind == Unit::Kind::Corrupted) ++corrupted;
        if (d.unit.kind != Unit::Kind::Frame) continue;
        ++groups[static_cast<int>(d.unit.group)];
        firstBytes.insert(d.unit.text.substr(1, 2));
    }
    for (int g = 0; g < kDfGroupCount; ++g) EXPECT_GT(groups[g], 0) << "group " << g;
    EXPECT_TRUE(firstBytes.count("90")) << "no DF 18 squitter";
    EXPECT_TRUE(firstBytes.count("8D")) << "no DF 17 squitter";
    EXPECT_EQ(feedTypes, (std::set<int>{1, 3, 4, 5, 6, 7, 8}));
    // 1 % of the DF 11/17/18 frames, which are about two thirds of all.
    EXPECT_GT(corrupted, heard / 400);
    EXPECT_LT(corrupted, heard / 70);
}

TEST(SkyTrafficTest, TheSeedDecidesEverything) {
    SimSettings a;
    a.sky.seed = 42;
    SimSettings b = a;
    b.format = {'@', ':'};  // other formats, same decisions
    SimSettings c = a;
    c.sky.seed = 43;
    const auto runA = RunSky(a, 5);
    const auto runB = RunSky(b, 5);
    const auto runC = RunSky(c, 5);
    ASSERT_EQ(runA.size(), runB.size());
    for (std::size_t i = 0; i < runA.size(); ++i) {
        EXPECT_EQ(runA[i].source, runB[i].source);
        EXPECT_EQ(runA[i].unit.address, runB[i].unit.address);
        EXPECT_EQ(runA[i].unit.kind, runB[i].unit.kind);
    }
    EXPECT_EQ(RunSky(a, 5).back().unit.text, runA.back().unit.text);
    EXPECT_NE(runA.front().unit.text, runC.front().unit.text);
}

TEST(SkyTrafficTest, RateSetsFramesPerSecondOfTheSky) {
    const std::vector<Aircraft> sky = MakeSky(SkySettings{});
    for (const double rate : {50.0, 1000.0, 6000.0}) {
        TrafficSchedule schedule(sky, rate, 1);
        Emission emission;
        std::int64_t frames = 0;
        double last = 0;
        while (schedule.Next(20, emission)) {
            EXPECT_GE(emission.time, last);
            last = emission.time;
            ++frames;
        }
        EXPECT_NEAR(static_cast<double>(frames) / 20.0, rate, rate * 0.03) << rate;
    }
}

}  // namespace
}  // namespace quorvex::sim
