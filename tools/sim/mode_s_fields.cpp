#include "tools/sim/mode_s_fields.h"

#include <algorithm>
#include <cmath>

namespace quorvex::sim {
namespace {

// The 11-bit altitude count of the 25 ft coding.
std::uint16_t AltitudeSteps(double feet) {
    const double steps = std::round((std::clamp(feet, -1000.0, 50175.0) + 1000.0) / 25.0);
    return static_cast<std::uint16_t>(steps);
}

}  // namespace

std::uint16_t AltitudeCode13(double feet) {
    const std::uint16_t n = AltitudeSteps(feet);
    // Bits from the left: N10..N5, M (0), N4, Q (1), N3..N0.
    return static_cast<std::uint16_t>(((n & 0x7E0) << 2) | ((n & 0x010) << 1) | 0x010 |
                                      (n & 0x00F));
}

std::uint16_t AltitudeCode12(double feet) {
    const std::uint16_t n = AltitudeSteps(feet);
    // Bits from the left: N10..N4, Q (1), N3..N0.
    return static_cast<std::uint16_t>(((n & 0x7F0) << 1) | 0x010 | (n & 0x00F));
}

std::uint16_t IdentityCode13(int squawk) {
    const int a = (squawk >> 9) & 7;
    const int b = (squawk >> 6) & 7;
    const int c = (squawk >> 3) & 7;
    const int d = squawk & 7;
    const auto bit = [](int digit, int weight) { return (digit >> weight) & 1; };
    const int code = bit(c, 0) << 12 | bit(a, 0) << 11 | bit(c, 1) << 10 | bit(a, 1) << 9 |
                     bit(c, 2) << 8 | bit(a, 2) << 7 | bit(b, 0) << 5 | bit(d, 0) << 4 |
                     bit(b, 1) << 3 | bit(d, 1) << 2 | bit(b, 2) << 1 | bit(d, 2);
    return static_cast<std::uint16_t>(code);
}

std::uint64_t CallsignCode(std::string_view callsign) {
    std::uint64_t code = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const char c = i < callsign.size() ? callsign[i] : ' ';
        std::uint64_t six = 32;
        if (c >= 'A' && c <= 'Z') six = static_cast<std::uint64_t>(c - 'A' + 1);
        if (c >= '0' && c <= '9') six = static_cast<std::uint64_t>(c);
        code = (code << 6) | six;
    }
    return code;
}

}  // namespace quorvex::sim
