#include "core/frames/reception.h"

#include <array>
#include <cmath>

#include "core/base/hex.h"

namespace quorvex {

namespace {

constexpr std::size_t kCounterDigits = 12;
constexpr std::size_t kShortFrameDigits = 14;
constexpr std::size_t kLongFrameDigits = 28;

}  // namespace

float LevelFromBeastByte(std::uint8_t level) {
    // Every frame of a Beast receiver asks: a table, not a logarithm each time.
    static const std::array<float, 256> levels = [] {
        std::array<float, 256> table{};
        table[0] = kNoLevel;
        for (std::size_t b = 1; b < table.size(); ++b) {
            table[b] = static_cast<float>(20.0 * std::log10(static_cast<double>(b) / 255.0));
        }
        return table;
    }();
    return levels[level];
}

std::optional<BadHexPair> ReadPacket(SourceId receiver, std::string_view packet, bool crcOption,
                                     const ArrivalTime& arrival, Reception& reception) {
    if (auto bad = TryDecodeFrame(packet, crcOption, reception.frame)) return bad;
    reception.source = receiver;
    reception.levelDbfs = kNoLevel;
    reception.receiverTime = PacketCounter(packet);
    reception.arrival = arrival;
    return std::nullopt;
}

Reception ReadFrame(SourceId receiver, std::span<const std::uint8_t> bytes, float levelDbfs,
                    std::optional<std::uint64_t> receiverTime, const ArrivalTime& arrival) {
    return {receiver, DecodeFrameBytes(bytes), levelDbfs, receiverTime, arrival};
}

std::optional<std::uint64_t> PacketCounter(std::string_view packet) {
    if (packet.size() != kCounterDigits + kShortFrameDigits &&
        packet.size() != kCounterDigits + kLongFrameDigits) {
        return std::nullopt;
    }
    std::uint64_t counter = 0;
    for (std::size_t i = 0; i < kCounterDigits; ++i) {
        const int digit = HexDigitValue(packet[i]);
        if (digit < 0) return std::nullopt;
        counter = (counter << 4) | static_cast<std::uint64_t>(digit);
    }
    return counter;
}

}  // namespace quorvex
