#pragma once
// The state the main window keeps for the whole run: the counters of the current second, the
// feed buffers, the logfile and the measurement's histories. Only the user-interface thread
// touches it.

#include <cstdint>
#include <string>

#include "core/aircraft_tally.h"
#include "core/feed_buffers.h"
#include "core/interval_counts.h"
#include "core/log_format.h"
#include "core/logfile.h"
#include "core/measurement_state.h"

namespace quorvex {

struct MainState {
    MainState(std::string appFolder, const Clock& clock) : Log(std::move(appFolder), clock) {}

    IntervalCounts Counts;
    std::array<LevelSum, 2> Levels{};  // this second's signal levels of receivers 1 and 2
    FeedBuffers Feed;
    Logfile Log;
    MeasurementState Measurement;

    // Frames per aircraft and source. TallySecond numbers the second being counted; the
    // timer's tick closes it, held or not.
    AircraftTally Tally;
    std::int64_t TallySecond = 0;

    std::string FeedScratch;  // the buffer half a tick is scanning; reused every second
};

}  // namespace quorvex
