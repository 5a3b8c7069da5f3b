#pragma once
// The Aircraft page's rows: every aircraft some source heard in the last five minutes, its
// frames per minute from each source, the ratio of receiver 1 to receiver 2, the receivers'
// signal levels where they measure one, and who hears it; the summary line above them; and the rows
// as CSV.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/comparison/aircraft_tally.h"

namespace quorvex {

inline constexpr std::int64_t kAircraftTableSeconds = 300;
// Address, frames per minute from each source, ratio, the two levels, last heard, who hears,
// the levels' median difference.
inline constexpr std::size_t kAircraftTableColumns = 10;
// Settings files of versions without the level difference hold one width fewer.
inline constexpr std::size_t kOlderAircraftTableColumns = 9;

enum class Hearing : std::uint8_t { Both, Only1, Only2, FeedOnly };

// "both", "only 1", "only 2", "feed only".
std::string_view HearingText(Hearing hearing);

struct AircraftTableRow {
    std::uint32_t Address = 0;
    std::array<std::uint32_t, kSourceCount> PerMinute{};  // frames in the last minute
    std::optional<double> Ratio;  // receiver 1 / receiver 2 per minute, when both heard it
    std::array<std::optional<float>, 2> Level;  // receivers' mean signal level, dBFS
    // The median level difference of its twins (receiver 2 - receiver 1, dB), from
    // kTallyMinDeltas compared twins on.
    std::optional<double> DeltaDb;
    std::int64_t SecondsSinceHeard = 0;
    Hearing Who = Hearing::Both;  // by the last five minutes of each receiver

    bool operator==(const AircraftTableRow&) const = default;
};

// The rows after the tally's Tick(nowSecond), in no particular order; `rows` is refilled.
void FillAircraftTable(const AircraftTally& tally, std::int64_t nowSecond,
                       std::vector<AircraftTableRow>& rows);

struct AircraftSummary {
    int Both = 0;
    int Only1 = 0;
    int Only2 = 0;
    int FeedOnly = 0;
    std::optional<double> MedianRatio;  // over the rows that have a ratio
    bool operator==(const AircraftSummary&) const = default;
};

AircraftSummary Summarize(std::span<const AircraftTableRow> rows);
// The counts of Summarize(rows) of FillAircraftTable(tally, nowSecond), without the median
// ratio, and without making the rows: the rows of aircraft no source heard within the table's
// five minutes are not read.
AircraftSummary CountHearing(const AircraftTally& tally, std::int64_t nowSecond);
// The line above the table; `decimal` is the locale's separator.
std::string SummaryText(const AircraftSummary& summary, std::string_view decimal);

// The line that says how many aircraft the tally dropped at its bound; empty when none.
std::string DroppedText(const AircraftTally& tally);

// "4840D6".
std::string AddressText(std::uint32_t address);

// The header and the rows in the order given; the level difference is the last column.
std::string AircraftTableCsv(std::span<const AircraftTableRow> rows);

}  // namespace quorvex
