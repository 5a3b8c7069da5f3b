#pragma once
// How far and in which directions each source hears: the range and bearing of every airborne
// position from the station, kept per source and altitude band as
// - the outline: the farthest range in each degree of bearing, and the farthest of all;
// - per 10-degree sector: the farthest range, the 95th percentile of range, the count;
// - the count per range ring (every kRingNm from the station; the last ring ends at the
//   maximum range).
// The percentile comes from a histogram per sector at 1 NM resolution up to the maximum
// range: it is the nearest-rank 95th percentile rounded up to the next whole NM (never
// beyond the sector's farthest range), so at most 1 NM above the exact one. Memory is fixed
// by the maximum range: about 2.2 KB per NM of it.
//
// One thread.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/base/byte_codec.h"
#include "core/base/source_id.h"
#include "core/positions/position_decoder.h"

namespace quorvex {

// "All" holds every position; the others those with an altitude in their range (lower bound
// inclusive).
enum class AltitudeBand : std::uint8_t {
    All,
    Below10000,
    From10000To20000,
    From20000To30000,
    Above30000,
};
inline constexpr std::size_t kAltitudeBandCount = 5;

inline constexpr int kOutlineBins = 360;  // bin b: bearings b to b + 1
inline constexpr int kSectorCount = 36;   // sector k: bearings 10k to 10k + 10
inline constexpr double kSectorDeg = 10.0;
inline constexpr double kRingNm = 50.0;

// The band below All of an altitude; none without one.
std::optional<AltitudeBand> BandOf(std::optional<int> altitudeFt);
// 0..35 for a bearing of 0 to below 360 degrees.
int SectorOf(double bearingDeg);
// The nearest-rank 95th percentile of `count` ranges spread over a 1 NM histogram: the upper
// edge of the bin holding it, never beyond `maxNm`.
template <typename Count>
double Percentile95Of(std::span<const Count> histogram, std::uint64_t count, double maxNm) {
    const auto rank = static_cast<std::uint64_t>(std::ceil(0.95 * static_cast<double>(count)));
    std::uint64_t seen = 0;
    for (std::size_t bin = 0; bin < histogram.size(); ++bin) {
        seen += histogram[bin];
        if (seen >= rank) return std::min(static_cast<double>(bin + 1), maxNm);
    }
    return maxNm;
}

// The rings up to a maximum range: ceil(max / kRingNm), at least 1.
int RingCount(double maxRangeNm);

struct RangePeak {
    double rangeNm = 0;
    double bearingDeg = 0;

    friend bool operator==(const RangePeak&, const RangePeak&) = default;
};

struct SectorFigures {
    std::optional<double> maxNm;
    std::optional<double> p95Nm;
    std::uint64_t positions = 0;

    friend bool operator==(const SectorFigures&, const SectorFigures&) = default;
};

class CoverageStats {
  public:
    // Outline bins with no position hold this.
    static constexpr float kNoRange = -1.0F;

    explicit CoverageStats(double maxRangeNm = kDefaultMaxRangeNm);

    // One airborne position `rangeNm` from the station at `bearingDeg` (0 to below 360). A
    // range beyond the maximum counts as the maximum.
    void Add(SourceId source, double rangeNm, double bearingDeg, std::optional<int> altitudeFt);
    void Clear();

    double maxRangeNm() const { return maxRangeNm_; }
    int ringCount() const { return ringCount_; }

    // The farthest range per degree of bearing, kNoRange where none.
    const std::array<float, kOutlineBins>& Outline(SourceId source, AltitudeBand band) const {
        return At(source, band).outline;
    }
    // The farthest position of all and its bearing, if any.
    std::optional<RangePeak> Peak(SourceId source, AltitudeBand band) const;
    SectorFigures Sector(SourceId source, AltitudeBand band, int sector) const;
    // The positions in ring `ring` (from ring * kRingNm to the next).
    std::uint64_t RingPositions(SourceId source, AltitudeBand band, int ring) const;
    std::uint64_t Positions(SourceId source, AltitudeBand band) const;
    // The 95th percentile over every bearing, as exact as the sectors' one.
    std::optional<double> Percentile95(SourceId source, AltitudeBand band) const;

    // The saved state; Load takes it into statistics of the same maximum range, false when
    // it is not whole.
    void Save(ByteWriter& out) const;
    bool Load(ByteReader& in);

  private:
    // What each position changes: its degree's outline, the farthest of all, its sector's
    // farthest and one histogram bin; the counts per sector, ring and in all are the
    // histogram's sums, worked out when read. At thousands of positions a second among other
    // traffic, every line a position touches is likely a wait for memory.
    struct Table {
        std::array<float, kOutlineBins> outline;
        RangePeak peak;
        bool any = false;
        std::array<double, kSectorCount> sectorMax;
    };
    void AddTo(std::size_t table, double rangeNm, double bearingDeg, int sector, int bin);
    const Table& At(SourceId source, AltitudeBand band) const {
        return tables_[TableIndex(source, band)];
    }
    static std::size_t TableIndex(SourceId source, AltitudeBand band) {
        return SourceIndex(source) * kAltitudeBandCount + static_cast<std::size_t>(band);
    }
    const std::uint32_t* Histogram(std::size_t table, int sector) const {
        return histograms_.data() +
               (table * kSectorCount + static_cast<std::size_t>(sector)) * histogramBins_;
    }
    // The table's histogram over every sector, or one sector's.
    std::vector<std::uint64_t> TotalHistogram(std::size_t table) const;
    std::vector<std::uint64_t> SectorHistogram(std::size_t table, int sector) const;

    double maxRangeNm_;
    int ringCount_;
    std::size_t histogramBins_;
    std::array<Table, kSourceCount * kAltitudeBandCount> tables_;
    std::vector<std::uint32_t> histograms_;  // per table and sector, histogramBins_ each
};

}  // namespace quorvex
