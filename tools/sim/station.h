#pragma once
// The station the receivers stand at: range and bearing of an aircraft from it on a sphere,
// the ten-degree sectors the ground truth counts in, and how a listener's hearing falls off
// with range and in shadowed sectors.

#include <vector>

namespace quorvex::sim {

inline constexpr double kEarthRadiusMetres = 6371000.0;
inline constexpr double kMetresPerNauticalMile = 1852.0;
inline constexpr int kSectorCount = 36;  // sector k: bearings from 10k up to 10k + 10

struct Station {
    double latitude = 52.0;  // degrees
    double longitude = 5.0;
};

struct RangeBearing {
    double range = 0;    // nautical miles, great circle
    double bearing = 0;  // degrees from true north, 0 <= bearing < 360
};

// Where (latitude, longitude) lies seen from the station.
RangeBearing FromStation(const Station& station, double latitude, double longitude);

struct Position {
    double latitude = 0;
    double longitude = 0;
};
// The point `range` nautical miles from the station on `bearing`.
Position PointFrom(const Station& station, double range, double bearing);

// The same meridian as `longitude`, in degrees from -180 (not included) to 180.
double WrapLongitude(double longitude);

int SectorOf(double bearing);

// Bearings from `from` clockwise to `to` (both included), beyond `beyond` nautical miles.
struct Shadow {
    double from = 0;
    double to = 0;
    double beyond = 0;
    bool Covers(const RangeBearing& where) const;
};

// How far a listener hears: certain out to three quarters of `range`, then falling along a
// smoothstep to nothing at `range` and beyond; nothing from a shadow.
struct Reach {
    double range = 0;  // nautical miles; 0: no limit
    std::vector<Shadow> shadows;
    // The factor on the listener's chance of hearing a frame sent from `where`.
    double Factor(const RangeBearing& where) const;
};

}  // namespace quorvex::sim
