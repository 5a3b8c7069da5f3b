#pragma once
// The figures the metrics endpoint publishes, as plain values gathered at the one-second
// tick, and the exposition families made of them. Counters count from the session's start as
// the CSV files count; a gauge without a value (a sector without positions, a receiver
// without levels) is left out of the exposition, not written as zero.
//
// No label carries an aircraft address or anything else that grows without bound: the
// sources, the DF groups, the feed's three classes, the 36 sectors, three quantiles.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <prometheus/metric_family.h>

#include "core/base/source_id.h"
#include "core/comparison/coverage.h"
#include "core/comparison/coverage_stats.h"
#include "core/frames/df_group.h"

namespace quorvex::metrics {

// What the process costs, read from the kernel at the tick (process_figures.h).
struct ProcessFigures {
    double cpuSeconds = 0;
    double residentBytes = 0;
    double openFds = 0;
    double startTimeSeconds = 0;
};

struct MetricValues {
    // Counted frames per receiver (1, 2) and DF group; the feed's MSG 5/6, 8 and other lines.
    std::array<std::array<std::uint64_t, kDfGroupCount>, 2> frames{};
    std::array<std::uint64_t, 3> feedLines{};
    std::array<std::uint64_t, 2> rejectedPackets{};             // receivers 1, 2
    std::array<std::uint64_t, kSourceCount> connectionsLost{};  // receivers 1, 2, feed
    std::uint64_t udpDatagramsDropped = 0;  // receiver 2's datagrams the kernel dropped
    std::array<std::uint64_t, kSourceCount> positions{};  // placed airborne ones
    std::uint64_t twinFrames = 0;                         // frames both heard
    TwinCounts positionFrames;                            // placed position frames
    // Per source and 10-degree sector the farthest range; per source the 95th percentile.
    std::array<std::array<std::optional<double>, kSectorCount>, kSourceCount> rangeMaxNm{};
    std::array<std::optional<double>, kSourceCount> rangeP95Nm{};
    std::array<std::optional<double>, 2> levelMeanDbfs{};  // receivers 1, 2
    // The level comparison: twins compared, and once any was the quartiles of their deltas
    // and the deltas' sum (a summary's quantiles, count and sum).
    std::uint64_t levelCompared = 0;
    std::optional<std::array<double, 3>> levelDeltaQuartilesDb;  // 0.25, 0.5, 0.75
    double levelDeltaSumDb = 0;
    // The Aircraft page's counts of the last minute: both, only 1, only 2, feed only.
    std::array<int, 4> aircraft{};
    std::array<bool, kSourceCount> up{};
    std::string version;
    ProcessFigures process;
};

// The families of `values` in the exposition's order, every name and label as documented
// in README's metrics section.
std::vector<prometheus::MetricFamily> MetricFamilies(const MetricValues& values);

// The families as the text exposition format (what a scrape of /metrics gives).
std::string ExpositionText(const std::vector<prometheus::MetricFamily>& families);

}  // namespace quorvex::metrics
