#pragma once
// The receiving station's location as typed on the command line: "LAT,LON" in decimal
// degrees, such as "52.3,-4.5". White space around either number is allowed; a latitude
// beyond ±90, a longitude beyond ±180, anything that is no plain decimal number (junk, a
// second comma, "nan", "inf", hexadecimal) and texts longer than kMaxStationText characters
// are refused.

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/positions/geo.h"

namespace quorvex {

inline constexpr std::size_t kMaxStationText = 64;

std::optional<LatLon> ParseStation(std::string_view text);

// One decimal number filling `text` but for surrounding blanks: digits, at most one '.', an
// optional leading sign and exponent; never "inf", "nan" or hexadecimal.
std::optional<double> ParseDecimal(std::string_view text);

}  // namespace quorvex
