#pragma once
// The faults the simulator makes on demand, and how often.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvex::sim {

enum class Fault : std::uint8_t {
    Garbled,            // a line of junk, or a packet cut short with junk in it
    BadHex,             // a packet of the right length with a pair that is no hexadecimal number
    Nul,                // NUL bytes inside a packet (before it, in a datagram)
    Overlong,           // a packet far longer than any frame
    EmptyDatagram,      // a UDP datagram of zero bytes
    OversizedDatagram,  // a UDP datagram over 1024 bytes; the packet past the limit is lost
    FeedReset,          // the feed connection reset by this end
    PtyClose,           // the pseudo-terminal closed under its reader, a fresh one opened
};

inline constexpr int kFaultCount = 8;

inline constexpr std::array<std::string_view, kFaultCount> kFaultNames = {
    "garbled",    "bad-hex",   "nul", "overlong", "empty-datagram", "oversized-datagram",
    "feed-reset", "pty-close",
};

constexpr std::string_view FaultName(Fault fault) {
    return kFaultNames[static_cast<int>(fault)];
}

constexpr std::optional<Fault> FaultByName(std::string_view name) {
    for (int i = 0; i < kFaultCount; ++i) {
        if (kFaultNames[i] == name) return static_cast<Fault>(i);
    }
    return std::nullopt;
}

// Faults that replace a packet of a receiver.
constexpr bool IsPacketFault(Fault fault) {
    return fault <= Fault::Overlong;
}

// How often each fault happens: every Nth unit it applies to (packets of a receiver,
// datagrams, feed lines, packets written to a pseudo-terminal); 0: never.
struct FaultPlan {
    std::array<std::int64_t, kFaultCount> every{};

    std::int64_t Every(Fault fault) const { return every[static_cast<int>(fault)]; }
    // Whether the `count`th unit (counted from 1) gets `fault`.
    bool Due(Fault fault, std::int64_t count) const {
        const std::int64_t n = Every(fault);
        return n > 0 && count > 0 && count % n == 0;
    }
};

}  // namespace quorvex::sim
