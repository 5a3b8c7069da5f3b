#include "metrics/run_figures.h"

namespace quorvex::metrics {

void RunFigures::Sums::Add(const RunBucket& bucket) {
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t g = 0; g < kDfGroupCount; ++g) frames[r][g] += bucket.frames[r][g];
        levelSum[r] += bucket.levels[r].Sum;
        levelCount[r] += static_cast<std::uint64_t>(bucket.levels[r].Count);
    }
    for (std::size_t t = 0; t < feedLines.size(); ++t) feedLines[t] += bucket.feedLines[t];
    twins += bucket.frameTwins.both;
}

void RunFigures::Gather(const Run& run, MetricValues& values) {
    // The closed hours only ever grow at the end; anything else (a Clear, a new Start, a
    // session continued) sums them afresh.
    const TimeBuckets& buckets = run.Buckets();
    const auto& hours = buckets.Hours();
    if (hours.size() < hoursSummed_ ||
        (hoursSummed_ > 0 && (hours.front().startUnix != firstHourStart_ ||
                              hours[hoursSummed_ - 1].startUnix != lastHourStart_))) {
        closedHours_ = {};
        hoursSummed_ = 0;
    }
    for (; hoursSummed_ < hours.size(); ++hoursSummed_) closedHours_.Add(hours[hoursSummed_]);
    if (hoursSummed_ > 0) {
        firstHourStart_ = hours.front().startUnix;
        lastHourStart_ = hours.back().startUnix;
    }
    Sums total = closedHours_;
    total.Add(buckets.OpenHour());
    total.Add(buckets.Current());
    values.frames = total.frames;
    values.feedLines = total.feedLines;
    values.twinFrames = total.twins;
    for (std::size_t r = 0; r < 2; ++r) {
        values.levelMeanDbfs[r].reset();
        if (total.levelCount[r] > 0) {
            values.levelMeanDbfs[r] = total.levelSum[r] / static_cast<double>(total.levelCount[r]);
        }
    }

    // The coverage as --coverage-csv writes it: its rows added up.
    const Coverage& coverage = run.Positions();
    values.positions = {};
    values.positionFrames = {};
    for (const SectorRow& sector : coverage.SectorTable()) {
        const auto k = static_cast<std::size_t>(sector.startDeg / 10);
        for (std::size_t s = 0; s < kSourceCount; ++s) {
            values.rangeMaxNm[s][k] = sector.sources[s].maxNm;
            values.positions[s] += sector.sources[s].positions;
        }
        values.positionFrames += sector.comparison.counts;
    }
    for (std::size_t s = 0; s < kSourceCount; ++s) {
        values.rangeP95Nm[s] =
            coverage.Stats().Percentile95(static_cast<SourceId>(s), AltitudeBand::All);
    }

    const LevelDeltas& deltas = run.Levels().All().deltas;
    values.levelCompared = deltas.compared();
    values.levelDeltaQuartilesDb.reset();
    values.levelDeltaSumDb = deltas.SumDb();
    if (deltas.compared() > 0) {
        const DeltaSummary summary = deltas.Summarize();
        if (summary.q1Db && summary.medianDb && summary.q3Db) {
            values.levelDeltaQuartilesDb = {*summary.q1Db, *summary.medianDb, *summary.q3Db};
        }
    }

    // The Aircraft page's counts, of the second the tally closed last.
    const AircraftSummary aircraft = CountHearing(run.Tally(), run.TallySecond() - 1);
    values.aircraft = {aircraft.Both, aircraft.Only1, aircraft.Only2, aircraft.FeedOnly};
}

}  // namespace quorvex::metrics
