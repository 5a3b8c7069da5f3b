#pragma once
// The run's part of the published figures, gathered at the tick from what the run
// accumulated: frames and feed lines per the time buckets' totals (as the --csv file's rows
// add up), positions, ranges and both/only position frames per the coverage's sector table
// (as --coverage-csv writes it), the level comparison, and the Aircraft page's counts of the
// last minute.
//
// The closed hours' sums are kept between ticks, so a long run does not cost more per tick
// than a short one. User-interface thread only, like the run.

#include <array>
#include <cstdint>

#include "core/comparison/aircraft_table.h"
#include "core/run/run.h"
#include "metrics/metric_values.h"

namespace quorvex::metrics {

class RunFigures {
  public:
    // Fills the run's fields of `values`; the sources' connections, the version and the
    // process are the caller's.
    void Gather(const Run& run, MetricValues& values);

  private:
    struct Sums {
        std::array<std::array<std::uint64_t, kDfGroupCount>, 2> frames{};
        std::array<std::uint64_t, 3> feedLines{};
        std::uint64_t twins = 0;
        std::array<double, 2> levelSum{};
        std::array<std::uint64_t, 2> levelCount{};
        void Add(const RunBucket& bucket);
    };

    Sums closedHours_;
    std::size_t hoursSummed_ = 0;
    std::int64_t firstHourStart_ = 0;
    std::int64_t lastHourStart_ = 0;
};

}  // namespace quorvex::metrics
