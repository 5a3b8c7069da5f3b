#pragma once
// What the report of an A/B run says besides its verdict (core/export/report_text.h) and its
// pictures: which files it can be, each receiver's set-up in words, the session's times and
// gaps, and its tables per ring and per period. Every number in the tables is written as the
// CSV files write it (the ring table as RingCsvText, the periods as HistoryCsvText), so the
// report and the files say the same.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/comparison/coverage.h"
#include "core/positions/geo.h"
#include "core/run/session_history.h"
#include "core/settings/profiles.h"

namespace quorvex {

enum class ReportFormat { Pdf, Png, Html };

// The format a report's file name asks for by its ending (.pdf, .png or .html, in any case);
// nothing for any other.
std::optional<ReportFormat> ReportFormatOf(std::string_view path);
inline constexpr std::string_view kReportEndingsText = "must end in .pdf, .png or .html";

// A receiver's column in words: "/dev/ttyUSB0 at 3000000 baud, *<mode-s>; no CRC",
// "UDP Port 7934, *<mode-s>; no CRC", "TCP Beast from shed.local:30005", "not set up"; with
// " (profile NAME)" once a profile was loaded.
std::string ReceiverSetupText(const ReceiverProfile& receiver);

// "52.3, 4.76 (positions out to 300 NM)", or "not set: no ranges" without a station.
std::string StationSetupText(const std::optional<LatLon>& station, double maxRangeNm);

// "0 s", "45 s", "12 min 05 s", "26 h 00 min 10 s".
std::string DurationText(std::int64_t seconds);

// The seconds from `sessionStart` to `end` the program was not measuring: per period, the
// part of it within that span less its measured seconds, added up.
std::int64_t GapSeconds(const std::vector<HistoryRow>& rows, std::int64_t sessionStart,
                        std::int64_t end);

struct ReportTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;  // as many cells as the header
};

// Per ring, all altitudes: "0–50", the position frames heard by 1, by 2, by both, by 1 only,
// by 2 only, and each receiver's share in percent with its 95 % interval, "62.3 (58.1–66.0)"
// (empty below the frames a share needs).
ReportTable RingReportTable(const Coverage& coverage);

// Per period: its start (UTC), the seconds measured, each receiver's frames, farthest and
// 95th-percentile range in NM ("–" without positions).
ReportTable PeriodReportTable(const std::vector<HistoryRow>& rows);

}  // namespace quorvex
