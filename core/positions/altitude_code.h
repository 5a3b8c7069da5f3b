#pragma once
// The 12-bit altitude field of an airborne position message, in feet.
//
// The bits, first to last: C1 A1 C2 A2 C4 A4 B1 Q B2 D2 B4 D4. With Q set the other eleven
// bits are a binary count of 25 ft above -1000 ft; without it they are the Gillham code of
// Mode C replies, 100 ft steps from -1200 ft (D1, the code's highest bit, has no place in the
// field and counts as 0).

#include <cstdint>
#include <optional>

namespace quorvex {

// Feet, or nothing for a field of all zeros (no altitude) and for a Gillham code that no
// altitude has.
std::optional<int> AltitudeFromField(std::uint16_t field);

// The Gillham code in its usual order D1 D2 D4 A1 A2 A4 B1 B2 B4 C1 C2 C4 (D1 the highest of
// 12 bits) in feet; nothing for an invalid code.
std::optional<int> GillhamAltitude(std::uint16_t code);

}  // namespace quorvex
