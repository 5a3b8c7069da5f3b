// The level truth: its statistics against a plain sort of every delta, and its twins paired
// by the transmission as the receivers write them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/sim/ground_truth.h"
#include "tools/sim/sim_random.h"

namespace quorvex::sim {
namespace {

std::string Text(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A byte now and then 0 (no level), strong (>= -3 dBFS) or weak (<= -38.5 dBFS).
std::uint8_t DrawLevel(SimRandom& random) {
    const double u = random.Uniform();
    if (u < 0.04) return 0;
    if (u < 0.10) return static_cast<std::uint8_t>(181 + random.Below(75));
    if (u < 0.16) return static_cast<std::uint8_t>(1 + random.Below(3));
    return static_cast<std::uint8_t>(4 + random.Below(177));
}

// Twins until `n` are compared, with the expected JSON worked out by sorting every delta.
struct Expected {
    std::int64_t twins = 0, noLevel = 0, strong = 0, weak = 0;
    std::vector<double> deltas;

    void Twin(std::uint8_t b1, std::uint8_t b2) {
        ++twins;
        const double l1 = 20 * std::log10(b1 / 255.0);
        const double l2 = 20 * std::log10(b2 / 255.0);
        if (b1 == 0 || b2 == 0) {
            ++noLevel;
        } else if (l1 >= -3.0 || l2 >= -3.0) {
            ++strong;
        } else if (l1 <= -38.5 || l2 <= -38.5) {
            ++weak;
        } else {
            deltas.push_back(l2 - l1);
        }
    }
    std::string Json() {
        std::sort(deltas.begin(), deltas.end());
        const auto n = static_cast<std::int64_t>(deltas.size());
        const auto d = [&](std::int64_t k) { return deltas[static_cast<std::size_t>(k - 1)]; };
        std::string median, low, high, q1, q3;
        if (n > 0) {
            median = Text("%.2f", n % 2 ? d(n / 2 + 1) : (d(n / 2) + d(n / 2 + 1)) / 2);
            q1 = Text("%.2f", d((n + 3) / 4));
            q3 = Text("%.2f", d((3 * n + 3) / 4));
        }
        if (n >= 30) {
            const double root = std::sqrt(static_cast<double>(n));
            low = Text("%.2f", d(std::max<std::int64_t>(1, std::floor(n / 2.0 - 0.98 * root))));
            high = Text("%.2f", d(std::min<std::int64_t>(n, std::ceil(n / 2.0 + 1 + 0.98 * root))));
        }
        return "{\"twins\":" + std::to_string(twins) + ",\"compared\":" + std::to_string(n) +
               ",\"excluded_no_level\":" + std::to_string(noLevel) +
               ",\"excluded_strong\":" + std::to_string(strong) +
               ",\"excluded_weak\":" + std::to_string(weak) + ",\"median_db\":\"" + median +
               "\",\"ci_low_db\":\"" + low + "\",\"ci_high_db\":\"" + high + "\",\"q1_db\":\"" +
               q1 + "\",\"q3_db\":\"" + q3 + "\"";
    }
};

// n compared twins among random exclusions, and one twin for each two reasons at once,
// which counts under the first: no level before strong, strong before weak.
TEST(LevelTruthTest, StatisticsMatchASortOfEveryDelta) {
    for (const std::int64_t n : {0, 1, 2, 3, 4, 29, 30, 31, 64, 1001, 20000}) {
        SCOPED_TRACE(n);
        SimRandom random(static_cast<std::uint64_t>(n) + 1);
        LevelTruth truth;
        Expected expected;
        const auto twin = [&](std::uint8_t b1, std::uint8_t b2) {
            expected.Twin(b1, b2);
            truth.CountTwin(b1, b2);
        };
        twin(0, 255);
        twin(200, 0);
        twin(2, 190);
        twin(255, 1);
        twin(3, 100);
        EXPECT_TRUE(truth.Json().starts_with(R"({"twins":5,"compared":0,"excluded_no_level":2,)"
                                             R"("excluded_strong":2,"excluded_weak":1,)"))
            << truth.Json();
        // The large n from few distinct bytes, so many twins share a pair.
        const bool narrow = n > 10000;
        while (static_cast<std::int64_t>(expected.deltas.size()) < n) {
            const std::uint8_t b1 = DrawLevel(random);
            const auto b2 =
                narrow ? static_cast<std::uint8_t>(20 + random.Below(4)) : DrawLevel(random);
            twin(b1, b2);
        }
        const std::string json = truth.Json();
        EXPECT_TRUE(json.starts_with(expected.Json())) << json << "\n" << expected.Json();
    }
}

// Percent of each receiver's level frames at or above -3 dBFS (byte 181 and up).
TEST(LevelTruthTest, StrongShareAndLevelFramesPerReceiver) {
    LevelTruth truth;
    for (const int level : {181, 180, 255, 4, 100, 0})
        truth.CountFrame(0, static_cast<std::uint8_t>(level));
    for (const int level : {3, 181, 181}) truth.CountFrame(1, static_cast<std::uint8_t>(level));
    EXPECT_TRUE(
        truth.Json().ends_with(R"("receiver1_strong_pct":"40.0","receiver2_strong_pct":"66.7",)"
                               R"("receiver1_level_frames":5,"receiver2_level_frames":3})"))
        << truth.Json();
    EXPECT_TRUE(LevelTruth().Json().ends_with(
        R"("median_db":"","ci_low_db":"","ci_high_db":"","q1_db":"","q3_db":"",)"
        R"("receiver1_strong_pct":"","receiver2_strong_pct":"",)"
        R"("receiver1_level_frames":0,"receiver2_level_frames":0})"));
}

// Each receiver writes a random part of the transmissions, in order, receiver 2 running
// behind receiver 1 by a varying stretch: every transmission both wrote whole unharmed is
// one twin, whatever the order; nothing else is.
TEST(LevelTruthTest, TwinsArePairedByTheTransmission) {
    GroundTruth truth;
    truth[Source::Receiver1].enabled = truth[Source::Receiver2].enabled = true;
    truth.Levels().enabled = true;
    SimRandom random(21);
    struct Copy {
        Unit unit;
        bool written;
    };
    std::array<std::vector<Copy>, 2> copies;
    Expected expected;
    for (std::uint64_t number = 1; number <= 3000; ++number) {
        const double time = static_cast<double>(number) * 0.001;
        std::array<bool, 2> written{};
        std::array<Unit, 2> units;
        for (int r = 0; r < 2; ++r) {
            written[r] = random.Chance(0.8);
            units[r].frameNumber = number;
            units[r].time = time;
            units[r].twin = true;
            units[r].level = static_cast<std::uint8_t>(4 + random.Below(177));
        }
        const bool damaged = random.Chance(0.05);
        if (damaged) units[1].kind = Unit::Kind::Corrupted;
        if (random.Chance(0.05)) units[0].twin = units[1].twin = false;  // not the same bytes
        if (written[0] && written[1] && units[0].twin && !damaged) {
            expected.Twin(units[0].level, units[1].level);
        }
        for (int r = 0; r < 2; ++r) copies[r].push_back({units[r], written[r]});
    }
    std::array<std::size_t, 2> next{};
    while (next[0] < copies[0].size() || next[1] < copies[1].size()) {
        const int r =
            next[1] >= copies[1].size() ||
                    (next[0] < copies[0].size() && (next[0] < next[1] + 50 || random.Chance(0.5)))
                ? 0
                : 1;
        const Copy& copy = copies[r][next[r]++];
        if (copy.written) truth.Count(static_cast<Source>(r), copy.unit);
    }
    const std::string json = truth.Json(1, 3, true);
    EXPECT_GT(expected.twins, 1500);
    EXPECT_NE(json.find("\"levels\":" + expected.Json()), std::string::npos)
        << json.substr(json.find("\"levels\"")) << "\n"
        << expected.Json();
}

}  // namespace
}  // namespace quorvex::sim
