#pragma once
// Compact position reporting: the 17-bit latitude and longitude of an extended squitter
// position message turned into degrees.
//
// An even frame divides the latitudes into 60 zones, an odd frame into 59; the longitude
// zones follow from NL, the number of longitude zones at a latitude. Airborne zones span 360
// degrees, surface zones 90, so a surface position is known only up to a quarter of the
// globe until a reference picks the quarter. Pure functions; no state.

#include <cstdint>
#include <optional>

#include "core/positions/geo.h"

namespace quorvex {

inline constexpr std::uint32_t kCprMax = 1u << 17;  // the CPR fields count 0 to 2^17 - 1

struct CprFrame {
    bool odd = false;
    std::uint32_t lat = 0;  // 17 bits
    std::uint32_t lon = 0;  // 17 bits
};

// The number of longitude zones at `lat` degrees: 59 at the equator down to 1 beyond 87
// degrees, the same for north and south.
int CprNl(double lat);

enum class CprPairOutcome : std::uint8_t {
    Decoded,
    // The two frames' latitudes lie in different NL zones: the aircraft crossed a zone edge
    // between them, and the pair gives no position. Nothing is wrong with the frames.
    ZoneMismatch,
    // A latitude beyond ±90 degrees: one of the frames is wrong.
    BadLatitude,
};

struct CprPairResult {
    CprPairOutcome outcome = CprPairOutcome::BadLatitude;
    LatLon position;  // meaningful when Decoded
};

// Global airborne decoding of an even and an odd frame; the position is that of the newer
// one. Longitudes come out in [-180, 180).
CprPairResult DecodeAirbornePair(const CprFrame& even, const CprFrame& odd, bool oddIsNewer);

// Global surface decoding: as the airborne one over 90-degree zones; of the solutions
// (northern or southern latitude, four longitudes 90 degrees apart) the one nearest
// `reference` is taken.
CprPairResult DecodeSurfacePair(const CprFrame& even, const CprFrame& odd, bool oddIsNewer,
                                LatLon reference);

// Local decoding of one frame: the position in the zone centred on `reference`, so the
// right one when the aircraft is less than half a zone (about 180 NM airborne, 45 NM on the
// surface) from it. Nothing when the latitude comes out beyond ±90. How far from the
// reference a result may be trusted is the caller's rule.
std::optional<LatLon> DecodeAirborneLocal(const CprFrame& frame, LatLon reference);
std::optional<LatLon> DecodeSurfaceLocal(const CprFrame& frame, LatLon reference);

}  // namespace quorvex
