#pragma once
// The aircraft address a Mode S frame names: in the address field of DF 11, 17 and 18, or
// overlaid on the parity of DF 0, 4, 5, 16, 20 and 21, where the residual spells it.

#include <cstdint>
#include <optional>
#include <span>

#include "core/frame_decoder.h"

namespace quorvex {

struct FrameAddress {
    std::uint32_t address = 0;  // 24 bits
    // True when the frame carries the address in its own field (DF 11, 17, 18); false when
    // the address is what the residual came out as, which one corrupted bit also produces.
    bool announced = false;
};

// The address of a frame's bytes after the residual step (7 or 14), by its DF alone; no
// parity is judged here. Nothing for other DFs or other lengths.
std::optional<FrameAddress> FrameAddressOf(std::span<const std::uint8_t> frame);

// The address of a frame the decoder counted; nothing for any other verdict.
std::optional<FrameAddress> AddressOf(const DecodeResult& result);

}  // namespace quorvex
