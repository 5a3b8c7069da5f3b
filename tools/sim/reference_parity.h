#pragma once
// The Mode S parity as the simulator computes it: long division by the generator polynomial
// 1FFF409, one bit at a time, with nothing taken from core/. Frames the simulator sends and
// the tests' expected values are built with it, so a fault in the program's table-driven
// parity shows as a disagreement instead of being copied into the ground truth. Whatever
// the simulator encodes later (positions, messages) stays independent of the program's
// decoder in the same way: written here from the standard, never calling core/'s decoding.

#include <cstdint>
#include <span>

namespace quorvex::sim {

// The 24 parity bits of 4 (short frame) or 11 (long frame) data bytes: the remainder of the
// data times x^24 divided by 1FFF409. 0 for any other byte count.
std::uint32_t ReferenceParity(std::span<const std::uint8_t> data);

}  // namespace quorvex::sim
