#pragma once
// The simulated sky: aircraft around the station with their addresses, callsigns, squawks
// and tracks, how well each of the three listeners hears each of them and how strong each
// transmits.

#include <cstdint>
#include <vector>

#include "tools/sim/aircraft.h"
#include "tools/sim/station.h"

namespace quorvex::sim {

struct SkySettings {
    std::uint64_t seed = 1;
    int aircraft = 40;
    // Mean probability, per listener, that a frame of an aircraft it can hear is heard; each
    // aircraft's within 0.15 of it, and 1 for every aircraft when it is 1.
    double hear[kListenerCount] = {0.9, 0.7, 0.8};
    // Share of distant aircraft that only one of the two receivers hears (alternately
    // receiver 1 and receiver 2); the feed's decoder may hear them either way.
    double distantShare = 0.1;
    Station station;
};

// How far from the station aircraft are put, and where they turn back towards it.
inline constexpr double kSkyRadius = 245;  // nautical miles
inline constexpr double kTurnBackRange = 240;

// Every tenth aircraft (the second, the twelfth, ...) is a non-transponder device that only
// sends DF 18 squitters. Addresses are distinct and never zero.
std::vector<Aircraft> MakeSky(const SkySettings& settings);

// Moves the aircraft on by `seconds`, a second at a time: straight legs; outbound beyond
// kTurnBackRange it turns at 1.5 degrees a second until it heads back within 30 degrees of
// the station. It levels off at its lowest and highest altitudes.
void Fly(Aircraft& aircraft, double seconds, const Station& station);

}  // namespace quorvex::sim
