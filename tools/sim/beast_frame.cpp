#include "tools/sim/beast_frame.h"

namespace quorvex::sim {
namespace {

void PutEscaped(std::string& out, std::uint8_t byte) {
    out += static_cast<char>(byte);
    if (byte == kBeastEscape) out += static_cast<char>(byte);
}

}  // namespace

std::string BeastFrame(const ModeSFrame& frame, std::uint64_t counter, std::uint8_t level) {
    std::string out;
    out.reserve(2 * (9 + frame.size));
    out += static_cast<char>(kBeastEscape);
    out += frame.size == 7 ? '2' : '3';
    for (int shift = 40; shift >= 0; shift -= 8) {
        PutEscaped(out, static_cast<std::uint8_t>(counter >> shift));
    }
    PutEscaped(out, level);
    for (std::size_t i = 0; i < frame.size; ++i) PutEscaped(out, frame.bytes[i]);
    return out;
}

}  // namespace quorvex::sim
