#pragma once
// Receiver frames in the Beast binary format: 0x1A, the type ('2' for a 56-bit Mode S frame,
// '3' for a 112-bit one), the 48-bit 12 MHz counter big-endian in six bytes, the signal
// level byte, then the frame as sent (its parity, not the residual). Every 0x1A after the
// first, wherever it falls, is written twice, so a reader finds a frame's start as a 0x1A not
// doubled.

#include <cstdint>
#include <string>

#include "tools/sim/frame_builder.h"

namespace quorvex::sim {

// The receiver format that writes Beast frames; the text formats are '@', '*' and ':'.
inline constexpr char kBeastFormat = 'B';
inline constexpr std::uint8_t kBeastEscape = 0x1A;

std::string BeastFrame(const ModeSFrame& frame, std::uint64_t counter, std::uint8_t level);

// The mean length of a Beast frame of `payload` bytes, its escapes included, when every byte
// after the first is 0x1A one time in 256.
constexpr double MeanBeastBytes(double payload) {
    const double escapable = 6 + 1 + payload;  // counter, level, frame
    return 2 + escapable * (1 + 1.0 / 256);
}

}  // namespace quorvex::sim
