#pragma once
// The measurement cycle's state: the counters of the current second, this second's signal
// levels, the feed's double buffer and the histories behind the bars and the chart. The run
// owns one; the once-a-second Tick (core/run/measurement.h) turns it into bars, figures and
// chart points. Only the user-interface thread touches it.

#include <array>
#include <string>
#include <string_view>

#include "core/feed/feed_buffers.h"
#include "core/frames/interval_counts.h"
#include "core/run/measurement_state.h"

namespace quorvex {

struct MeasurementCycle {
    IntervalCounts Counts;
    std::array<LevelSum, 2> Levels{};  // this second's signal levels of receivers 1 and 2
    FeedBuffers Feed;
    MeasurementState Measurement;
    std::string FeedScratch;  // the buffer half a tick is scanning; reused every second
};

// Text the feed socket received: appended to the buffer half the selector points at.
inline void FeedTextReceived(MeasurementCycle& cycle, std::string_view text) {
    cycle.Feed.Append(text);
}

}  // namespace quorvex
