#pragma once
// Mode S frames as the aircraft of the sky send them, with the address/parity field built as
// the standard builds it: DF 0, 4, 5, 20 and 21 put parity xor address there (the residual
// a receiver computes is the address), DF 11 parity xor interrogator code, DF 17 and 18
// the plain parity.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "tools/sim/aircraft.h"
#include "tools/sim/frame_kind.h"
#include "tools/sim/sim_random.h"

namespace quorvex::sim {

struct ModeSFrame {
    std::array<std::uint8_t, 14> bytes{};
    std::size_t size = 0;  // 7 (56 bits) or 14 (112 bits)

    int Df() const { return bytes[0] >> 3; }
    std::span<const std::uint8_t> Data() const { return {bytes.data(), size - 3}; }
    std::uint32_t ParityField() const;
    // Parity field xor the parity computed over the data: what a receiver that checks the
    // parity itself writes into the last 24 bits.
    std::uint32_t Residual() const;
    bool operator==(const ModeSFrame&) const = default;
};

// The frame of `kind` that `aircraft` sends now. DF 17 becomes DF 18 for a non-transponder
// device. `random` fills the fields that vary from reply to reply (flight status, utility
// message and the like); a position squitter uses the aircraft's current CPR format.
ModeSFrame BuildFrame(FrameKind kind, const Aircraft& aircraft, SimRandom& random);

// The same frame with its last 24 bits replaced by the residual (the ":" format).
ModeSFrame WithResidual(const ModeSFrame& frame);

// The frame with one bit flipped where it is sure to fail the parity check the program does
// for DF 11, 17 and 18: not in the DF field, and for DF 11 not where the damage would pass
// for an interrogator code. Only for frames of those formats.
ModeSFrame CorruptOneBit(const ModeSFrame& frame, SimRandom& random);

// Upper-case hexadecimal digits of the whole frame.
std::string FrameHex(const ModeSFrame& frame);

}  // namespace quorvex::sim
