#pragma once
// Coverage: how far and in which directions each source hears, and which position frames
// one receiver heard that the other missed. It decodes the positions of receivers 1 and 2
// (one PositionDecoder for both), takes the feed's MSG,3 positions as they are, and keeps
// for the airborne ones (surface positions do not count), once a station is set:
// - per source and altitude band the range statistics of CoverageStats;
// - per 10-degree sector and per range ring the frames heard by both receivers, by only one
//   (the run's TwinMatcher settles them, CountTwin counts them), placed where the frame's
//   position lies. A frame without a position (no pair yet, no station) is counted in the
//   totals only.
// Without a station, positions are still decoded (and counted per source), but no range or
// bearing exists to place them.
//
// User-interface thread only, like the intake that feeds it.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/base/source_id.h"
#include "core/comparison/coverage_stats.h"
#include "core/comparison/twin_matcher.h"
#include "core/comparison/wilson_interval.h"
#include "core/positions/geo.h"
#include "core/positions/position_decoder.h"

namespace quorvex {

// The shares are given where at least this many frames were heard by either receiver.
inline constexpr std::uint64_t kMinFramesForShare = 30;

// The frames both receivers could have heard, in one sector, ring or in all.
struct TwinCounts {
    std::uint64_t both = 0;
    std::uint64_t only1 = 0;
    std::uint64_t only2 = 0;

    void Count(TwinVerdict verdict) {
        ++(verdict == TwinVerdict::Both ? both : verdict == TwinVerdict::Only1 ? only1 : only2);
    }
    TwinCounts& operator+=(const TwinCounts& other) {
        both += other.both;
        only1 += other.only1;
        only2 += other.only2;
        return *this;
    }
    std::uint64_t by1() const { return both + only1; }
    std::uint64_t by2() const { return both + only2; }
    std::uint64_t heard() const { return both + only1 + only2; }
    friend bool operator==(const TwinCounts&, const TwinCounts&) = default;
};

// The saved state of twin counts.
void SaveTwinCounts(ByteWriter& out, const TwinCounts& counts);
bool LoadTwinCounts(ByteReader& in, TwinCounts& counts);

// Twin counts with the share of the frames heard by either receiver that receiver 1 heard
// (share1), and receiver 2 (share2), each with its 95 % Wilson interval; no shares below
// kMinFramesForShare frames.
struct Comparison {
    TwinCounts counts;
    std::optional<ShareInterval> share1;
    std::optional<ShareInterval> share2;
};
Comparison Compare(const TwinCounts& counts);

// One 10-degree sector over all altitudes: per source (receiver 1, 2, feed) the farthest
// range, the 95th percentile and the positions; and the receivers' comparison.
struct SectorRow {
    int startDeg = 0;
    std::array<SectorFigures, kSourceCount> sources;
    Comparison comparison;
};

// One range ring over all altitudes: the positions per source and the comparison.
struct RingRow {
    double fromNm = 0;
    double toNm = 0;  // exclusive, but the last ring holds the maximum range itself
    std::array<std::uint64_t, kSourceCount> positions{};
    Comparison comparison;
};

struct SourceSummary {
    std::uint64_t positions = 0;        // airborne positions placed from the station
    std::optional<RangePeak> farthest;  // the farthest of them and its bearing
    std::optional<double> p95Nm;        // the 95th percentile of their range
    // Per receiver: the decoder's frames with a position, skipped and dropped ones. For the
    // feed: MSG,3 lines with a position (good), with an invalid one or beyond the maximum
    // range (dropped); none are skipped.
    PositionCounts decodes;
};

// Where a position frame heard by one receiver only lay.
struct OnlyPosition {
    float rangeNm = 0;
    float bearingDeg = 0;
    std::optional<AltitudeBand> band;  // none without an altitude
};
// The most recent of them kept per receiver, for the Coverage page's dots.
inline constexpr std::size_t kRecentOnlyPositions = 2000;

struct CoverageSummary {
    std::array<SourceSummary, kSourceCount> sources;
    TwinCounts frames;    // every settled frame, placed or not
    TwinCounts unplaced;  // those without a position to place
};

class Coverage {
  public:
    Coverage();

