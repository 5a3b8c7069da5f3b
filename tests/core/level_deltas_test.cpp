// The level comparison's statistics against a brute-force sort of the same deltas, the
// exclusion order and the thresholds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "core/comparison/level_deltas.h"
#include "core/frames/reception.h"

namespace quorvex {
namespace {

TEST(LevelDeltasTest, TheFirstReasonExcludesATwin) {
    const struct {
        float level1, level2;
        LevelVerdict want;
    } cases[] = {
        {kNoLevel, -2.0F, LevelVerdict::NoLevel},  // no level before strong
        {-1.0F, -40.0F, LevelVerdict::Strong},     // strong before weak
        {-3.0F, -20.0F, LevelVerdict::Strong},     // -3.0 itself is strong
        {-20.0F, -38.5F, LevelVerdict::Weak},      // -38.5 itself is weak
        {-3.01F, -38.49F, LevelVerdict::Compared},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeLevels(c.level1, c.level2), c.want) << c.level1 << " " << c.level2;
    }
    // On the byte's steps: 180 is the strongest compared, 4 the weakest.
    EXPECT_EQ(JudgeLevels(LevelFromBeastByte(180), LevelFromBeastByte(4)), LevelVerdict::Compared);
    EXPECT_EQ(JudgeLevels(LevelFromBeastByte(181), LevelFromBeastByte(50)), LevelVerdict::Strong);
    EXPECT_EQ(JudgeLevels(LevelFromBeastByte(50), LevelFromBeastByte(3)), LevelVerdict::Weak);
    for (int b = 1; b <= 255; ++b) {
        EXPECT_EQ(LevelStep(LevelFromBeastByte(static_cast<std::uint8_t>(b))), b);
    }
    // Any other level goes to the nearest step in dB.
    std::mt19937 random(3);
    std::uniform_real_distribution<float> level(-60.0F, 1.0F);
    for (int i = 0; i < 20000; ++i) {
        const float l = level(random);
        int nearest = 1;
        for (int b = 2; b <= 255; ++b) {
            if (std::abs(StepDbfs(std::uint8_t(b)) - l) <
                std::abs(StepDbfs(std::uint8_t(nearest)) - l)) {
                nearest = b;
            }
        }
        ASSERT_EQ(LevelStep(l), nearest) << l;
    }
}

// Median, interval and quartiles of random step pairs equal those of the sorted deltas, for
// odd and even counts, below and at the interval's threshold, and after adding two halves.
TEST(LevelDeltasTest, StatisticsEqualThoseOfTheSortedDeltas) {
    std::mt19937 random(27);
    std::uniform_int_distribution<int> step(4, 180);
    for (const std::uint64_t n : {1u, 2u, 3u, 4u, 29u, 30u, 31u, 100u, 1001u, 20000u}) {
        LevelDeltas first, second;
        SparseDeltas oneAircraft;  // the same deltas kept the way an aircraft keeps its own
        std::vector<double> sorted;
        for (std::uint64_t i = 0; i < n; ++i) {
            const auto b1 = static_cast<std::uint8_t>(step(random));
            // Receiver 2 some 3 dB stronger, with a spread.
            const auto b2 = static_cast<std::uint8_t>(
                std::clamp(b1 * 141 / 100 + step(random) / 20 - 4, 4, 180));
            (i % 2 == 0 ? first : second).Add(LevelFromBeastByte(b1), LevelFromBeastByte(b2));
            oneAircraft.Add(LevelDeltas::Cell(LevelFromBeastByte(b1), LevelFromBeastByte(b2)));
            sorted.push_back(StepDbfs(b2) - StepDbfs(b1));
        }
        std::sort(sorted.begin(), sorted.end());
        const auto d = [&sorted](double k) { return sorted[static_cast<std::size_t>(k) - 1]; };
        const double half = n / 2.0, spread = 0.98 * std::sqrt(double(n));

        first += second;
        const DeltaSummary s = first.Summarize();
        EXPECT_EQ(s.compared, n);
        ASSERT_TRUE(s.medianDb && s.q1Db && s.q3Db);
        EXPECT_EQ(*s.medianDb, n % 2 == 1 ? d((n + 1) / 2) : (d(n / 2) + d(n / 2 + 1)) / 2) << n;
        EXPECT_EQ(*s.q1Db, d(std::ceil(n / 4.0))) << n;
        EXPECT_EQ(*s.q3Db, d(std::ceil(3 * n / 4.0))) << n;
        EXPECT_EQ(s.intervalDb.has_value(), n >= 30) << n;
        if (s.intervalDb) {
            EXPECT_EQ(s.intervalDb->first, d(std::max(1.0, std::floor(half - spread)))) << n;
            EXPECT_EQ(s.intervalDb->second, d(std::min(double(n), std::ceil(half + 1 + spread))))
                << n;
        }
        EXPECT_EQ(first.Nth(n), sorted.back());
        // The sum kept as twins come, added, and worked out again from a saved state.
        const double sum = std::accumulate(sorted.begin(), sorted.end(), 0.0);
        EXPECT_NEAR(first.SumDb(), sum, 1e-9 * static_cast<double>(n)) << n;
        std::string saved;
        ByteWriter out(saved);
        first.Save(out);
        LevelDeltas loaded;
        ByteReader in(saved);
        ASSERT_TRUE(loaded.Load(in));
        EXPECT_NEAR(loaded.SumDb(), sum, 1e-9 * static_cast<double>(n)) << n;
        EXPECT_EQ(oneAircraft.Median(), s.medianDb) << n;
        EXPECT_EQ(oneAircraft.compared(), n);
    }
    EXPECT_EQ(LevelDeltas{}.Summarize().medianDb, std::nullopt);
}

}  // namespace
}  // namespace quorvex
