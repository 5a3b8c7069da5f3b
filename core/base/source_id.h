#pragma once
// The sources compared: receivers 1 and 2, and the port-30003 feed ("S" in the logfile).
// One id names a source everywhere: the intake, the logfile, the tally, the window.

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorvex {

enum class SourceId : std::uint8_t { Receiver1, Receiver2, Feed };

inline constexpr std::size_t kSourceCount = 3;
inline constexpr std::array<SourceId, 2> kReceivers{SourceId::Receiver1, SourceId::Receiver2};

// 0, 1, 2: the position of a source in per-source arrays.
constexpr std::size_t SourceIndex(SourceId source) {
    return static_cast<std::size_t>(source);
}

// 1 or 2 for a receiver, as the window and the logfile number them; 0 for the feed.
constexpr int ReceiverNumber(SourceId source) {
    return source == SourceId::Feed ? 0 : static_cast<int>(source) + 1;
}

}  // namespace quorvex
