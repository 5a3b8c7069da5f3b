// Datagrams of a network receiver on arbitrary bytes: the text a datagram contributes, and
// the packets cut from it on their way through the intake.
//
// What must hold:
// - while no measurement runs a datagram contributes nothing;
// - otherwise the text is the datagram's beginning, at most 1024 bytes, up to and not
//   including its first zero byte, and holds no zero byte;
// - every packet the framer cuts from the text (receiver 2 in the "*" format) moves receiver
//   2's counters by one at most, or is rejected and moves none, and never receiver 1's.
//
// The first byte of the input says whether a measurement runs; the rest is the datagram.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "core/base/clock.h"
#include "core/frames/packet_framer.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"

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

// Receiver 2 in the "*" format, its framer kept from one datagram to the next as in a run.
void FeedPackets(std::string_view text, bool crcOption) {
    static const quorvex::SystemClock clock;
    static quorvex::Run state("/nonexistent-quorvex-fuzz/", clock);  // logging off
    static quorvex::PacketFramer framer;
    if (framer.StopString().empty()) {
        framer.SetStartString("*");
        framer.SetStopString(";");
    }
    framer.OnPacket = [crcOption](const std::string& packet) {
        const quorvex::IntervalCounts before = state.Counts();
        const auto bad = state.TakePacket(quorvex::SourceId::Receiver2, packet, crcOption);
        const std::int64_t counted = Total(state.Counts().Counts2) - Total(before.Counts2);
        Check(counted == 0 || counted == 1, "a packet counted more than once");
        Check(!bad || counted == 0, "a rejected packet was counted");
        Check(state.Counts().Counts1 == before.Counts1 && state.Counts().CountsS == before.CountsS,
              "a receiver 2 packet moved other counters");
    };
    state.ReleaseHold();  // the counters from zero
    framer.FeedText(text);
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
