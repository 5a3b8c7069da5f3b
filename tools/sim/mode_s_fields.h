#pragma once
// The Mode S fields whose encoding is more than a plain binary number: altitudes, the
// identity (squawk) code and callsign characters (positions: tools/sim/cpr_encoder.h).

#include <cstdint>
#include <string_view>

namespace quorvex::sim {

// An altitude in feet as the 13-bit AC field of DF 0, 4, 16 and 20: M bit 0 (feet), Q bit 1
// (25 ft steps), clamped to the -1000 to 50175 ft that this coding covers.
std::uint16_t AltitudeCode13(double feet);

// The same altitude as the 12-bit field of an airborne position squitter (Q bit 1).
std::uint16_t AltitudeCode12(double feet);

// A squawk written as four octal digits (01200 for "1200") as the 13-bit ID field of DF 5
// and 21: C1 A1 C2 A2 C4 A4 X B1 D1 B2 D2 B4 D4.
std::uint16_t IdentityCode13(int squawk);

// Eight callsign characters as 48 bits, six per character: 'A'-'Z' 1-26, '0'-'9' 48-57;
// anything else becomes a space (32). Shorter text is blank padded.
std::uint64_t CallsignCode(std::string_view callsign);

}  // namespace quorvex::sim
