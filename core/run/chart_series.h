#pragma once
// The rate chart's nine series, named, in the order the chart holds them and the tick fills
// them. Every window shows each source's moving average (listed in the legend); windows up to
// 5 minutes show its per-second rate in a listed series too, the 30 and 60 minute windows in
// series of their own (not listed).

#include <cstddef>

namespace quorvex {

enum class ChartSeries : std::size_t {
    Receiver1Rate,
    Receiver2Rate,
    Receiver1Average,
    Receiver2Average,
    FeedRate,
    FeedAverage,
    Receiver1RateLong,
    Receiver2RateLong,
    FeedRateLong,
};
inline constexpr std::size_t kChartSeriesCount = 9;

// The series' position in the chart and in TickResult::Series.
constexpr std::size_t Index(ChartSeries series) {
    return static_cast<std::size_t>(series);
}

// The series of the windows up to 5 minutes come first, this many.
inline constexpr std::size_t kShortWindowSeriesCount = Index(ChartSeries::Receiver1RateLong);

}  // namespace quorvex
