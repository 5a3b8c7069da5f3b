#pragma once
// Hexadecimal digits in and out, by table: the decoder converts every pair of a frame.

#include <array>
#include <cstdint>

namespace quorvex {

namespace hex_detail {
constexpr std::array<std::int8_t, 256> MakeDigitTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& v : table) v = -1;
    for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<std::int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<std::int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<std::int8_t>(c - 'a' + 10);
    return table;
}
inline constexpr std::array<std::int8_t, 256> kDigitValue = MakeDigitTable();
}  // namespace hex_detail

inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// The value of one hexadecimal digit (either case), or -1.
constexpr int HexDigitValue(char c) {
    return hex_detail::kDigitValue[static_cast<unsigned char>(c)];
}

// The byte that two hexadecimal digits spell, or -1 when either is no digit.
constexpr int HexPairValue(char high, char low) {
    const int h = HexDigitValue(high);
    const int l = HexDigitValue(low);
    return (h | l) < 0 ? -1 : (h << 4) | l;
}

}  // namespace quorvex
