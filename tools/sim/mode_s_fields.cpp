#include "tools/sim/mode_s_fields.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvex::sim {
namespace {

// The 11-bit altitude count of the 25 ft coding.
std::uint16_t AltitudeSteps(double feet) {
    const double steps = std::round((std::clamp(feet, -1000.0, 50175.0) + 1000.0) / 25.0);
    return static_cast<std::uint16_t>(steps);
}

double PositiveModulo(double x, double y) {
    return x - y * std::floor(x / y);
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

int LongitudeZones(double latitude) {
    const double lat = std::fabs(latitude);
    if (lat < 1e-9) return 59;
    if (lat > 87.0) return 1;
    if (lat == 87.0) return 2;
    constexpr double kPi = std::numbers::pi;
    constexpr int kZones = 15;  // NZ: latitude zones between the equator and a pole
    const double a = 1.0 - std::cos(kPi / (2.0 * kZones));
    const double b = std::cos(kPi / 180.0 * lat);
    return static_cast<int>(std::floor(2.0 * kPi / std::acos(1.0 - a / (b * b))));
}

CprPosition EncodeAirborneCpr(double latitude, double longitude, bool odd) {
    constexpr double kScale = 131072.0;  // 2^17
    const int i = odd ? 1 : 0;
    const double latZone = 360.0 / (60 - i);
    const double yz = std::floor(kScale * PositiveModulo(latitude, latZone) / latZone + 0.5);
    // The longitude zones follow the latitude as the receiver will decode it.
    const double decodedLat = latZone * (yz / kScale + std::floor(latitude / latZone));
    const double lonZone = 360.0 / std::max(LongitudeZones(decodedLat) - i, 1);
    const double xz = std::floor(kScale * PositiveModulo(longitude, lonZone) / lonZone + 0.5);
    return {static_cast<std::uint32_t>(yz) & 0x1FFFF, static_cast<std::uint32_t>(xz) & 0x1FFFF};
}

}  // namespace quorvex::sim
