#pragma once
// The histories behind the bars and the chart, and the interval bookkeeping of a measurement.

#include <array>
#include <cstdint>

#include "core/frames/interval_counts.h"
#include "core/run/second_history.h"

namespace quorvex {

inline constexpr int kCountHistorySlots = 62;  // per counter; at most 60 are ever read

// The signal levels (dBFS) of a receiver's counted frames in one second.
struct LevelSum {
    double Sum = 0;
    std::int32_t Count = 0;
    std::int32_t Strong = 0;  // those at or above the strong threshold (-3 dBFS)
    bool operator==(const LevelSum&) const = default;
};

struct MeasurementState {
    int IntervalSeconds = 5;  // averaging interval; 5 until the "Filter" list names another
    int SampleCount = 1;      // how many of the newest seconds the averages cover
    int ChartSeconds = 30;    // width of the chart window

    // Slots run oldest to newest; the newest holds the last completed second.
    std::array<std::array<std::int32_t, kCountHistorySlots>, IntervalCounts::kCounterCount>
        CountHistory{};
    // The last hour of seconds: the chart's rates and averages, and what the export and the
    // --csv file write. Seconds before Start (or Clear) read as zeros.
    SecondHistory Seconds;
    std::array<std::array<LevelSum, kCountHistorySlots>, 2> LevelHistory{};  // receivers 1, 2
};

}  // namespace quorvex
