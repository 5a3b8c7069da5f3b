#include "tools/sim/cpr_encoder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvex::sim {
namespace {

constexpr double kScale = 131072.0;  // 2^17

double PositiveModulo(double x, double y) {
    return x - y * std::floor(x / y);
}

// floor(2^17 * MOD(x, zone) / zone + 0.5): 2^17 itself, at the far edge of a zone, wraps
// to 0 once the field is cut to 17 bits, as the standard has it.
double ZoneFraction(double x, double zone) {
    return std::floor(kScale * PositiveModulo(x, zone) / zone + 0.5);
}

}  // namespace

int LongitudeZones(double latitude) {
    const double lat = std::fabs(latitude);
    if (lat < 1e-9) return 59;
    if (lat > 87.0) return 1;
    if (lat == 87.0) return 2;
    constexpr double kPi = std::numbers::pi;
    constexpr int kZones = 15;  // NZ: latitude zones between the equator and a pole
    const double a = 1.0 - std::cos(kPi / (2.0 * kZones));
    const double b = std::cos(kPi / 180.0 * lat);
    return static_cast<int>(std::floor(2.0 * kPi / std::acos(1.0 - a / (b * b))));
}

CprFields EncodeAirbornePosition(double latitude, double longitude, bool odd) {
    const int i = odd ? 1 : 0;
    const double latZone = 360.0 / (60 - i);
    const double yz = ZoneFraction(latitude, latZone);
    // The longitude zones follow the latitude as a receiver will decode it (Rlat).
    const double decodedLat = latZone * (yz / kScale + std::floor(latitude / latZone));
    const double lonZone = 360.0 / std::max(LongitudeZones(decodedLat) - i, 1);
    const double xz = ZoneFraction(longitude, lonZone);
    return {static_cast<std::uint32_t>(yz) & 0x1FFFF, static_cast<std::uint32_t>(xz) & 0x1FFFF};
}

}  // namespace quorvex::sim
