#pragma once
// The position fields of a 112-bit extended squitter (DF 17, or DF 18 with a control field
// of the extended squitter layout): type code, CPR frame and altitude.
//
// Type codes 9 to 18 are airborne positions with barometric altitude, 20 to 22 airborne
// positions with GNSS height, 5 to 8 surface positions (no altitude). The altitude field of
// 20 to 22 is coded like the barometric one (25 ft steps with Q set, else Gillham) and read
// so; what differs is its datum: height above the WGS-84 ellipsoid, not pressure altitude.
// Some decoders read it as metres; the message layout codes both the same way.

#include <cstdint>
#include <optional>
#include <span>

#include "core/positions/cpr.h"

namespace quorvex {

enum class AltitudeKind : std::uint8_t { None, Barometric, GnssHeight };

struct PositionMessage {
    int typeCode = 0;
    bool surface = false;
    CprFrame cpr;
    std::optional<int> altitudeFt;  // none on the surface and when the field says none
    AltitudeKind altitudeKind = AltitudeKind::None;
};

// The position message in `frame` (14 bytes as DecodeResult.bytes holds them; the parity
// is not judged here), or nothing for any other frame.
std::optional<PositionMessage> ReadPositionMessage(std::span<const std::uint8_t> frame);

// Whether ReadPositionMessage would give a message: the cheap test of DF, control field and
// type code that lets every other frame pass without more work.
bool MayBePositionMessage(std::span<const std::uint8_t> frame);

}  // namespace quorvex
