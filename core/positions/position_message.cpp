#include "core/positions/position_message.h"

#include "core/positions/altitude_code.h"

namespace quorvex {
namespace {

constexpr std::size_t kLongFrame = 14;
constexpr int kDfExtendedSquitter = 17;
constexpr int kDfNonTransponder = 18;

// DF 18's control field: 0 and 1 are ADS-B, 2 and 5 fine TIS-B, 6 ADS-R, all in the
// extended squitter layout; 3 (coarse TIS-B) and the rest are not.
bool HasSquitterLayout(std::uint8_t first) {
    const int df = first >> 3;
    if (df == kDfExtendedSquitter) return true;
    if (df != kDfNonTransponder) return false;
    const int cf = first & 0x7;
    return cf <= 2 || cf == 5 || cf == 6;
}

bool IsSurfaceType(int tc) {
    return tc >= 5 && tc <= 8;
}

bool IsAirborneType(int tc) {
    return (tc >= 9 && tc <= 18) || (tc >= 20 && tc <= 22);
}

}  // namespace

bool MayBePositionMessage(std::span<const std::uint8_t> frame) {
    if (frame.size() != kLongFrame || !HasSquitterLayout(frame[0])) return false;
    const int tc = frame[4] >> 3;
    return IsSurfaceType(tc) || IsAirborneType(tc);
}

std::optional<PositionMessage> ReadPositionMessage(std::span<const std::uint8_t> frame) {
    if (!MayBePositionMessage(frame)) return std::nullopt;
    PositionMessage message;
    message.typeCode = frame[4] >> 3;
    const int tc = message.typeCode;
    if (IsSurfaceType(tc)) {
        message.surface = true;
    } else {
        const auto field = static_cast<std::uint16_t>(frame[5] << 4 | frame[6] >> 4);
        message.altitudeFt = AltitudeFromField(field);
        if (message.altitudeFt) {
            message.altitudeKind = tc <= 18 ? AltitudeKind::Barometric : AltitudeKind::GnssHeight;
        }
    }
    // Both layouts end in the same bits: format flag, 17 bits of latitude, 17 of longitude.
    message.cpr.odd = (frame[6] >> 2) & 1;
    message.cpr.lat =
        static_cast<std::uint32_t>((frame[6] & 0x3) << 15 | frame[7] << 7 | frame[8] >> 1);
    message.cpr.lon =
        static_cast<std::uint32_t>((frame[8] & 0x1) << 16 | frame[9] << 8 | frame[10]);
    return message;
}

}  // namespace quorvex
