#pragma once
// Airborne Compact Position Reporting as an aircraft encodes it: the 17-bit latitude (YZ)
// and longitude (XZ) of the even or odd format, written from the standard's formulas and
// sharing nothing with the program's decoder, so a decoder can be tested against it.

#include <cstdint>

namespace quorvex::sim {

struct CprFields {
    std::uint32_t yz = 0;  // latitude within its zone, 17 bits
    std::uint32_t xz = 0;  // longitude within its zone, 17 bits
    bool operator==(const CprFields&) const = default;
};

// `latitude` and `longitude` in degrees (south and west negative).
CprFields EncodeAirbornePosition(double latitude, double longitude, bool odd);

// The number of longitude zones at `latitude` (NL), 1 to 59.
int LongitudeZones(double latitude);

}  // namespace quorvex::sim
