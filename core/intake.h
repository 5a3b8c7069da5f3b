#pragma once
// Taking in what the three sources deliver and counting it for the current second.
//
// User-interface thread only, like every handler that calls it.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/frame_decoder.h"
#include "core/main_state.h"

namespace quorvex {

// One packet of receiver 1 or 2 (the text between start character and ";"), decoded with
// that receiver's CRC option: counted by its DF group and for its aircraft, its position
// decoded (a counted DF 17/18 frame: its parity was good), logged while logging is on. A packet
// with a pair that is no hexadecimal number is neither counted nor logged: the pair is returned,
// for the receiver to count and show.
std::optional<BadHexPair> ReceiverPacket(MainState& state, SourceId receiver,
                                         std::string_view packet, bool crcOption);

// One frame a receiver delivered as bytes (Beast), with its signal level (NaN: none
// measured): counted and logged as ReceiverPacket does its text with the CRC option on.
void ReceiverFrame(MainState& state, SourceId receiver, std::span<const std::uint8_t> frame,
                   float levelDbfs);

// Text the feed socket received: appended to the buffer half the selector points at.
void FeedTextReceived(MainState& state, std::string_view text);

// Once per tick that is not held: takes the current buffer half, counts its messages into
// Counts.CountsS and the tally, takes the positions of its MSG,3 lines, and logs them while
// logging is on.
void FeedScan(MainState& state);

// The text a UDP datagram contributes to receiver 2's framer: nothing while no measurement
// runs; else at most its first 1024 bytes, up to the first zero byte. Empty means nothing
// is to be fed. The view points into `datagram`.
inline constexpr std::size_t kUdpDatagramTextLimit = 1024;
std::string_view UdpDatagramText(std::span<const std::uint8_t> datagram, bool measurementRunning);

}  // namespace quorvex
