#pragma once
// Run: one measurement and everything it accumulates. Every receiver input hands it one
// Reception per frame (Take), the feed its text (TakeFeed); once a second the front-end calls
// Second, and Start, Clear and End at those moments. What it keeps, in a fixed order:
// - the measurement cycle: the current second's counters and levels, the feed's buffer, the
//   histories behind the bars and the chart (core/run/measurement.h);
// - the logfile, written while logging is on;
// - the aircraft tally: frames per aircraft and source;
// - the coverage: positions decoded and placed from the station, both/only per place;
// - the twin matcher: every counted frame with its bytes either becomes a twin heard by both
//   receivers or is settled as heard by one only (core/comparison/twin_matcher.h); the
//   coverage's both/only come from its twins;
// - the level comparison: every twin's two levels, and every frame's level, placed by its
//   aircraft's latest fix (core/comparison/level_comparison.h);
// - time buckets: per wall-clock minute, hour and the whole run, of all the above, and the
//   session's history: the minutes joined into periods (core/run/session_history.h).
// Readers (the window, the run without a window, the files) read its views; nothing else
// changes it.
//
// Threads: the user-interface thread only. Times: steady seconds for the twins' window and
// position pairs, read from the clock at each reception; the wall-clock second given by
// Start, Clear and Second for the buckets; the tally counts in ticked seconds.
//
// A stall: the process did not run for a while (stopped, swapped out, a frozen disk, a
// suspend) and the kernel kept what arrived meanwhile, which then comes all at once, every
// frame with the moment the program went on. It is found by the first reception or tick
// that comes more than kStallSeconds of steady time after the last tick. Which frames are
// the backlog: every frame and feed line taken from the moment the stall is found until the
// second tick after it has closed. The first tick after the stall closes the second the stall
// broke into, the next one the second in which the kernel's buffers are read out; neither
// second is measured. The feed's text of both seconds is the backlog too (it is scanned at
// the ticks). The backlog is counted in the totals (the minute's frames per DF group and
// feed lines, the tally's totals per aircraft, the logfile) and kept out of everything that
// is per second or compared: the counters behind the bars, the seconds' rows (--csv, the
// chart, the export, the summaries), the averages (they start again from one second), the
// tally's second and minute, positions, twins and levels. The frames taken before the stall
// was found count as usual; those still waiting for their twin then settle as heard by one.
// The history's measured seconds leave out the seconds from the last measured tick to the
// second tick after the stall, which are a gap (Gaps), and the stall is said once, when the
// backlog is closed.
//
// A step of the system clock: the wall-clock seconds of two ticks differ from their steady
// seconds by more than kClockStepSeconds. It is said once with its size. Every row keeps the
// clock's time at its tick and all of them stay in the order they were measured (nothing is
// sorted by time): after a step back the times go back. The history's period under way
// closes and the next begins at the new time, with no empty periods for the time skipped.
// The logfile keeps its name (the message says it); the next one is named by the new time.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/byte_codec.h"
#include "core/base/clock.h"
#include "core/comparison/aircraft_tally.h"
#include "core/comparison/coverage.h"
#include "core/comparison/level_comparison.h"
#include "core/comparison/twin_matcher.h"
#include "core/frames/reception.h"
#include "core/positions/geo.h"
#include "core/run/logfile.h"
#include "core/run/measurement.h"
#include "core/run/measurement_cycle.h"
#include "core/run/session_history.h"
#include "core/run/time_buckets.h"

namespace quorvex {

// More steady time than this since the last tick: the program stalled.
inline constexpr double kStallSeconds = 2.5;
// The wall clock moved this much more (or less) than the steady clock between two ticks: a
// step of the system clock.
inline constexpr double kClockStepSeconds = 2.0;

// A span of time as the run's messages say it: "45 s", "3 min", "2 h 5 min", "3 days 4 h",
// "56 years 3 days" (years of 365.2425 days).
std::string SpanText(std::int64_t seconds);

class Run {
  public:
    // The logfiles go to `logFolder`, created on the first file when `createLogFolder`.
    Run(std::string logFolder, const Clock& clock, bool createLogFolder = false);
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // The station and maximum range; the coverage gathered so far is forgotten, and so is the
    // level comparison, whose rings and fixes were ranged from the old station.
    void SetStation(std::optional<LatLon> station, double maxRangeNm);
    // A measurement starts at `unixSecond`: the histories from zero, the averages from one
    // second over `intervalSeconds`; the tally, coverage, twins and buckets afresh.
    void Start(int intervalSeconds, std::int64_t unixSecond);
    // The time of arrival of a reception now.
    ArrivalTime Arrival() const { return {clock_.SteadySeconds(), unixSecond_}; }