    // The station and the maximum range; forgets everything gathered so far.
    void SetStation(std::optional<LatLon> station, double maxRangeNm = kDefaultMaxRangeNm);
    const std::optional<LatLon>& station() const { return decoder_.station(); }
    double maxRangeNm() const { return stats_.maxRangeNm(); }

    // Whether a frame's bytes (as DecodeResult.bytes holds them) may carry a position: 14
    // bytes of DF 17 or 18 with a position type code. Cheap; the intake asks before it
    // reads the clock.
    static bool MayHavePosition(std::span<const std::uint8_t> frame);
    // A frame of receiver 1 or 2 whose parity was judged good, at steady `nowSeconds`: its
    // position decoded and, when placed, counted for the receiver. The mark says whether it
    // is an airborne position frame (whose twins CountTwin takes) and where it lies.
    TwinMark ReceiverFrame(SourceId receiver, std::span<const std::uint8_t> frame,
                           double nowSeconds);
    // A feed message as the feed scan hands it; only MSG,3 lines with a position count. The
    // place of a position counted from the station, else none.
    std::optional<TwinPlace> FeedEntry(std::string_view entry);
    // A settled airborne position frame of the receivers: both, or only one, placed where
    // its first placed copy lay.
    void CountTwin(TwinVerdict verdict, const std::optional<TwinPlace>& place);
    // Start and the Clear button: everything gathered is forgotten; the station stays.
    void Clear();

    // --- What the Coverage page and the CSV read ------------------------------------------
    // The farthest range per degree of bearing (CoverageStats::kNoRange where none) and the
    // farthest position, per source and band.
    const std::array<float, kOutlineBins>& Outline(SourceId source, AltitudeBand band) const {
        return stats_.Outline(source, band);
    }
    std::optional<RangePeak> Peak(SourceId source, AltitudeBand band) const {
        return stats_.Peak(source, band);
    }
    // 36 rows, sector 0 (0 to 10 degrees) first; `band` for the sources' figures (the
    // comparison is over all altitudes).
    std::vector<SectorRow> SectorTable(AltitudeBand band = AltitudeBand::All) const;
    // One row per ring, the nearest first.
    std::vector<RingRow> RingTable(AltitudeBand band = AltitudeBand::All) const;
    CoverageSummary Summary() const;
    // The decoder's counts per receiver; the feed's as in SourceSummary.
    PositionCounts DecodeCounts(SourceId source) const;
    // The last kRecentOnlyPositions placed frames that only `receiver` heard, in no
    // particular order.
    std::span<const OnlyPosition> RecentOnly(SourceId receiver) const {
        return recentOnly_[SourceIndex(receiver)];
    }
    const CoverageStats& Stats() const { return stats_; }
    // The ring a range falls in (the maximum range itself in the last).
    int RingOf(double rangeNm) const;

    // The saved state: what was gathered, not the decoder's aircraft (their fixes are stale
    // by the time a session continues). Load takes it into a coverage with the same station
    // and maximum range, false when it is not whole or not consistent.
    void Save(ByteWriter& out) const;
    bool Load(ByteReader& in);

  private:
    // `rangeNm`, `bearingDeg`: from the station when the decoder has worked them out already.
    std::optional<TwinPlace> Place(LatLon position, std::optional<double> rangeNm = {},
                                   std::optional<double> bearingDeg = {}) const;

    PositionDecoder decoder_;
    CoverageStats stats_;
    std::array<TwinCounts, kSectorCount> sectorTwins_{};
    std::vector<TwinCounts> ringTwins_;
    TwinCounts allTwins_;
    TwinCounts unplacedTwins_;
    PositionCounts feedCounts_;
    std::array<std::vector<OnlyPosition>, 2> recentOnly_;  // receivers 1 and 2
    std::array<std::size_t, 2> recentNext_{};
};

}  // namespace quorvex
