#include "core/mode_s_address.h"

namespace quorvex {
namespace {

std::uint32_t ThreeBytes(std::span<const std::uint8_t, 3> bytes) {
    return (std::uint32_t{bytes[0]} << 16) | (std::uint32_t{bytes[1]} << 8) | bytes[2];
}

}  // namespace

std::optional<FrameAddress> FrameAddressOf(std::span<const std::uint8_t> frame) {
    if (frame.size() != 7 && frame.size() != 14) return std::nullopt;
    switch (frame[0] >> 3) {
        case 11:
        case 17:
        case 18:
            // The address field follows the first byte.
            return FrameAddress{ThreeBytes(frame.subspan<1, 3>()), true};
        case 0:
        case 4:
        case 5:
        case 16:
        case 20:
        case 21:
            // The address overlays the parity: the residual spells it.
            return FrameAddress{ThreeBytes(frame.last<3>()), false};
        default:
            return std::nullopt;
    }
}

std::optional<FrameAddress> AddressOf(const DecodeResult& result) {
    if (!result.verdict.IsCounted()) return std::nullopt;
    return FrameAddressOf(result.bytes.view());
}

}  // namespace quorvex
