#pragma once
// What the Coverage page shows and exports besides the plot: the ring table's cells, the
// summary lines of an altitude band, and the ring table as CSV. Ranges are in whole NM and
// bearings in whole degrees, as a person reads them off a map.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/comparison/coverage.h"

namespace quorvex {

// "62 % (58–66)": the share and its 95 % interval in whole percent; empty without a share.
std::string ShareText(const std::optional<ShareInterval>& share);

// The ring table's columns: "Ring", "by 1", "by 2", "both", "only 1", "only 2", "share 1",
// "share 2".
inline constexpr std::size_t kRingColumns = 8;
std::array<std::string, kRingColumns> RingCells(const RingRow& ring);

// One line per source and one for the decodes:
//   "Receiver 1: farthest 218 NM at 75°, 95 % within 190 NM, 1234 positions"
//   "Decodes dropped (skipped): receiver 1 12 (3), receiver 2 0 (0), feed 1"
// The ranges from the band's positions; the decodes over all altitudes.
std::string CoverageSummaryText(const Coverage& coverage, AltitudeBand band);

// The line the page shows while no station is set.
inline constexpr std::string_view kNoStationText =
    "Range and bearing need the station's location. Enter its latitude and longitude under "
    "Station and press Apply, or start Quorvex with --station LAT,LON.";

// The ring table as CSV, all altitudes: from and to (NM), the frames heard by 1, by 2, by
// both, by 1 only, by 2 only, and each receiver's share with its 95 % interval in percent
// (one decimal; empty below kMinFramesForShare frames).
std::string RingCsvText(const Coverage& coverage);

// The station fields of the Coverage page: latitude and longitude in decimal degrees, the
// maximum range in NM. Either a station or the words saying what is wrong.
struct StationFields {
    std::optional<LatLon> station;
    double maxRangeNm = 0;
    std::string error;
};
StationFields ReadStationFields(std::string_view lat, std::string_view lon,
                                std::string_view maxRangeNm);

}  // namespace quorvex
