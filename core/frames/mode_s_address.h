#pragma once
// The aircraft address a Mode S frame names: in the address field of DF 11, 17 and 18, or
// overlaid on the parity of DF 0, 4, 5, 16, 20 and 21, where the residual spells it.

#include <cstdint>
#include <optional>
#include <span>

#include "core/frames/frame_decoder.h"

namespace quorvex {

struct FrameAddress {
    std::uint32_t address = 0;  // 24 bits
    // True when the frame carries the address in its own field (DF 11, 17, 18); false when
    // the address is what the residual came out as, which one corrupted bit also produces.
    bool announced = false;
};

// The address of a frame's bytes after the residual step (7 or 14), by its DF alone; no
// parity is judged here. Nothing for other DFs or other lengths. Inline: on the packet path
// an optional returned through memory costs more than the lookup.
inline std::optional<FrameAddress> FrameAddressOf(std::span<const std::uint8_t> frame) {
    if (frame.size() != 7 && frame.size() != 14) return std::nullopt;
    const auto threeBytes = [](std::span<const std::uint8_t, 3> bytes) {
        return (std::uint32_t{bytes[0]} << 16) | (std::uint32_t{bytes[1]} << 8) | bytes[2];
    };
    switch (frame[0] >> 3) {
        case 11:
        case 17:
        case 18:
            // The address field follows the first byte.
            return FrameAddress{threeBytes(frame.subspan<1, 3>()), true};
        case 0:
        case 4:
        case 5:
        case 16:
        case 20:
        case 21:
            // The address overlays the parity: the residual spells it.
            return FrameAddress{threeBytes(frame.last<3>()), false};
        default:
            return std::nullopt;
    }
}

// The address of a frame the decoder counted; nothing for any other verdict.
inline std::optional<FrameAddress> AddressOf(const DecodeResult& result) {
    if (!result.verdict.IsCounted()) return std::nullopt;
    return FrameAddressOf(result.bytes.view());
}

}  // namespace quorvex
