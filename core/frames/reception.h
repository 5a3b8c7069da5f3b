#pragma once
// One reception: a frame as one receiver delivered it, built once by the receiver's input and
// handed to the run. Everything that later compares the receivers (counts, aircraft, twins,
// coverage, levels) reads its facts from here, so each is defined once:
// - the signal level in dBFS (0 dBFS is the receiver's full scale; a quiet frame is far
//   below it), or kNoLevel when the receiver measures none;
// - the receiver's own timestamp when it has one: a Beast receiver's 12 MHz counter, or the
//   48-bit counter that prefixes the "@" line format; both run on the receiver's clock;
// - the time of arrival on the run's clock: steady seconds for rules such as "within 2 s",
//   and the wall-clock second the run was in, for the history.
//
// A plain value; any thread may build one, the user-interface thread takes it.

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "core/base/source_id.h"
#include "core/frames/frame_decoder.h"

namespace quorvex {

// The level of a frame that carried none.
inline constexpr float kNoLevel = std::numeric_limits<float>::quiet_NaN();
inline bool HasLevel(float levelDbfs) {
    return !std::isnan(levelDbfs);
}
// A Beast level byte b (1..255) is 20 log10(b / 255) dBFS; 0 means no level was measured.
float LevelFromBeastByte(std::uint8_t level);

struct ArrivalTime {
    double steadySeconds = 0;     // on a clock that only runs forwards
    std::int64_t unixSecond = 0;  // the wall-clock second the run was counting
};

struct Reception {
    SourceId source = SourceId::Receiver1;
    DecodeResult frame;  // verdict, text and bytes
    float levelDbfs = kNoLevel;
    std::optional<std::uint64_t> receiverTime;  // the receiver's counter, when it sends one
    ArrivalTime arrival;
};

// A receiver's text packet (the text between start character and ";") as a reception:
// decoded with the receiver's CRC option, its counter kept. A pair that is no hexadecimal
// number is returned instead, and `reception` is then unspecified.
std::optional<BadHexPair> ReadPacket(SourceId receiver, std::string_view packet, bool crcOption,
                                     const ArrivalTime& arrival, Reception& reception);
// A frame a receiver delivered as bytes (Beast), with its level and counter.
Reception ReadFrame(SourceId receiver, std::span<const std::uint8_t> bytes, float levelDbfs,
                    std::optional<std::uint64_t> receiverTime, const ArrivalTime& arrival);

// The 48-bit counter of an "@" format packet (12 hexadecimal digits before the frame, the
// packet recognised by its length as the decoder does); none for any other packet.
std::optional<std::uint64_t> PacketCounter(std::string_view packet);

}  // namespace quorvex
