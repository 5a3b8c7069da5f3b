#include "core/positions/geo.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvex {
namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

}  // namespace

double RangeNm(LatLon from, LatLon to) {
    const double lat1 = from.lat * kRadiansPerDegree;
    const double lat2 = to.lat * kRadiansPerDegree;
    const double sinHalfLat = std::sin((lat2 - lat1) / 2);
    const double sinHalfLon = std::sin((to.lon - from.lon) * kRadiansPerDegree / 2);
    const double h =
        sinHalfLat * sinHalfLat + std::cos(lat1) * std::cos(lat2) * sinHalfLon * sinHalfLon;
    // Rounding can push h a hair past 1 for antipodes.
    const double angle = 2 * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
    return angle * kEarthRadiusMetres / kNauticalMileMetres;
}

double BearingDeg(LatLon from, LatLon to) {
    const double lat1 = from.lat * kRadiansPerDegree;
    const double lat2 = to.lat * kRadiansPerDegree;
    const double dLon = (to.lon - from.lon) * kRadiansPerDegree;
    const double y = std::sin(dLon) * std::cos(lat2);
    const double x =
        std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLon);
    if (x == 0 && y == 0) return 0;
    const double degrees = std::atan2(y, x) / kRadiansPerDegree;
    // fmod keeps -0 and a hair below 0 from coming out as 360.
    const double bearing = std::fmod(degrees + 360.0, 360.0);
    return bearing >= 360.0 ? 0.0 : bearing;
}

}  // namespace quorvex