    // A frame of receiver 1 or 2 (one of the feed is ignored). Counted frames: their DF
    // group's counter, the tally, the position decoder, the levels, the twin matcher and the
    // minute's bucket; every frame but a dropped one is logged while logging is on.
    void Take(const Reception& reception);
    // ReadPacket and Take: a receiver's text packet taken as arrived at `arrival` (now, when
    // not given). A packet with a pair that is no hexadecimal number is neither counted nor
    // logged: the pair is returned.
    std::optional<BadHexPair> TakePacket(SourceId receiver, std::string_view packet, bool crcOption,
                                         const ArrivalTime& arrival);
    std::optional<BadHexPair> TakePacket(SourceId receiver, std::string_view packet,
                                         bool crcOption) {
        return TakePacket(receiver, packet, crcOption, Arrival());
    }
    // ReadFrame and Take: a frame a receiver delivered as bytes (Beast).
    void TakeFrame(SourceId receiver, std::span<const std::uint8_t> bytes, float levelDbfs,
                   std::optional<std::uint64_t> receiverTime, const ArrivalTime& arrival);
    void TakeFrame(SourceId receiver, std::span<const std::uint8_t> bytes, float levelDbfs,
                   std::optional<std::uint64_t> receiverTime) {
        TakeFrame(receiver, bytes, levelDbfs, receiverTime, Arrival());
    }
    // Text the feed socket received; the next second that is not held scans it.
    void TakeFeed(std::string_view text) { FeedTextReceived(cycle_, text); }

    // The one-second tick at `inputs.UnixSeconds`. Unless `held`, the measurement cycle
    // ticks (the feed scanned, bars, figures and chart into `result`); held or not, the tally
    // closes its second, the frames whose twin can no longer come are settled and the second
    // goes into its minute.
    void Second(const TickInputs& inputs, bool held, TickResult& result);
    // Releasing Hold: the counters start again from zero.
    void ReleaseHold() { HoldReleased(cycle_); }
    // The Clear button at `unixSecond`: the histories, the tally, the coverage, the waiting
    // twins and the buckets are forgotten; the counters of the second under way stay.
    void Clear(std::int64_t unixSecond);
    // The Coverage page's Clear: the coverage gathered so far is forgotten.
    void ClearCoverage() { coverage_.Clear(); }
    // The end of a run: every frame still waiting for its twin is settled as heard by one; a
    // stall's backlog still being taken ends and is said.
    void End();
    // The history's period in minutes (1 to 1440), from the next Start or Clear on.
    void SetHistoryMinutes(int minutes) { historyMinutes_ = minutes; }
    // The chart window's width in seconds.
    void SetChartSeconds(int seconds) { cycle_.Measurement.ChartSeconds = seconds; }

    // --- A session's saved state ---------------------------------------------------------
    // What the run accumulated, as a Stop now would leave it: the frames still waiting for
    // their twin are written as heard by one receiver (the run itself goes on unchanged).
    // Not the chart's seconds, the logfile or the position decoder's aircraft.
    void Save(ByteWriter& out) const;
    // A run just started at `unixSecond` goes on with a saved one: what it accumulated comes
    // back, and the seconds from the saved run's last one to `unixSecond` are a gap. False,
    // the run left as it was, when the state is not whole, not consistent or was gathered
    // with another maximum range.
    bool Restore(ByteReader& in, std::int64_t unixSecond);

