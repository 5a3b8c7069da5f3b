#include "core/export/report_figures.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "core/base/csv.h"
#include "core/settings/receiver_kind.h"

namespace quorvex {
namespace {

// The shortest text that reads back as `value`: "52.3", "300".
std::string Shortest(double value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, result.ptr);
}

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string Count(std::uint64_t count) {
    return std::to_string(count);
}

// The share's cell, its numbers as RingCsvText writes them.
std::string ShareCell(const std::optional<ShareInterval>& share) {
    if (!share) return {};
    return FixedText(share->share * 100.0, 1) + " (" + FixedText(share->low * 100.0, 1) + "–" +
           FixedText(share->high * 100.0, 1) + ")";
}

// A range's cell, as HistoryCsvText writes it; "–" where there is none.
std::string RangeCell(const std::optional<double>& nm) {
    return nm ? FixedText(*nm, 2) : "–";
}

}  // namespace

std::optional<ReportFormat> ReportFormatOf(std::string_view path) {
    // A name before the ending: ".pdf" alone names no file.
    const auto endsIn = [path](std::string_view ending) {
        return path.size() > ending.size() &&
               std::equal(ending.rbegin(), ending.rend(), path.rbegin(), [](char e, char c) {
                   return e == std::tolower(static_cast<unsigned char>(c));
               });
    };
    if (endsIn(".pdf")) return ReportFormat::Pdf;
    if (endsIn(".png")) return ReportFormat::Png;
    if (endsIn(".html")) return ReportFormat::Html;
    return std::nullopt;
}

std::string ReceiverSetupText(const ReceiverProfile& receiver) {
    const std::string& rate = receiver.BaudRate.Text;
    const std::string& format = receiver.Format.Text;
    const std::string port = Trimmed(receiver.Port.Text);
    std::string text;
    if (const auto kind = NetworkKindOf(rate)) {
        text = rate + " from " + (port.empty() ? DefaultNetworkAddress(*kind) : port);
        if (*kind == NetworkKind::Raw) text += ", " + format;
    } else if (rate.starts_with("UDP")) {
        text = rate + ", " + format;
    } else if (!port.empty()) {
        text = port + " at " + rate + " baud, " + format;
    } else {
        return "not set up";
    }
    if (!receiver.Label.empty() && receiver.Label != kNoProfile) {
        text += " (profile " + receiver.Label + ")";
    }
    return text;
}

std::string StationSetupText(const std::optional<LatLon>& station, double maxRangeNm) {
    if (!station) return "not set: no ranges";
    return Shortest(station->lat) + ", " + Shortest(station->lon) + " (positions out to " +
           Shortest(maxRangeNm) + " NM)";
}

std::string DurationText(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    char text[48];
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(seconds));
    } else if (seconds < 3600) {
        std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(
            text, sizeof text, "%lld h %02lld min %02lld s", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    }
    return text;
}

std::int64_t GapSeconds(const std::vector<HistoryRow>& rows, std::int64_t sessionStart,
                        std::int64_t end) {
    std::int64_t gap = 0;
    for (const HistoryRow& row : rows) {
        // The first period may begin before the session, the last one end after it.
        const std::int64_t from = std::max(row.startUnix, sessionStart);
        const std::int64_t to = std::min(row.startUnix + row.periodSeconds, end);
        if (to > from) gap += std::max<std::int64_t>(to - from - row.measuredSeconds, 0);
    }
    return gap;
}

ReportTable RingReportTable(const Coverage& coverage) {
    ReportTable table;
    table.header = {"Ring NM", "by 1",   "by 2",      "both",
                    "only 1",  "only 2", "share 1 %", "share 2 %"};
    for (const RingRow& ring : coverage.RingTable()) {
        const TwinCounts& counts = ring.comparison.counts;
        table.rows.push_back(
            {FixedText(ring.fromNm, 0) + "–" + FixedText(ring.toNm, 0), Count(counts.by1()),
             Count(counts.by2()), Count(counts.both), Count(counts.only1), Count(counts.only2),
             ShareCell(ring.comparison.share1), ShareCell(ring.comparison.share2)});
    }
    return table;
}

ReportTable PeriodReportTable(const std::vector<HistoryRow>& rows) {
    ReportTable table;
    table.header = {"Period (UTC)",  "Measured s",    "Frames 1",  "Frames 2",
                    "Farthest 1 NM", "Farthest 2 NM", "95 % 1 NM", "95 % 2 NM"};
    for (const HistoryRow& row : rows) {
        table.rows.push_back({Iso8601Utc(row.startUnix), std::to_string(row.measuredSeconds),
                              Count(row.frames[0]), Count(row.frames[1]), RangeCell(row.maxNm[0]),
                              RangeCell(row.maxNm[1]), RangeCell(row.p95Nm[0]),
                              RangeCell(row.p95Nm[1])});
    }
    return table;
}

}  // namespace quorvex
