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
    if (period != open_.startUnix) {
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

std::vector<HistoryRow> SessionHistory::Rows(const RunBucket& current) const {
    std::vector<HistoryRow> rows = closed_;
    const std::int64_t span = std::int64_t{periodMinutes_} * 60;
    const std::int64_t currentPeriod = PeriodOf(current.startUnix);
    RunBucket open = open_;
    if (currentPeriod != open.startUnix) {
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
