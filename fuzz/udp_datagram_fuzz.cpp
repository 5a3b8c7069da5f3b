// Datagrams of a network receiver on arbitrary bytes: the text a datagram contributes, and
// the packets cut from it on their way through the intake.
//
// What must hold:
// - while no measurement runs a datagram contributes nothing;
// - otherwise the text is the datagram's beginning, at most 1024 bytes, up to and not
//   including its first zero byte, and holds no zero byte;
// - every packet of the text (what lies between a "*" and the next ";") moves receiver 2's
//   counters by one at most, or its rejected count by one, and never receiver 1's.
//
// The first byte of the input says whether a measurement runs; the rest is the datagram.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "core/clock.h"
#include "core/intake.h"
#include "core/main_state.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "udp_datagram_fuzz: %s\n", what);
    std::abort();
}

std::int64_t Total(const quorvex::DfCounts& counts) {
    return std::int64_t{counts.Df0} + counts.Df4_5 + counts.Df11 + counts.Df11Ic + counts.Df17_19 +
           counts.Df20_21;
}

// Receiver 2 in the "*" format: every ";" ends the packet that began after the last "*".
void FeedPackets(std::string_view text, bool crcOption) {
    static const quorvex::SystemClock clock;
    static quorvex::MainState state("/nonexistent-quorvex-fuzz/", clock);  // logging off
    state.Counts.Zero();
    for (std::size_t stop = text.find(';'); stop != std::string_view::npos;
         text.remove_prefix(stop + 1), stop = text.find(';')) {
        const std::size_t start = text.substr(0, stop).rfind('*');
        if (start == std::string_view::npos) continue;
        const std::string_view packet = text.substr(start + 1, stop - start - 1);

        const quorvex::IntervalCounts before = state.Counts;
        const std::uint64_t rejectedBefore = state.RejectedPackets2;
        quorvex::ReceiverPacket(state, quorvex::Receiver::R2, packet, crcOption);
        const std::int64_t counted = Total(state.Counts.Counts2) - Total(before.Counts2);
        const std::uint64_t rejected = state.RejectedPackets2 - rejectedBefore;
        Check(counted == 0 || counted == 1, "a packet counted more than once");
        Check(rejected == 0 || (rejected == 1 && counted == 0),
              "a rejected packet was counted, or rejected twice");
        Check(state.Counts.Counts1 == before.Counts1 && state.Counts.CountsS == before.CountsS,
              "a receiver 2 packet moved other counters");
        Check(state.RejectedPackets1 == 0, "a receiver 2 packet was rejected for receiver 1");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool running = (data[0] & 1) != 0;
    const bool crcOption = (data[0] & 2) != 0;
    const std::span<const std::uint8_t> datagram(data + 1, size - 1);

    const std::string_view text = quorvex::UdpDatagramText(datagram, running);
    if (!running) {
        Check(text.empty(), "a datagram contributed text while no measurement runs");
        return 0;
    }
    const std::size_t limit = std::min(datagram.size(), quorvex::kUdpDatagramTextLimit);
    Check(text.size() <= limit, "the text is longer than the limit");
    Check(text.empty() || text.data() == reinterpret_cast<const char*>(datagram.data()),
          "the text is not the datagram's beginning");
    Check(text.find('\0') == std::string_view::npos, "the text holds a zero byte");
    Check(text.size() == limit || datagram[text.size()] == 0,
          "the text ends before the limit without a zero byte");
    FeedPackets(text, crcOption);
    return 0;
}
