#include "tools/sim/station.h"

#include <cmath>
#include <numbers>

namespace quorvex::sim {
namespace {

constexpr double kRadians = std::numbers::pi / 180.0;
constexpr double kEarthRadiusMiles = kEarthRadiusMetres / kMetresPerNauticalMile;

double Degrees360(double degrees) {
    const double d = std::fmod(degrees, 360.0);
    return d < 0 ? d + 360.0 : d;
}

}  // namespace

RangeBearing FromStation(const Station& station, double latitude, double longitude) {
    const double lat1 = station.latitude * kRadians;
    const double lat2 = latitude * kRadians;
    const double dLon = (longitude - station.longitude) * kRadians;
    const double dLat = lat2 - lat1;
    // Haversine: well conditioned at short ranges.
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
    const double angle = 2 * std::asin(std::sqrt(std::fmin(h, 1.0)));
    const double y = std::sin(dLon) * std::cos(lat2);
    const double x =
        std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLon);
    double bearing = Degrees360(std::atan2(y, x) / kRadians);
    if (bearing >= 360.0) bearing = 0;  // -tiny + 360 rounds up to 360
    return {angle * kEarthRadiusMiles, bearing};
}

Position PointFrom(const Station& station, double range, double bearing) {
    const double lat1 = station.latitude * kRadians;
    const double angle = range / kEarthRadiusMiles;
    const double theta = bearing * kRadians;
    const double lat2 = std::asin(std::sin(lat1) * std::cos(angle) +
                                  std::cos(lat1) * std::sin(angle) * std::cos(theta));
    const double dLon = std::atan2(std::sin(theta) * std::sin(angle) * std::cos(lat1),
                                   std::cos(angle) - std::sin(lat1) * std::sin(lat2));
    return {lat2 / kRadians, WrapLongitude(station.longitude + dLon / kRadians)};
}

double WrapLongitude(double longitude) {
    const double d = std::fmod(longitude + 180.0, 360.0);
    return (d <= 0 ? d + 360.0 : d) - 180.0;
}

int SectorOf(double bearing) {
    const int k = static_cast<int>(std::floor(Degrees360(bearing) / 10.0));
    return k >= kSectorCount ? 0 : k;
}

bool Shadow::Covers(const RangeBearing& where) const {
    if (where.range <= beyond) return false;
    double width = Degrees360(to - from);
    if (width == 0) width = 360;  // 0-360: all around
    return Degrees360(where.bearing - from) <= width;
}

double Reach::Factor(const RangeBearing& where) const {
    for (const Shadow& shadow : shadows) {
        if (shadow.Covers(where)) return 0;
    }
    if (range <= 0) return 1;
    const double t = (where.range - 0.75 * range) / (0.25 * range);
    if (t <= 0) return 1;
    if (t >= 1) return 0;
    return 1 - t * t * (3 - 2 * t);
}

}  // namespace quorvex::sim
