// The position decoder on arbitrary frames, pairs, times and stations.
//
// Input: 5 bytes of set-up (station latitude and longitude as 16-bit counts across their
// ranges, or none when the first byte's low bit is set; the maximum range in 2 NM steps),
// then records of 17 bytes: source and flags, address (one of four), time step (signed,
// tenths of a second), and 14 frame bytes (the first made DF 17 when the flags say so).
//
// What must hold for any input:
// - a good outcome's position is finite, latitude within ±90, longitude within ±180, and
//   within the maximum range of a station;
// - an altitude lies between -1200 and 126750 ft; a surface report has none;
// - each source's counts add up to the position frames it was fed;
// - the table never holds more than its bound;
// - local decoding of each frame's CPR against the station gives a latitude within ±90.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "core/positions/cpr.h"
#include "core/positions/geo.h"
#include "core/positions/position_decoder.h"
#include "core/positions/position_message.h"

namespace {

using namespace quorvex;

constexpr std::size_t kSetUp = 5;
constexpr std::size_t kRecord = 17;
constexpr std::size_t kBound = 3;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "position_decoder_fuzz: %s\n", what);
    std::abort();
}

double Scaled(const std::uint8_t* two, double limit) {
    const int count = two[0] << 8 | two[1];
    return (count / 65535.0 * 2 - 1) * limit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kSetUp) return 0;
    PositionDecoder decoder(kBound);
    std::optional<LatLon> station;
    if ((data[0] & 1) == 0) station = LatLon{Scaled(data, 90), Scaled(data + 2, 180)};
    decoder.SetStation(station);
    decoder.SetMaxRangeNm(data[4] * 2.0);

    std::array<std::uint64_t, kSourceCount> fed{};
    double now = 0;
    for (std::size_t at = kSetUp; at + kRecord <= size; at += kRecord) {
        const std::uint8_t* record = data + at;
        const auto source = static_cast<SourceId>(record[0] % kSourceCount);
        const std::uint32_t address = 0x400000 + (record[1] & 3);
        now += static_cast<std::int8_t>(record[2]) / 10.0;
        std::array<std::uint8_t, 14> frame;
        for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = record[3 + i];
        if (record[0] & 0x80) frame[0] = 0x8D;

        const std::optional<PositionMessage> message = ReadPositionMessage(frame);
        if (message) ++fed[SourceIndex(source)];
        if (message && station) {
            const auto local = DecodeAirborneLocal(message->cpr, *station);
            Check(!local || std::abs(local->lat) <= 90, "a local latitude beyond 90");
        }
        const PositionReport report = decoder.Decode(source, address, frame, now);
        Check(message.has_value() == (report.outcome != PositionOutcome::NotPosition),
              "a position outcome for no position message, or none for one");
        if (CategoryOf(report.outcome) == PositionCategory::Good) {
            const LatLon p = report.position;
            Check(std::isfinite(p.lat) && std::isfinite(p.lon), "a position that is no number");
            Check(std::abs(p.lat) <= 90 && std::abs(p.lon) <= 180, "a position out of range");
            if (station) {
                Check(RangeNm(*station, p) <= decoder.maxRangeNm(), "a fix beyond the range");
            }
        }
        if (report.altitudeFt) {
            Check(!report.surface, "an altitude on the surface");
            Check(*report.altitudeFt >= -1200 && *report.altitudeFt <= 126750,
                  "an altitude out of range");
        }
        Check(decoder.size() <= kBound, "the table outgrew its bound");
    }
    for (std::size_t s = 0; s < kSourceCount; ++s) {
        const PositionCounts& counts = decoder.Counts(static_cast<SourceId>(s));
        Check(counts.good + counts.skipped + counts.dropped == fed[s],
              "counts that do not add up to the frames fed");
    }
    return 0;
}
