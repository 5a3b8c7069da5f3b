#pragma once
// Positions of the aircraft each source hears, decoded from their extended squitters and
// counted per source: how many frames gave a position, how many could not yet (skipped),
// and how many were thrown away as implausible (dropped).
//
// A frame's position comes, in this order of preference, from:
// 1. its pair: the latest frame of the other CPR format from the same aircraft and the same
//    source, at most kPairWindowSeconds apart (global decoding; the position of the frame
//    just fed);
// 2. the aircraft's latest fix from any source, younger than kFixMaxAgeSeconds, when the
//    result lies within kLocalLimitNm of it (kSurfaceLocalLimitNm on the surface);
// 3. the station, for airborne frames, while the maximum range is at most
//    kStationLocalMaxRangeNm: beyond that an aircraft in range may be more than half a zone
//    away and decode one zone off without any sign.
// A fix farther from the station than the maximum range, or one that implies more than
// kMaxGroundSpeedKt since the aircraft's latest fix, is dropped. A surface pair needs a
// reference (fix or station) to pick its quarter of the globe.
//
// Frames are taken as the caller passes them: feed only frames whose parity was judged good.
// Times are seconds on any steady clock, passed in; nothing here reads a clock. The table
// holds at most `maxAircraft` aircraft and forgets those not heard for kFixMaxAgeSeconds.
// One thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/base/address_index.h"
#include "core/base/source_id.h"
#include "core/positions/cpr.h"
#include "core/positions/geo.h"
#include "core/positions/position_message.h"

namespace quorvex {

inline constexpr double kPairWindowSeconds = 10.0;
inline constexpr double kFixMaxAgeSeconds = 600.0;
inline constexpr double kLocalLimitNm = 100.0;
// A surface zone is a quarter of an airborne one, so is its trusted distance.
inline constexpr double kSurfaceLocalLimitNm = 25.0;
inline constexpr double kStationLocalMaxRangeNm = 180.0;
inline constexpr double kDefaultMaxRangeNm = 300.0;
// Well above any airliner's ground speed (about 750 kt with the strongest tail wind) and that
// of the fastest civil aircraft flown. The times are arrival times, which one source may
// deliver a second or two later than another and a caller may round to whole seconds; so
// the distance allowed is that speed over the time between the fixes plus kSpeedSlackSeconds.
inline constexpr double kMaxGroundSpeedKt = 1200.0;
inline constexpr double kSpeedSlackSeconds = 2.0;
// After this many fixes in a row dropped for their speed the aircraft's latest fix is taken
// to be the wrong one and forgotten, so the next pair stands on its own.
inline constexpr int kSpeedStrikesToForget = 3;
inline constexpr std::size_t kPositionMaxAircraft = 5000;

enum class PositionOutcome : std::uint8_t {
    NotPosition,  // no position message; counted nowhere
    // good
    Global,
    LocalToFix,
    LocalToStation,
    // skipped
    NoReference,   // no pair in time and no reference to decode against
    ZoneMismatch,  // the pair straddles a zone edge and no reference helps
    // dropped
    BadData,     // the pair gives a latitude beyond ±90
    OutOfRange,  // farther from the station than the maximum range
    TooFast,     // farther from the latest fix than the aircraft can have flown
};

enum class PositionCategory : std::uint8_t { None, Good, Skipped, Dropped };
PositionCategory CategoryOf(PositionOutcome outcome);

struct PositionCounts {
    std::uint64_t good = 0;
    std::uint64_t skipped = 0;
    std::uint64_t dropped = 0;

    friend bool operator==(const PositionCounts&, const PositionCounts&) = default;
};

struct PositionReport {
    PositionOutcome outcome = PositionOutcome::NotPosition;
    LatLon position;  // meaningful for a good outcome
    // The range from the station of a good airborne or surface fix, when a station is set,
    // and its bearing when it lies within the maximum range.
    std::optional<double> stationRangeNm;
    std::optional<double> stationBearingDeg;
    std::optional<int> altitudeFt;
    AltitudeKind altitudeKind = AltitudeKind::None;
    bool surface = false;
};

class PositionDecoder {
  public:
    explicit PositionDecoder(std::size_t maxAircraft = kPositionMaxAircraft);

