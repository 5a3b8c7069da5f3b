#pragma once
// A receiver's airborne CPR decoding, written for the tests from the standard's formulas,
// to read back what the simulator encoded: global from an even and an odd position, local
// near a reference.

#include <cmath>
#include <optional>

#include "tools/sim/cpr_encoder.h"
#include "tools/sim/station.h"

namespace quorvex::test {

using sim::CprFields;
using sim::LongitudeZones;
using sim::Position;

inline constexpr double kCprScale = 131072.0;

inline double CprModulo(double x, double y) {
    return x - y * std::floor(x / y);
}

inline double WrapLongitude(double lon) {
    return lon >= 180.0 ? lon - 360.0 : lon;
}

// The even position of a pair sent from (nearly) one place; nothing when the two latitudes
// lie in different longitude zone counts.
inline std::optional<Position> DecodeGlobal(CprFields even, CprFields odd) {
    const double j = std::floor((59.0 * even.yz - 60.0 * odd.yz) / kCprScale + 0.5);
    double latEven = 6.0 * (CprModulo(j, 60) + even.yz / kCprScale);
    double latOdd = 360.0 / 59 * (CprModulo(j, 59) + odd.yz / kCprScale);
    if (latEven >= 270) latEven -= 360;
    if (latOdd >= 270) latOdd -= 360;
    const int nl = LongitudeZones(latEven);
    if (nl != LongitudeZones(latOdd)) return std::nullopt;
    const double m = std::floor((even.xz * (nl - 1.0) - odd.xz * nl) / kCprScale + 0.5);
    const int zones = std::max(nl, 1);
    const double lon = 360.0 / zones * (CprModulo(m, zones) + even.xz / kCprScale);
    return Position{latEven, WrapLongitude(lon)};
}

// Within half a zone (some 180 NM) of `reference`.
inline Position DecodeLocal(CprFields fields, bool odd, Position reference) {
    const int i = odd ? 1 : 0;
    const double latZone = 360.0 / (60 - i);
    const double y = fields.yz / kCprScale;
    const double j = std::floor(reference.latitude / latZone) +
                     std::floor(0.5 + CprModulo(reference.latitude, latZone) / latZone - y);
    const double lat = latZone * (j + y);
    const double lonZone = 360.0 / std::max(LongitudeZones(lat) - i, 1);
    const double x = fields.xz / kCprScale;
    const double m = std::floor(reference.longitude / lonZone) +
                     std::floor(0.5 + CprModulo(reference.longitude, lonZone) / lonZone - x);
    return {lat, CprModulo(lonZone * (m + x) + 180.0, 360.0) - 180.0};
}

}  // namespace quorvex::test
