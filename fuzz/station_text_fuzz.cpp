// The station text parser on arbitrary text.
//
// What must hold:
// - an accepted text is at most kMaxStationText characters and gives a finite latitude
//   within ±90 and a longitude within ±180;
// - the two numbers written back as "LAT,LON" (17 digits) parse to the same values.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "core/positions/station_text.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "station_text_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<quorvex::LatLon> station = quorvex::ParseStation(text);
    if (!station) return 0;
    Check(text.size() <= quorvex::kMaxStationText, "a text over the length accepted");
    Check(std::isfinite(station->lat) && std::isfinite(station->lon), "a number that is none");
    Check(std::abs(station->lat) <= 90 && std::abs(station->lon) <= 180, "out of range");
    char again[64];
    std::snprintf(again, sizeof again, "%.17g,%.17g", station->lat, station->lon);
    Check(quorvex::ParseStation(again) == station, "written back it parses otherwise");
    return 0;
}