    // The station's location, or none. Without it positions are still decoded from pairs
    // and from the aircraft's latest fix, and no range is checked.
    void SetStation(std::optional<LatLon> station);
    void SetMaxRangeNm(double nm) { maxRangeNm_ = nm; }
    const std::optional<LatLon>& station() const { return station_; }
    double maxRangeNm() const { return maxRangeNm_; }

    // One frame of `source` from `address` (14 bytes as DecodeResult.bytes holds them) at
    // `nowSeconds`.
    PositionReport Decode(SourceId source, std::uint32_t address,
                          std::span<const std::uint8_t> frame, double nowSeconds);

    const PositionCounts& Counts(SourceId source) const { return counts_[SourceIndex(source)]; }
    // A session continued from its saved state: its counts so far.
    void SetCounts(SourceId source, const PositionCounts& counts) {
        counts_[SourceIndex(source)] = counts;
    }
    std::size_t size() const { return rows_.size(); }
    std::size_t maxAircraft() const { return maxAircraft_; }
    // The aircraft's latest fix, if it has one.
    std::optional<LatLon> LatestFix(std::uint32_t address) const;

    // Forgets every aircraft and count.
    void Clear();

  private:
    struct StoredFrame {
        double time = 0;
        std::uint32_t lat = 0;
        std::uint32_t lon = 0;
    };
    // What every frame of the aircraft reads and writes in one cache line; in the next the
    // latest even [0] and odd [1] frame of receivers 1 and 2 (and in a third the feed's,
    // which the program does not decode), then the fix's place from the station.
    //
    // Both receivers mostly hear the same frames: the second copy of a frame meets the same
    // pair as the first, whose fix the aircraft now holds. So the fix remembers the pair it
    // was decoded from (pairKey, while fixFromPair) and its range and bearing from the
    // station (while fixPlaced): the second copy's global decoding, its speed check against
    // the fix (a distance of zero) and its range and bearing are the first's, not computed
    // again. The results are exactly those the computation gives.
    struct alignas(64) Aircraft {
        LatLon fix;
        double fixTime = 0;
        double lastHeard = 0;
        std::uint64_t pairKey = 0;  // the even and odd frame of the fix (PairKey)
        std::uint32_t address = 0;
        std::uint8_t stored = 0;   // a bit per frame held: source * 2 + odd
        std::uint8_t surface = 0;  // the same bits: the frame held is a surface one
        bool hasFix = false;
        std::uint8_t speedStrikes = 0;
        bool fixFromPair = false;
        bool fixPlaced = false;
        alignas(64) std::array<std::array<StoredFrame, 2>, kSourceCount> frames{};
        double fixRangeNm = 0;
        double fixBearingDeg = 0;
    };
    // An airborne pair and which of its frames is the newer, as one number (17 bits a field).
    static std::uint64_t PairKey(const CprFrame& even, const CprFrame& odd, bool oddIsNewer);
    // The other frame of a pair, as Locate needs it.
    struct PairFrame {
        CprFrame cpr;
        double time = 0;
        bool surface = false;
        bool valid = false;
    };

    Aircraft& FindOrAdd(std::uint32_t address, double now);
    void ForgetSilent(double now);
    void EvictOldest();
    // Drops the rows `forget` says so, keeping the others (in another order).
    template <typename Forget>
    void RemoveRows(Forget&& forget);
    // `pairKey`: the airborne pair's PairKey when the frame was decoded from its pair (set by
    // Locate), else 0.
    PositionReport Locate(const Aircraft& aircraft, const PositionMessage& message,
                          const PairFrame& other, double now, std::uint64_t& pairKey) const;
    // A good fix's verdict; notes its range and bearing from the station in `report`.
    PositionOutcome Judge(Aircraft& aircraft, PositionReport& report, double now,
                          std::uint64_t pairKey) const;
    static bool FixIsFresh(const Aircraft& aircraft, double now);

    std::size_t maxAircraft_;
    std::optional<LatLon> station_;
    double maxRangeNm_ = kDefaultMaxRangeNm;
    std::vector<Aircraft> rows_;
    AddressIndex index_;
    std::array<PositionCounts, kSourceCount> counts_{};
    double lastSweep_ = 0;
    bool swept_ = false;
    std::vector<double> scratch_;  // eviction's copy of the times last heard
};

}  // namespace quorvex
