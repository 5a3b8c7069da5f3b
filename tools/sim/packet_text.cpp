#include "tools/sim/packet_text.h"

#include <cmath>
#include <string_view>

#include "core/base/hex.h"

namespace quorvex::sim {
namespace {

constexpr std::size_t kCounterDigits = 12;
constexpr std::string_view kLineEnd = ";\r\n";
// Characters of damage: no hexadecimal digit, no start character, no ";".
constexpr std::string_view kJunk = "#%&!?~ GHKXYZghkxyz+-=/<>";

char JunkCharacter(SimRandom& random) {
    return kJunk[random.Below(kJunk.size())];
}

char HexDigit(SimRandom& random) {
    return kUpperHexDigits[random.Below(16)];
}

// The lengths that the decoder takes for a frame, with or without the "@" counter.
bool FrameLength(std::size_t length) {
    return length == 14 || length == 28 || length == 14 + kCounterDigits ||
           length == 28 + kCounterDigits;
}

std::string Garbled(const std::string& packet, SimRandom& random) {
    std::string line;
    if (random.Chance(0.5)) {
        // Noise on the line: no start character, so nothing of it is a packet.
        const std::size_t length = 5 + random.Below(26);
        for (std::size_t i = 0; i < length; ++i) line += JunkCharacter(random);
        return line + "\r\n";
    }
    // The packet cut short, with junk where the rest should be.
    const std::string_view body(packet.data() + 1, packet.size() - 1 - kLineEnd.size());
    std::string cut;
    do {
        cut = std::string(body.substr(0, 1 + random.Below(body.size() - 1)));
        const std::size_t junk = 1 + random.Below(3);
        for (std::size_t i = 0; i < junk; ++i) cut += JunkCharacter(random);
    } while (FrameLength(cut.size()));
    return packet.front() + cut + std::string(kLineEnd);
}

std::string BadHex(char format, std::string packet, SimRandom& random) {
    // The decoder converts every pair of the frame when it computes the parity itself
    // ("*", "@"); with the residual delivered (":") it converts only the first pair.
    const std::size_t frameStart = 1 + (format == '@' ? kCounterDigits : 0);
    const std::size_t frameDigits = packet.size() - frameStart - kLineEnd.size();
    const std::size_t pair = format == ':' ? 0 : random.Below(frameDigits / 2);
    char* at = packet.data() + frameStart + 2 * pair;
    at[random.Below(2)] = "GHIJKLMNOPQRSTUVWXYZghz"[random.Below(23)];
    return packet;
}

std::string Nul(std::string packet, bool datagram, SimRandom& random) {
    static const std::string kNuls(3, '\0');
    if (datagram) return kNuls + packet;
    // Three bytes more make no frame length, with or without the counter.
    const std::size_t at = 1 + random.Below(packet.size() - 1 - kLineEnd.size());
    packet.insert(at, kNuls);
    return packet;
}

std::string Overlong(std::string packet, bool datagram, SimRandom& random) {
    // On a serial line longer than the program's packet buffer (1024 characters); in a
    // datagram as long as fits in one.
    const std::size_t digits = datagram ? 500 : 1030;
    packet.resize(packet.size() - kLineEnd.size());
    while (packet.size() < 1 + digits) packet += HexDigit(random);
    return packet + std::string(kLineEnd);
}

}  // namespace

std::uint64_t CounterAt(double seconds) {
    return static_cast<std::uint64_t>(std::llround(seconds * 12e6)) & 0xFFFFFFFFFFFFULL;
}

std::string PacketText(char format, const ModeSFrame& frame, std::uint64_t counter) {
    std::string text(1, format);
    if (format == '@') {
        for (int shift = 44; shift >= 0; shift -= 4)
            text += kUpperHexDigits[(counter >> shift) & 0xF];
    }
    text += FrameHex(format == ':' ? WithResidual(frame) : frame);
    text += kLineEnd;
    return text;
}

std::string FaultyPacket(Fault fault, char format, const std::string& packet, bool datagram,
                         SimRandom& random) {
    switch (fault) {
        case Fault::Garbled:
            return Garbled(packet, random);
        case Fault::BadHex:
            return BadHex(format, packet, random);
        case Fault::Nul:
            return Nul(packet, datagram, random);
        case Fault::Overlong:
            return Overlong(packet, datagram, random);
        default:
            return packet;
    }
}

}  // namespace quorvex::sim
