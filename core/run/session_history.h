#pragma once
// The session's history: its time buckets joined into periods of a whole number of minutes
// (60 unless set), each aligned to the clock (an hourly period starts on the hour), and what
// the --history-csv file says of each: the frames and feed lines, each receiver's positions,
// the position frames heard by both or one only, each receiver's farthest and 95th-percentile
// range, and how many of the period's seconds the program was measuring (the others are a
// gap). A closed period is kept as its figures only, so a long session costs a few hundred
// bytes an hour; the period under way is a bucket that adds.
//
// User-interface thread only, like the run that fills it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/run/time_buckets.h"

namespace quorvex {

inline constexpr int kDefaultHistoryMinutes = 60;
inline constexpr int kMaxHistoryMinutes = 1440;

struct HistoryRow {
    std::int64_t startUnix = 0;
    std::int64_t periodSeconds = 0;
    std::int64_t measuredSeconds = 0;
    std::array<std::uint64_t, 2> frames{};  // receivers 1, 2
    std::uint64_t feedLines = 0;
    std::array<std::uint64_t, 2> positions{};
    TwinCounts positionTwins;
    std::array<std::optional<double>, 2> maxNm;  // none without positions
    std::array<std::optional<double>, 2> p95Nm;

    bool operator==(const HistoryRow&) const = default;
};

// A period's figures from what its minutes add up to.
HistoryRow MakeHistoryRow(const RunBucket& period, std::int64_t periodSeconds);

class SessionHistory {
  public:
    // A session starts at `unixSecond` with periods of `periodMinutes` (1 to 1440).
    void Open(std::int64_t unixSecond, int periodMinutes);
    int PeriodMinutes() const { return periodMinutes_; }

    // A minute closed. True when it began a new period, the one before it closed. A minute
    // of an earlier period than the one under way (the clock was set back) closes that one
    // and begins its own after it: the periods stay in the order they were measured in.
    bool Minute(const RunBucket& minute);
    // The system clock was set to `unixSecond` (a step, not time that passed): the period
    // under way closes with what it has, when `unixSecond` lies in another, and the next
    // begins at once, with no empty periods for the time the clock skipped.
    void ClockStepped(std::int64_t unixSecond);

    // The closed periods, oldest first.
    const std::vector<HistoryRow>& Closed() const { return closed_; }
    // Every period: the closed ones, then the one under way with `current` (the minute under
    // way) added.
    std::vector<HistoryRow> Rows(const RunBucket& current) const;

    // The saved state; false when it is not whole or not consistent.
    void Save(ByteWriter& out) const;
    bool Load(ByteReader& in);

  private:
    std::int64_t PeriodOf(std::int64_t unixSecond) const;

    int periodMinutes_ = kDefaultHistoryMinutes;
    RunBucket open_;  // the period under way: startUnix its start
    std::vector<HistoryRow> closed_;
};

// The --history-csv file's text: the header and a row per period.
std::string HistoryCsvText(const std::vector<HistoryRow>& rows);

}  // namespace quorvex
