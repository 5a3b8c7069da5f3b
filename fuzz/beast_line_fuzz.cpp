// Two receivers on Beast serial lines into one run: arbitrary bytes for each, in chunks of
// sizes the input chooses, taken in turns, with seconds ticking and the clock moving between
// them; then the run ends. Every frame reaches the run's counters, the twin matcher and the
// level comparison, which must never crash and must account for every twin once.
//
// What must hold:
// - the frames counted are the decoders' frames whose verdict counts;
// - every twin both heard was judged on its levels once: compared plus the three exclusions
//   make the twins, in all and over the unplaced and the rings;
// - the level CSV and the summaries can be made of whatever came.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "core/export/level_csv.h"
#include "core/run/run.h"
#include "net/beast_decoder.h"

namespace {

using quorvex::SourceId;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "beast_line_fuzz: %s\n", what);
    std::abort();
}

class StepClock final : public quorvex::Clock {
  public:
    double steady = 1000.0;
    quorvex::LocalDateTime Now() const override { return {2026, 12, 8, 12, 0, 0, 0}; }
    double SteadySeconds() const override { return steady; }
};

std::uint64_t Judged(const quorvex::LevelGroup& group) {
    return group.deltas.compared() + group.excludedNoLevel + group.excludedStrong +
           group.excludedWeak;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // One run for every input, started afresh: its tables are large to make.
    static StepClock clock;
    static quorvex::Run run("/nonexistent/", clock);
    run.SetStation(quorvex::LatLon{52.0, 5.0}, input.ConsumeIntegralInRange<int>(1, 1000));
    constexpr std::int64_t kStart = 1765195200;
    run.Start(5, kStart);
    run.ReleaseHold();
    std::array<quorvex::net::BeastDecoder, 2> decoders;
    std::uint64_t counted = 0;
    std::int64_t second = kStart;
    quorvex::TickResult result;
    while (input.remaining_bytes() > 0) {
        const int step = input.ConsumeIntegralInRange<int>(0, 3);
        if (step == 3) {
            clock.steady += input.ConsumeIntegralInRange<int>(0, 100) / 10.0;
            quorvex::TickInputs inputs;
            inputs.UnixSeconds = ++second;
            run.Second(inputs, false, result);
            continue;
        }
        const std::size_t r = static_cast<std::size_t>(step) % 2;
        const auto chunk = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(1, 64));
        decoders[r].Feed(std::span(chunk), [&](const quorvex::net::BeastDecoder::Frame& frame) {
            const quorvex::Reception reception = quorvex::ReadFrame(
                r == 0 ? SourceId::Receiver1 : SourceId::Receiver2, frame.bytes,
                quorvex::LevelFromBeastByte(frame.signal), frame.timestamp, run.Arrival());
            counted += reception.frame.verdict.IsCounted() ? 1 : 0;
            run.Take(reception);
        });
    }
    run.End();

    const quorvex::RunBucket total = run.Buckets().Total();
    Check(total.Frames(SourceId::Receiver1) + total.Frames(SourceId::Receiver2) == counted,
          "the frames counted differ from the decoders' counted frames");
    const quorvex::LevelComparison& levels = run.Levels();
    Check(levels.All().twins == total.frameTwins.both, "a twin both heard was not judged once");
    Check(Judged(levels.All()) == levels.All().twins, "the verdicts do not add up to the twins");
    std::uint64_t placed = levels.Unplaced().twins;
    for (int ring = 0; ring < levels.RingCount(); ++ring) {
        Check(Judged(levels.Ring(ring)) == levels.Ring(ring).twins, "a ring's verdicts differ");
        placed += levels.Ring(ring).twins;
    }
    Check(placed == levels.All().twins, "the rings and the unplaced do not make all twins");
    Check(!quorvex::LevelCsvText(levels).empty(), "no level table");
    (void)quorvex::LevelSummaryLine(second, levels);
    return 0;
}
