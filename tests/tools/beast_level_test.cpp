// Beast frames as bytes, and the signal levels: the model's properties and what the sky's
// Beast receivers write.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "beast_reader.h"
#include "tools/sim/beast_frame.h"
#include "tools/sim/signal_level.h"
#include "tools/sim/simulation.h"

namespace quorvex::sim {
namespace {

ModeSFrame Frame(std::vector<std::uint8_t> bytes) {
    ModeSFrame frame;
    std::copy(bytes.begin(), bytes.end(), frame.bytes.begin());
    frame.size = bytes.size();
    return frame;
}

// 0x1A in the counter, the level and the frame (its first and last byte too) is doubled;
// the type never is. Frames of every kind of content read back whole, one after another.
TEST(BeastFrameTest, EveryEscapeByteIsDoubledAndTheFramesReadBack) {
    const ModeSFrame shortFrame = Frame({0x1A, 0x00, 0x01, 0x02, 0x03, 0x04, 0x1A});
    EXPECT_EQ(BeastFrame(shortFrame, 0x00001A00FF1AULL, 0x1A),
              std::string("\x1A"
                          "2\x00\x00\x1A\x1A\x00\xFF\x1A\x1A"
                          "\x1A\x1A"
                          "\x1A\x1A\x00\x01\x02\x03\x04\x1A\x1A",
                          21));
    const ModeSFrame longFrame =
        Frame({0x8D, 0x48, 0x40, 0xD6, 0x20, 0x2C, 0xC3, 0x71, 0xC3, 0x2C, 0xE0, 0x57, 0x60, 0x98});
    EXPECT_EQ(BeastFrame(longFrame, 0x123456789ABCULL, 200),
              std::string("\x1A"
                          "3\x12\x34\x56\x78\x9A\xBC\xC8\x8D\x48\x40\xD6\x20\x2C\xC3\x71\xC3\x2C"
                          "\xE0\x57\x60\x98",
                          23));

    SimRandom random(4);
    std::string stream;
    std::vector<test::BeastRecord> sent;
    for (int i = 0; i < 2000; ++i) {
        std::vector<std::uint8_t> bytes(random.Chance(0.5) ? 7 : 14);
        // Escape bytes far more often than by chance, anywhere.
        for (auto& byte : bytes) byte = random.Chance(0.3) ? 0x1A : random.Below(256);
        const std::uint64_t counter =
            random.Chance(0.3) ? 0x1A1A1A1A1A1AULL : random.Below(1ULL << 48);
        const auto level =
            static_cast<std::uint8_t>(random.Chance(0.3) ? 0x1A : 1 + random.Below(255));
        stream += BeastFrame(Frame(bytes), counter, level);
        sent.push_back({bytes.size() == 7 ? '2' : '3', counter, level, bytes});
    }
    std::vector<test::BeastRecord> read;
    std::size_t rest = 0;
    ASSERT_TRUE(test::ReadBeast(stream, read, rest));
    EXPECT_EQ(rest, stream.size());
    ASSERT_EQ(read.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(read[i].type, sent[i].type) << i;
        EXPECT_EQ(read[i].counter, sent[i].counter) << i;
        EXPECT_EQ(read[i].level, sent[i].level) << i;
        EXPECT_EQ(read[i].frame, sent[i].frame) << i;
    }
}

TEST(SignalLevelTest, TheByteRoundsClipsAndStopsAtTheFloor) {
    // round(255 * 10^(L/20)); above full scale 255; at or below -40 dBFS not heard (0).
    const std::vector<std::pair<double, int>> cases = {
        {12.0, 255},  {0.0, 255},  {-0.01, 255}, {-0.1, 252}, {-3.0, 181},
        {-3.03, 180}, {-20.5, 24}, {-39.99, 3},  {-40.0, 0},  {-55.0, 0},
    };
    for (const auto& [dbfs, byte] : cases) EXPECT_EQ(LevelByte(dbfs), byte) << dbfs;
}

double MeanLevel(const LevelModel& model, int receiver, double slant, double time) {
    Aircraft typical;  // offset 0
    SimRandom jitter(77);
    double sum = 0;
    constexpr int kDraws = 20000;
    for (int i = 0; i < kDraws; ++i) sum += model.Level(receiver, typical, slant, time, jitter);
    return sum / kDraws;
}

// 6 dB less per doubling of the slant range; a typical aircraft at the receiver's reach a
// few dB above the floor; the gains, and receiver 2's step from its second on.
TEST(SignalLevelTest, RangeReachGainAndStep) {
    std::array<Reach, 2> reach;
    reach[0].range = 220;
    reach[1].range = 110;
    LevelSettings settings;
    settings.gain = {1.5, -2.0};
    settings.stepAt = 30;
    settings.stepDb = 4;
    const LevelModel model(settings, reach);
    const LevelModel plain({}, reach);

    for (const int r : {0, 1}) {
        const double near = MeanLevel(plain, r, 10, 0);
        EXPECT_NEAR(near - MeanLevel(plain, r, 20, 0), 20 * std::log10(2.0), 0.05) << r;
        EXPECT_NEAR(near - MeanLevel(plain, r, 80, 0), 3 * 20 * std::log10(2.0), 0.05) << r;
        const double atReach = MeanLevel(plain, r, reach[r].range, 0);
        EXPECT_GT(atReach, kLevelFloor + 1) << r;
        EXPECT_LT(atReach, kLevelFloor + 5) << r;
    }
    // The same jitter draws: what differs is the gain alone.
    const std::vector<std::tuple<int, double, double>> gains = {
        {0, 0, 1.5}, {0, 40, 1.5}, {1, 0, -2.0}, {1, 29.999, -2.0}, {1, 30, 2.0}, {1, 500, 2.0},
    };
    for (const auto& [r, time, gain] : gains) {
        SimRandom a(3);
        SimRandom b(3);
        Aircraft aircraft;
        EXPECT_NEAR(model.Level(r, aircraft, 50, time, a) - plain.Level(r, aircraft, 50, time, b),
                    gain, 1e-9)
            << r << " at " << time;
    }
}

struct Copies {
    double time = 0;
    std::array<int, 2> levels{};  // 0: not heard whole
};

struct Heard {
    std::map<std::uint64_t, Copies> transmissions;  // by number
    std::vector<std::string> texts;
};

Heard Listen(const SimSettings& settings, double seconds) {
    Simulation simulation(settings);
    Heard heard;
    simulation.Advance(seconds, [&](Source source, Unit&& unit) {
        if (source == Source::Feed) return;
        heard.texts.push_back(unit.text);
        if (unit.kind != Unit::Kind::Frame) return;
        EXPECT_GT(unit.level, 0);
        Copies& copies = heard.transmissions[unit.frameNumber];
        copies.time = unit.time;
        copies.levels[static_cast<int>(source)] = unit.level;
    });
    return heard;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

// Both receivers Beast, reaching so far that no frame of the sky comes near the floor: over
// the transmissions both heard unclipped, level 2 less level 1 centres on the gain
// difference, before and after receiver 2's step. A seed gives the same frames and levels
// every time.
TEST(SignalLevelTest, TheSkysTwinsDifferByTheGainsAndASeedRepeats) {
    SimSettings settings;
    settings.sky.seed = 11;
    settings.sky.aircraft = 80;
    settings.format = {kBeastFormat, kBeastFormat};
    settings.datagram = {false, false};
    settings.reach[0].range = settings.reach[1].range = 1000;
    settings.levels.gain = {0, -4};
    settings.levels.stepAt = 20;
    settings.levels.stepDb = 6;
    std::array<std::vector<double>, 2> deltas;  // before and after the step
    for (const auto& [number, copies] : Listen(settings, 40).transmissions) {
        const auto [low, high] = std::minmax(copies.levels[0], copies.levels[1]);
        if (low == 0) continue;  // one receiver missed it
        ASSERT_GT(low, 3);
        if (high > 180) continue;
        deltas[copies.time >= 20].push_back(
            20 * std::log10(static_cast<double>(copies.levels[1]) / copies.levels[0]));
    }
    ASSERT_GT(deltas[0].size(), 1000u);
    ASSERT_GT(deltas[1].size(), 1000u);
    EXPECT_NEAR(Median(deltas[0]), -4, 0.2);
    EXPECT_NEAR(Median(deltas[1]), 2, 0.2);

    EXPECT_EQ(Listen(settings, 5).texts, Listen(settings, 5).texts);
    SimSettings other = settings;
    other.sky.seed = 12;
    EXPECT_NE(Listen(other, 5).texts, Listen(settings, 5).texts);
}

}  // namespace
}  // namespace quorvex::sim
