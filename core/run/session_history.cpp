#include "core/run/session_history.h"

#include <algorithm>
#include <span>

#include "core/base/csv.h"
#include "core/comparison/coverage_stats.h"

namespace quorvex {

HistoryRow MakeHistoryRow(const RunBucket& period, std::int64_t periodSeconds) {
    HistoryRow row;
    row.startUnix = period.startUnix;
    row.periodSeconds = periodSeconds;
    row.measuredSeconds = period.seconds;
    row.feedLines = period.feedLines[0] + period.feedLines[1] + period.feedLines[2];
    row.positionTwins = period.positionTwins;
    for (const SourceId receiver : kReceivers) {
        const std::size_t r = SourceIndex(receiver);
        row.frames[r] = period.Frames(receiver);
        row.positions[r] = period.Positions(receiver);
        if (row.positions[r] == 0) continue;
        const auto& farthest = period.farthestNm[r];
        const double maxNm = *std::max_element(farthest.begin(), farthest.end());
        row.maxNm[r] = maxNm;
        const std::vector<std::uint32_t>& bins = period.ranges.counts[r];
        if (!bins.empty()) {
            row.p95Nm[r] =
                Percentile95Of(std::span<const std::uint32_t>(bins), row.positions[r], maxNm);
        }
    }
    return row;
}

std::int64_t SessionHistory::PeriodOf(std::int64_t unixSecond) const {
    const std::int64_t span = std::int64_t{periodMinutes_} * 60;
    const std::int64_t q = unixSecond / span;
    return (unixSecond % span < 0 ? q - 1 : q) * span;
}

void SessionHistory::Open(std::int64_t unixSecond, int periodMinutes) {
    periodMinutes_ = std::clamp(periodMinutes, 1, kMaxHistoryMinutes);
    open_ = RunBucket{};
    open_.startUnix = PeriodOf(unixSecond);
    closed_.clear();
}

bool SessionHistory::Minute(const RunBucket& minute) {
    const std::int64_t period = PeriodOf(minute.startUnix);
    bool closed = false;
    if (period < open_.startUnix) {
        ClockStepped(minute.startUnix);
        closed = true;
    } else if (period != open_.startUnix) {
        // Periods the program did not run through at all close empty: a gap, said.
        const std::int64_t span = std::int64_t{periodMinutes_} * 60;
        while (open_.startUnix < period) {
            closed_.push_back(MakeHistoryRow(open_, span));
            open_ = RunBucket{};
            open_.startUnix = closed_.back().startUnix + span;
        }
        open_.startUnix = period;
        closed = true;
    }
    const std::int64_t start = open_.startUnix;
    open_ += minute;
    open_.startUnix = start;
    return closed;
}

void SessionHistory::ClockStepped(std::int64_t unixSecond) {
    const std::int64_t period = PeriodOf(unixSecond);
    if (period == open_.startUnix) return;
    closed_.push_back(MakeHistoryRow(open_, std::int64_t{periodMinutes_} * 60));
    open_ = RunBucket{};
    open_.startUnix = period;
}

std::vector<HistoryRow> SessionHistory::Rows(const RunBucket& current) const {
    std::vector<HistoryRow> rows = closed_;
    const std::int64_t span = std::int64_t{periodMinutes_} * 60;
    const std::int64_t currentPeriod = PeriodOf(current.startUnix);
    RunBucket open = open_;
    if (currentPeriod < open.startUnix) {
        // The clock was set back: the minute under way begins a period after this one.
        rows.push_back(MakeHistoryRow(open, span));
        open = RunBucket{};
    } else if (currentPeriod != open.startUnix) {
        // The minute under way has begun a period of its own; those between are gaps.
        for (; open.startUnix < currentPeriod;
             open = RunBucket{}, open.startUnix = rows.back().startUnix + span) {
            rows.push_back(MakeHistoryRow(open, span));
        }
        open.startUnix = currentPeriod;
    }
    open += current;
    open.startUnix = currentPeriod;
    rows.push_back(MakeHistoryRow(open, span));
    return rows;
}

std::string HistoryCsvText(const std::vector<HistoryRow>& rows) {
    std::string out;
    CsvRow header(out);
    for (const char* column :
         {"period_start_utc", "period_seconds", "measured_seconds", "receiver1_frames",
          "receiver2_frames", "feed_lines", "receiver1_positions", "receiver2_positions",
          "both_positions", "only1_positions", "only2_positions", "receiver1_max_nm",
          "receiver2_max_nm", "receiver1_p95_nm", "receiver2_p95_nm"}) {
        header.Text(column);
    }
    header.End();
    for (const HistoryRow& row : rows) {
        CsvRow line(out);
        line.Text(Iso8601Utc(row.startUnix))
            .Integer(row.periodSeconds)
            .Integer(row.measuredSeconds);
        for (const std::uint64_t n :
             {row.frames[0], row.frames[1], row.feedLines, row.positions[0], row.positions[1],
              row.positionTwins.both, row.positionTwins.only1, row.positionTwins.only2}) {
            line.Integer(static_cast<std::int64_t>(n));
        }
        for (const auto* figures : {&row.maxNm, &row.p95Nm}) {
            for (const std::optional<double>& nm : *figures) {
                if (nm) {
                    line.Number(*nm, 2);
                } else {
                    line.Empty();
                }
            }
        }
        line.End();
    }
    return out;
}

}  // namespace quorvex

