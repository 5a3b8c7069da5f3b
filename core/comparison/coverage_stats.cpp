#include "core/comparison/coverage_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quorvex {
std::optional<AltitudeBand> BandOf(std::optional<int> altitudeFt) {
    if (!altitudeFt) return std::nullopt;
    if (*altitudeFt < 10000) return AltitudeBand::Below10000;
    if (*altitudeFt < 20000) return AltitudeBand::From10000To20000;
    if (*altitudeFt < 30000) return AltitudeBand::From20000To30000;
    return AltitudeBand::Above30000;
}

int SectorOf(double bearingDeg) {
    return std::clamp(static_cast<int>(bearingDeg / kSectorDeg), 0, kSectorCount - 1);
}

int RingCount(double maxRangeNm) {
    return std::max(1, static_cast<int>(std::ceil(maxRangeNm / kRingNm)));
}

CoverageStats::CoverageStats(double maxRangeNm)
    : maxRangeNm_(std::max(1.0, maxRangeNm)),
      ringCount_(RingCount(maxRangeNm_)),
      histogramBins_(static_cast<std::size_t>(std::ceil(maxRangeNm_)) + 1),
      histograms_(tables_.size() * kSectorCount * histogramBins_) {
    Clear();
}

void CoverageStats::Clear() {
    for (Table& table : tables_) {
        table.outline.fill(kNoRange);
        table.peak = {};
        table.any = false;
        table.sectorMax.fill(0.0);
    }
    std::fill(histograms_.begin(), histograms_.end(), 0);
}

void CoverageStats::Add(SourceId source, double rangeNm, double bearingDeg,
                        std::optional<int> altitudeFt) {
    rangeNm = std::clamp(rangeNm, 0.0, maxRangeNm_);
    const int sector = SectorOf(bearingDeg);
    const int bin = std::clamp(static_cast<int>(bearingDeg), 0, kOutlineBins - 1);
    AddTo(TableIndex(source, AltitudeBand::All), rangeNm, bearingDeg, sector, bin);
    if (const auto band = BandOf(altitudeFt)) {
        AddTo(TableIndex(source, *band), rangeNm, bearingDeg, sector, bin);
    }
}

void CoverageStats::AddTo(std::size_t index, double rangeNm, double bearingDeg, int sector,
                          int bin) {
    Table& table = tables_[index];
    const auto range = static_cast<float>(rangeNm);
    const auto s = static_cast<std::size_t>(sector);
    if (!table.any || rangeNm > table.peak.rangeNm) table.peak = {rangeNm, bearingDeg};
    table.any = true;
    float& outline = table.outline[static_cast<std::size_t>(bin)];
    if (range > outline) outline = range;
    if (rangeNm > table.sectorMax[s]) table.sectorMax[s] = rangeNm;
    const auto histogramBin = std::min(static_cast<std::size_t>(rangeNm), histogramBins_ - 1);
    ++histograms_[(index * kSectorCount + s) * histogramBins_ + histogramBin];
}

std::optional<RangePeak> CoverageStats::Peak(SourceId source, AltitudeBand band) const {
    const Table& table = At(source, band);
    if (!table.any) return std::nullopt;
    return table.peak;
}

std::vector<std::uint64_t> CoverageStats::SectorHistogram(std::size_t table, int sector) const {
    const std::uint32_t* bins = Histogram(table, sector);
    return {bins, bins + histogramBins_};
}

std::vector<std::uint64_t> CoverageStats::TotalHistogram(std::size_t table) const {
    std::vector<std::uint64_t> total(histogramBins_, 0);
    for (int sector = 0; sector < kSectorCount; ++sector) {
        const std::uint32_t* bins = Histogram(table, sector);
        for (std::size_t bin = 0; bin < histogramBins_; ++bin) total[bin] += bins[bin];
    }
    return total;
}

SectorFigures CoverageStats::Sector(SourceId source, AltitudeBand band, int sector) const {
    const std::size_t index = TableIndex(source, band);
    const std::vector<std::uint64_t> histogram = SectorHistogram(index, sector);
    SectorFigures figures;
    figures.positions = std::accumulate(histogram.begin(), histogram.end(), std::uint64_t{0});
    if (figures.positions == 0) return figures;
    const double maxNm = tables_[index].sectorMax[static_cast<std::size_t>(sector)];
    figures.maxNm = maxNm;
    figures.p95Nm =
        Percentile95Of(std::span<const std::uint64_t>(histogram), figures.positions, maxNm);
    return figures;
}

std::uint64_t CoverageStats::RingPositions(SourceId source, AltitudeBand band, int ring) const {
    // A bin holds the ranges from its NM to the next, so it lies in one ring; the last ring
    // takes every bin from its start on, the maximum range itself too.
    const auto ringBins = static_cast<std::size_t>(kRingNm);
    const std::size_t first = static_cast<std::size_t>(ring) * ringBins;
    const std::size_t end =
        ring == ringCount_ - 1 ? histogramBins_ : std::min(first + ringBins, histogramBins_);
    std::uint64_t positions = 0;
    for (int sector = 0; sector < kSectorCount; ++sector) {
        const std::uint32_t* bins = Histogram(TableIndex(source, band), sector);
        for (std::size_t bin = first; bin < end; ++bin) positions += bins[bin];
    }
    return positions;
}

std::uint64_t CoverageStats::Positions(SourceId source, AltitudeBand band) const {
    const std::vector<std::uint64_t> total = TotalHistogram(TableIndex(source, band));
    return std::accumulate(total.begin(), total.end(), std::uint64_t{0});
}

std::optional<double> CoverageStats::Percentile95(SourceId source, AltitudeBand band) const {
    const std::size_t index = TableIndex(source, band);
    const std::vector<std::uint64_t> total = TotalHistogram(index);
    const std::uint64_t positions = std::accumulate(total.begin(), total.end(), std::uint64_t{0});
    if (positions == 0) return std::nullopt;
    return Percentile95Of(std::span<const std::uint64_t>(total), positions,
                          tables_[index].peak.rangeNm);
}

}  // namespace quorvex

namespace quorvex {

void CoverageStats::Save(ByteWriter& out) const {
    out.Put(maxRangeNm_);
    for (const Table& table : tables_) {
        out.PutFixed<float>(table.outline);
        out.Put(table.peak.rangeNm);
        out.Put(table.peak.bearingDeg);
        out.PutBool(table.any);
        out.PutFixed<double>(table.sectorMax);
    }
    out.PutSparse(histograms_);
}

bool CoverageStats::Load(ByteReader& in) {
    double maxRangeNm = 0;
    if (!in.Get(maxRangeNm) || maxRangeNm != maxRangeNm_) return in.Fail();
    for (Table& table : tables_) {
        if (!in.GetFixed<float>(table.outline) || !in.Get(table.peak.rangeNm) ||
            !in.Get(table.peak.bearingDeg) || !in.GetBool(table.any) ||
            !in.GetFixed<double>(table.sectorMax)) {
            return false;
        }
    }
    return in.GetSparse(histograms_);
}

}  // namespace quorvex
