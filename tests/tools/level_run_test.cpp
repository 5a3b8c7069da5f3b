// The simulator's sky in simulated time through a Run, as two Beast receivers deliver it
// (every frame read back from the bytes written, its arrival the moment it was sent): the
// run's level table equals the simulator's truth to the printed digit, and a gain step on
// receiver 2 is marked within a minute of when it happened.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "beast_reader.h"
#include "core/export/level_csv.h"
#include "core/run/run.h"
#include "tests/core/fake_clock.h"
#include "tools/sim/beast_frame.h"
#include "tools/sim/ground_truth.h"
#include "tools/sim/simulation.h"

namespace quorvex::sim {
namespace {

constexpr std::int64_t kStartUnix = 1765195200;  // on a minute

// Both receivers hear every frame, well above the floor: the program's twins (the same bytes
// within 2 s) are then exactly the truth's (the same transmission).
SimSettings BeastSky(double gain2, double stepAt, double stepDb) {
    SimSettings settings;
    settings.sky.seed = 5;
    settings.sky.aircraft = 25;
    settings.sky.hear[0] = settings.sky.hear[1] = 1.0;
    settings.sky.distantShare = 0;
    settings.corruptShare = 0;
    settings.format = {kBeastFormat, kBeastFormat};
    settings.datagram = {false, false};
    settings.levels.gain = {20.0, 20.0 + gain2};
    settings.levels.stepAt = stepAt;
    settings.levels.stepDb = stepDb;
    return settings;
}

// Runs the sky for `seconds` through `run`, counting what was written in `truth`.
void Fly(const SimSettings& settings, int seconds, quorvex::Run& run, test::FakeClock& clock,
         GroundTruth& truth) {
    Simulation simulation(settings);
    run.Start(5, kStartUnix);
    TickResult result;
    std::vector<test::BeastRecord> records;
    for (int second = 0; second < seconds; ++second) {
        simulation.Advance(second + 1, [&](Source source, Unit&& unit) {
            if (source == Source::Feed) return;
            truth.Count(source, unit);
            records.clear();
            std::size_t rest = 0;
            ASSERT_TRUE(test::ReadBeast(unit.text, records, rest));
            const ArrivalTime arrival{1000.0 + unit.time, kStartUnix + second};
            clock.steadySeconds = arrival.steadySeconds;
            for (const test::BeastRecord& record : records) {
                run.TakeFrame(
                    source == Source::Receiver1 ? SourceId::Receiver1 : SourceId::Receiver2,
                    record.frame, LevelFromBeastByte(record.level), record.counter, arrival);
            }
        });
        clock.steadySeconds = 1000.0 + second + 1;
        TickInputs inputs;
        inputs.UnixSeconds = kStartUnix + second + 1;
        run.Second(inputs, false, result);
    }
    clock.steadySeconds += 3;  // every twin's window closed
    run.End();
}

// A field of the truth's "levels" object, as text: "1.23" for "1.23" and 42 for 42.
std::string TruthField(const std::string& json, const std::string& name) {
    const std::size_t levels = json.find("\"levels\":");
    const std::size_t at = json.find("\"" + name + "\":", levels);
    if (levels == std::string::npos || at == std::string::npos) return "<missing>";
    std::size_t value = at + name.size() + 3;
    if (json[value] == '"') return json.substr(value + 1, json.find('"', value + 1) - value - 1);
    return json.substr(value, json.find_first_of(",}", value) - value);
}

TEST(LevelRunTest, TheRunsLevelTableEqualsTheSimulatorsTruth) {
    test::FakeClock clock;
    quorvex::Run run("/nonexistent/", clock);
    GroundTruth truth;
    truth.Levels().enabled = true;
    for (const Source source : {Source::Receiver1, Source::Receiver2}) {
        truth[source].enabled = true;
        truth[source].format = kBeastFormat;
    }
    Fly(BeastSky(3.0, -1, 0), 240, run, clock, truth);
    const std::string json = truth.Json(5, 240, true);

    std::istringstream csv(LevelCsvText(run.Levels()));
    std::string header, all;
    std::getline(csv, header);
    std::getline(csv, all);
    std::vector<std::string> cells;
    std::istringstream row(all.substr(0, all.find('\r')));
    for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
    const char* columns[] = {"ring",
                             "twins",
                             "compared",
                             "excluded_no_level",
                             "excluded_strong",
                             "excluded_weak",
                             "median_db",
                             "ci_low_db",
                             "ci_high_db",
                             "q1_db",
                             "q3_db",
                             "receiver1_strong_pct",
                             "receiver2_strong_pct"};
    ASSERT_EQ(cells.size(), std::size(columns)) << all;
    EXPECT_EQ(cells[0], "all");
    for (std::size_t i = 1; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i], TruthField(json, columns[i])) << columns[i];
    }
    EXPECT_GT(std::stoll(cells[2]), 10000) << "enough compared twins to mean something";
    EXPECT_GT(std::stoll(cells[4]), 0) << "near aircraft clip at receiver 2";
    EXPECT_NEAR(std::stod(cells[6]), 3.0, 0.2) << "the gain difference, through the jitter";
}

TEST(LevelRunTest, AGainStepIsMarkedWithinAMinuteOfIt) {
    test::FakeClock clock;
    quorvex::Run run("/nonexistent/", clock);
    GroundTruth truth;
    constexpr double kStepAt = 8 * 60 + 25;
    Fly(BeastSky(0.0, kStepAt, 4.0), 20 * 60, run, clock, truth);
    const std::vector<GainChange>& changes = run.Levels().GainChanges();
    ASSERT_EQ(changes.size(), 1U);
    EXPECT_LE(std::abs(static_cast<double>(changes[0].unixSecond - kStartUnix) - kStepAt), 60.0);
    EXPECT_NEAR(changes[0].afterDb - changes[0].beforeDb, 4.0, 0.5);
    EXPECT_EQ(GainChangeText(run.Levels())
                  .rfind("Levels are not comparable across the gain change at 12:0", 0),
              0U)
        << GainChangeText(run.Levels());
}

}  // namespace
}  // namespace quorvex::sim
