#include "core/frames/mode_s_parity.h"

#include <array>

#include "core/base/hex.h"

namespace quorvex {
namespace {

// The generator 1FFF409 without its top term: the remainder is 24 bits wide.
constexpr std::uint32_t kGenerator = 0xFFF409;

// kByteTable[b]: the remainder of b * x^24 (b in the top byte of the register).
constexpr std::array<std::uint32_t, 256> MakeByteTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t r = b << 16;
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 0x800000) ? ((r << 1) ^ kGenerator) : (r << 1);
        }
        table[b] = r & 0xFFFFFF;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kByteTable = MakeByteTable();

}  // namespace

std::uint32_t ModeSParityValue(std::span<const std::uint8_t> data) {
    if (data.size() != 4 && data.size() != 11) return 0;
    std::uint32_t r = 0;
    for (const std::uint8_t byte : data) {
        r = ((r << 8) & 0xFFFFFF) ^ kByteTable[((r >> 16) ^ byte) & 0xFF];
    }
    return r;
}

std::string ModeSParity(std::span<const std::uint8_t> data) {
    const std::uint32_t parity = ModeSParityValue(data);
    std::string text(6, '0');
    for (int i = 0; i < 6; ++i) {
        text[5 - i] = kUpperHexDigits[(parity >> (4 * i)) & 0xF];
    }
    return text;
}

}  // namespace quorvex
