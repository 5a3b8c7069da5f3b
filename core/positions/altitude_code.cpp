#include "core/positions/altitude_code.h"

namespace quorvex {
namespace {

constexpr std::uint16_t kQBit = 0x10;

unsigned GrayToBinary(unsigned gray) {
    unsigned binary = 0;
    for (; gray != 0; gray >>= 1) binary ^= gray;
    return binary;
}

unsigned Bit(std::uint16_t value, int position) {
    return (value >> position) & 1u;
}

}  // namespace

std::optional<int> GillhamAltitude(std::uint16_t code) {
    // D1 D2 D4 A1 A2 A4 B1 B2 B4 count the 500 ft steps, C1 C2 C4 the 100 ft steps within.
    const unsigned fiveHundreds = GrayToBinary((code >> 3) & 0x1FF);
    unsigned hundreds = GrayToBinary(code & 0x7);
    // The 100 ft code takes five of its eight values: 1, 2, 3, 4 and 7 (which counts as 5).
    if (hundreds == 0 || hundreds == 5 || hundreds == 6) return std::nullopt;
    if (hundreds == 7) hundreds = 5;
    // The 100 ft code runs backwards in every other 500 ft step.
    if (fiveHundreds % 2 == 1) hundreds = 6 - hundreds;
    return static_cast<int>(fiveHundreds * 500 + hundreds * 100) - 1300;
}

std::optional<int> AltitudeFromField(std::uint16_t field) {
    field &= 0xFFF;
    if (field == 0) return std::nullopt;
    if (field & kQBit) {
        const int count = ((field >> 5) << 4) | (field & 0xF);
        return count * 25 - 1000;
    }
    // Field bit positions, highest first: C1 11, A1 10, C2 9, A2 8, C4 7, A4 6, B1 5, B2 3,
    // D2 2, B4 1, D4 0.
    const unsigned code = Bit(field, 2) << 10 | Bit(field, 0) << 9 |                       // D2 D4
                          Bit(field, 10) << 8 | Bit(field, 8) << 7 | Bit(field, 6) << 6 |  // A
                          Bit(field, 5) << 5 | Bit(field, 3) << 4 | Bit(field, 1) << 3 |   // B
                          Bit(field, 11) << 2 | Bit(field, 9) << 1 | Bit(field, 7);        // C
    return GillhamAltitude(static_cast<std::uint16_t>(code));
}

}  // namespace quorvex
