#pragma once
// The Mode S parity: 24 bits over the data bytes of a frame, generator polynomial 1FFF409.

#include <cstdint>
#include <span>
#include <string>

namespace quorvex {

// The 24-bit parity of 4 (short frame) or 11 (long frame) data bytes; 0 for any other count.
std::uint32_t ModeSParityValue(std::span<const std::uint8_t> data);

// The same parity as six upper-case hexadecimal digits; "000000" for any other byte count.
std::string ModeSParity(std::span<const std::uint8_t> data);

}  // namespace quorvex
