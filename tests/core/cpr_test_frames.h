#pragma once
// Position frames built for the tests by an encoder of their own, written from the published
// encoding formulas and independent of the decoder: NL by its closed formula rather than
// the decoder's table, positions on the sphere by the destination-point formula rather than
// the decoder's range. Used where no published frame shows the case (southern and western
// hemispheres, the poles, 180 degrees of longitude, zone edges, exact distances).

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "core/positions/cpr.h"
#include "core/positions/geo.h"

namespace quorvex::test {

inline double PositiveMod(double x, double y) {
    return x - y * std::floor(x / y);
}

// NL from its closed form: floor(2 pi / acos(1 - (1 - cos(pi / 30)) / cos^2(lat))).
inline int ClosedFormNl(double lat) {
    const double magnitude = std::abs(lat);
    if (magnitude == 0) return 59;
    if (magnitude == 87) return 2;
    if (magnitude > 87) return 1;
    const double pi = std::numbers::pi;
    const double c = std::cos(pi / 180 * magnitude);
    return static_cast<int>(std::floor(2 * pi / std::acos(1 - (1 - std::cos(pi / 30)) / (c * c))));
}

// The latitude where NL falls from `nl` to nl - 1.
inline double NlTransition(int nl) {
    const double pi = std::numbers::pi;
    return 180 / pi * std::acos(std::sqrt((1 - std::cos(pi / 30)) / (1 - std::cos(2 * pi / nl))));
}

inline CprFrame EncodeCpr(LatLon p, bool odd, bool surface = false) {
    const double span = surface ? 90.0 : 360.0;
    const double scale = 131072.0;
    const int i = odd ? 1 : 0;
    const double dLat = span / (60 - i);
    const double yz = std::floor(scale * PositiveMod(p.lat, dLat) / dLat + 0.5);
    const double rlat = dLat * (yz / scale + std::floor(p.lat / dLat));
    const double dLon = span / std::max(ClosedFormNl(rlat) - i, 1);
    const double xz = std::floor(scale * PositiveMod(p.lon, dLon) / dLon + 0.5);
    return {odd, static_cast<std::uint32_t>(yz) % 131072, static_cast<std::uint32_t>(xz) % 131072};
}

// A DF 17 frame of type code `tc` carrying `cpr` and the 12-bit altitude field; the parity
// bytes are left zero (the residual of a good frame).
inline std::array<std::uint8_t, 14> PositionFrame(std::uint32_t address, int tc, CprFrame cpr,
                                                  std::uint16_t altitudeField = 0xC38) {
    std::array<std::uint8_t, 14> f{};
    f[0] = 0x8D;
    f[1] = static_cast<std::uint8_t>(address >> 16);
    f[2] = static_cast<std::uint8_t>(address >> 8);
    f[3] = static_cast<std::uint8_t>(address);
    // ME bits: TC 5, status 3, altitude 12, time 1, format 1, latitude 17, longitude 17.
    std::uint64_t me = std::uint64_t(tc) << 51 | std::uint64_t(altitudeField & 0xFFF) << 36 |
                       std::uint64_t(cpr.odd) << 34 | std::uint64_t(cpr.lat) << 17 | cpr.lon;
    for (int b = 0; b < 7; ++b) f[4 + b] = static_cast<std::uint8_t>(me >> (48 - 8 * b));
    return f;
}

// The point `nm` nautical miles from `from` on the initial bearing `degrees` (sphere of
// 6371 km).
inline LatLon Destination(LatLon from, double degrees, double nm) {
    const double pi = std::numbers::pi;
    const double rad = pi / 180;
    const double angle = nm * 1852.0 / 6371000.0;
    const double lat1 = from.lat * rad;
    const double bearing = degrees * rad;
    const double lat2 = std::asin(std::sin(lat1) * std::cos(angle) +
                                  std::cos(lat1) * std::sin(angle) * std::cos(bearing));
    const double lon2 =
        from.lon * rad + std::atan2(std::sin(bearing) * std::sin(angle) * std::cos(lat1),
                                    std::cos(angle) - std::sin(lat1) * std::sin(lat2));
    return {lat2 / rad, PositiveMod(lon2 / rad + 180, 360) - 180};
}

}  // namespace quorvex::test