    // --- Views ------------------------------------------------------------------------
    const MeasurementCycle& Cycle() const { return cycle_; }
    const IntervalCounts& Counts() const { return cycle_.Counts; }
    const MeasurementState& Measurement() const { return cycle_.Measurement; }
    const AircraftTally& Tally() const { return tally_; }
    // The ticked second the tally counts in.
    std::int64_t TallySecond() const { return tallySecond_; }
    const Coverage& Positions() const { return coverage_; }
    const TwinMatcher& Twins() const { return twins_; }
    const LevelComparison& Levels() const { return levels_; }
    const TimeBuckets& Buckets() const { return buckets_; }
    const SessionHistory& History() const { return history_; }
    // Every period of the history, the one under way with the minute under way.
    std::vector<HistoryRow> HistoryRows() const { return history_.Rows(buckets_.Current()); }
    const Clock& Time() const { return clock_; }
    // When the session began: the Start or Clear that began it, or the first run of a
    // session continued from a checkpoint.
    std::int64_t SessionStart() const { return sessionStart_; }
    // The last second the run began or ticked.
    std::int64_t LastSecond() const { return unixSecond_; }
    // Whether the last Second measured its second: not while a stall's backlog is taken.
    // Only a measured second that was not held adds a row to the seconds.
    bool SecondMeasured() const { return secondMeasured_; }
    // What the run has to say, once each (a stall, a step of the system clock), as whole
    // sentences, oldest first; taken, they are gone.
    std::vector<std::string> TakeNotices() { return std::exchange(notices_, {}); }

    // The session's gaps: from each saved run's last second, the seconds until the run that
    // went on with it began (what came meanwhile was not counted); and from the last measured
    // second before each stall, the seconds until measuring went on (what came meanwhile was
    // counted, not compared).
    struct Gap {
        std::int64_t fromUnix = 0;
        std::int64_t seconds = 0;
    };
    const std::vector<Gap>& Gaps() const { return gaps_; }
    // The logfile: its own switches (logging, a new file, gathering) are the front-end's.
    Logfile& Log() { return log_; }
    const Logfile& Log() const { return log_; }

  private:
    void Settled(const Twin& twin);
    // A twin both receivers heard, whose second copy was just taken for the aircraft of
    // tally row `row` (AircraftTally::kNoRow: none), placed in `ring`.
    void CompareLevels(const Twin& twin, std::uint32_t row, std::optional<int> ring);
    // The ring of the aircraft of tally row `row` by its latest fix; none when unplaced.
    std::optional<int> FixRing(std::uint32_t row) const;
    void FeedEntry(std::string_view entry);
    void Forget(std::int64_t unixSecond);
    // A reception or tick at steady `now`: true when it belongs to a stall's backlog (the
    // stall found now, or before and not yet closed).
    bool Stalled(double now);
    void TakeBacklog(const Reception& reception);
    void BacklogFeedEntry(std::string_view entry);
    // A tick while the backlog is taken; closes it at the second one.
    void StalledSecond(const TickInputs& inputs, double now);
    void MeasuredSecond(const TickInputs& inputs, bool held, TickResult& result, double now);
    // The wall clock of this tick against the steady clock since the last one: true, and
    // said, when it stepped.
    bool WatchClock(std::int64_t unixSecond, double now);

    // A stall found and its backlog not yet closed.
    struct Stall {
        double seconds = 0;           // how long the program did not run
        double fromSteady = 0;        // the last measured tick
        std::int64_t fromUnix = 0;    // its wall-clock second
        std::uint64_t frames = 0;     // the backlog's counted frames...
        std::uint64_t feedLines = 0;  // ...and feed lines
        int ticksLeft = 2;            // until the backlog closes
    };

    const Clock& clock_;
    MeasurementCycle cycle_;
    Logfile log_;
    AircraftTally tally_;
    std::int64_t tallySecond_ = 0;
    Coverage coverage_;
    TwinMatcher twins_;
    LevelComparison levels_;
    TimeBuckets buckets_;
    SessionHistory history_;
    int historyMinutes_ = kDefaultHistoryMinutes;
    std::int64_t unixSecond_ = 0;
    std::int64_t sessionStart_ = 0;
    std::vector<Gap> gaps_;
    // Between Start (or Restore) and End.
    bool measuring_ = false;
    double tickSteady_ = 0;  // the steady second of the last tick, Start, Clear or Restore
    double lastRan_ = 0;     // the latest steady second a reception or tick was taken at
    std::optional<Stall> stall_;
    bool secondMeasured_ = true;
    std::vector<std::string> notices_;
};

}  // namespace quorvex
