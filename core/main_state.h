#pragma once
// The state the main window keeps for the whole run: the counters of the current second, the
// feed buffers, the logfile, the measurement's histories and its positions. Only the
// user-interface thread touches it.

#include <cstdint>
#include <string>

#include "core/aircraft_tally.h"
#include "core/clock.h"
#include "core/coverage.h"
#include "core/feed_buffers.h"
#include "core/interval_counts.h"
#include "core/log_format.h"
#include "core/logfile.h"
#include "core/measurement_state.h"

namespace quorvex {

struct MainState {
    // The logfiles go to `logFolder`, created on the first file when `createLogFolder`.
    MainState(std::string logFolder, const Clock& clock, bool createLogFolder = false)
        : Time(clock), Log(std::move(logFolder), clock, createLogFolder) {}

    const Clock& Time;  // the logfile's, and the steady seconds of positions

    IntervalCounts Counts;
    std::array<LevelSum, 2> Levels{};  // this second's signal levels of receivers 1 and 2
    FeedBuffers Feed;
    Logfile Log;
    MeasurementState Measurement;

    // Frames per aircraft and source. TallySecond numbers the second being counted; the
    // timer's tick closes it, held or not.
    AircraftTally Tally;
    std::int64_t TallySecond = 0;

    // Positions of receivers 1 and 2 and the feed, and the coverage they show.
    Coverage Positions;

    std::string FeedScratch;  // the buffer half a tick is scanning; reused every second
};

}  // namespace quorvex
