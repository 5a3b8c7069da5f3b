#pragma once
// Positions on the earth, taken as a sphere: the great-circle range between two positions in
// nautical miles and the initial bearing from one to the other.

namespace quorvex {

struct LatLon {
    double lat = 0;  // degrees, north positive
    double lon = 0;  // degrees, east positive

    friend bool operator==(const LatLon&, const LatLon&) = default;
};

inline constexpr double kEarthRadiusMetres = 6371000.0;
inline constexpr double kNauticalMileMetres = 1852.0;

// The great-circle distance (haversine), in nautical miles.
double RangeNm(LatLon from, LatLon to);

// The initial bearing of the great circle from `from` to `to`, 0 to below 360 degrees
// clockwise from true north; 0 when the two coincide.
double BearingDeg(LatLon from, LatLon to);

}  // namespace quorvex
