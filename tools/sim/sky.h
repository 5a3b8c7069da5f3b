#pragma once
// The simulated sky: aircraft around one point with their addresses, callsigns, squawks and
// motion, and how well each of the three listeners hears each of them.

#include <cstdint>
#include <vector>

#include "tools/sim/aircraft.h"

namespace quorvex::sim {

struct SkySettings {
    std::uint64_t seed = 1;
    int aircraft = 40;
    // Mean probability, per listener, that a frame of an aircraft it can hear is heard.
    double hear[kListenerCount] = {0.9, 0.7, 0.8};
    // Share of distant aircraft that only one of the two receivers hears (alternately
    // receiver 1 and receiver 2); the feed's decoder may hear them either way.
    double distantShare = 0.1;
};

// Every tenth aircraft (the second, the twelfth, ...) is a non-transponder device that only
// sends DF 18 squitters. Addresses are distinct and never zero.
std::vector<Aircraft> MakeSky(const SkySettings& settings);

// Moves the aircraft on by `seconds`; it turns back at the edges of the sky's area and
// levels off at its lowest and highest altitudes.
void Fly(Aircraft& aircraft, double seconds);

}  // namespace quorvex::sim