namespace quorvex {
namespace {

constexpr std::int64_t kLatestSecond = std::int64_t{1} << 40;
// A hundred years of one-minute periods.
constexpr std::size_t kMaxPeriods = std::size_t{60} * 24 * 366 * 100;

void PutOptional(ByteWriter& out, const std::optional<double>& value) {
    out.PutBool(value.has_value());
    out.Put(value.value_or(0.0));
}

bool GetOptional(ByteReader& in, std::optional<double>& value) {
    bool has = false;
    double number = 0;
    if (!in.GetBool(has) || !in.Get(number)) return false;
    value = has ? std::optional<double>(number) : std::nullopt;
    return true;
}

}  // namespace

void SessionHistory::Save(ByteWriter& out) const {
    out.Put(std::int32_t{periodMinutes_});
    SaveBucket(out, open_);
    out.Put(static_cast<std::uint64_t>(closed_.size()));
    for (const HistoryRow& row : closed_) {
        out.Put(row.startUnix);
        out.Put(row.periodSeconds);
        out.Put(row.measuredSeconds);
        out.PutFixed<std::uint64_t>(row.frames);
        out.Put(row.feedLines);
        out.PutFixed<std::uint64_t>(row.positions);
        SaveTwinCounts(out, row.positionTwins);
        for (const auto& nm : row.maxNm) PutOptional(out, nm);
        for (const auto& nm : row.p95Nm) PutOptional(out, nm);
    }
}

bool SessionHistory::Load(ByteReader& in) {
    std::int32_t minutes = 0;
    std::uint64_t rows = 0;
    if (!in.GetIn<std::int32_t>(minutes, 1, kMaxHistoryMinutes) || !LoadBucket(in, open_) ||
        !in.GetCount(rows, kMaxPeriods, 64)) {
        return false;
    }
    periodMinutes_ = minutes;
    if (open_.startUnix != PeriodOf(open_.startUnix)) return in.Fail();
    closed_.resize(static_cast<std::size_t>(rows));
    for (HistoryRow& row : closed_) {
        if (!in.GetIn<std::int64_t>(row.startUnix, 0, kLatestSecond) ||
            !in.GetIn<std::int64_t>(row.periodSeconds, 0, kLatestSecond) ||
            !in.GetIn<std::int64_t>(row.measuredSeconds, 0, kLatestSecond) ||
            !in.GetFixed<std::uint64_t>(row.frames) || !in.Get(row.feedLines) ||
            !in.GetFixed<std::uint64_t>(row.positions) || !LoadTwinCounts(in, row.positionTwins)) {
            return false;
        }
        for (auto& nm : row.maxNm) {
            if (!GetOptional(in, nm)) return false;
        }
        for (auto& nm : row.p95Nm) {
            if (!GetOptional(in, nm)) return false;
        }
    }
    return true;
}

}  // namespace quorvex
