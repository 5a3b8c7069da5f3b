#include "core/coverage.h"

#include <algorithm>

#include "core/feed_position.h"

namespace quorvex {
namespace {

void CountInto(TwinCounts& counts, TwinVerdict verdict) {
    switch (verdict) {
        case TwinVerdict::Both:
            ++counts.both;
            break;
        case TwinVerdict::Only1:
            ++counts.only1;
            break;
        case TwinVerdict::Only2:
            ++counts.only2;
            break;
    }
}

}  // namespace

Comparison Compare(const TwinCounts& counts) {
    Comparison comparison{counts, std::nullopt, std::nullopt};
    if (counts.heard() >= kMinFramesForShare) {
        comparison.share1 = WilsonInterval95(counts.by1(), counts.heard());
        comparison.share2 = WilsonInterval95(counts.by2(), counts.heard());
    }
    return comparison;
}

Coverage::Coverage()
    : twins_([this](TwinVerdict verdict, const std::optional<TwinPlace>& place) {
          Settle(verdict, place);
      }) {
    Clear();
}

void Coverage::SetStation(std::optional<LatLon> station, double maxRangeNm) {
    decoder_.SetStation(station);
    decoder_.SetMaxRangeNm(maxRangeNm);
    stats_ = CoverageStats(maxRangeNm);
    Clear();
}

void Coverage::Clear() {
    decoder_.Clear();
    stats_.Clear();
    twins_.Clear();
    sectorTwins_ = {};
    ringTwins_.assign(static_cast<std::size_t>(stats_.ringCount()), TwinCounts{});
    allTwins_ = {};
    unplacedTwins_ = {};
    feedCounts_ = {};
    for (auto& recent : recentOnly_) recent.clear();
    recentNext_ = {};
}

bool Coverage::MayHavePosition(std::span<const std::uint8_t> frame) {
    return MayBePositionMessage(frame);
}

std::optional<TwinPlace> Coverage::Place(LatLon position, std::optional<double> rangeNm) const {
    const auto& station = decoder_.station();
    if (!station) return std::nullopt;
    return TwinPlace{rangeNm ? *rangeNm : RangeNm(*station, position),
                     BearingDeg(*station, position), std::nullopt};
}

void Coverage::ReceiverFrame(SourceId receiver, std::span<const std::uint8_t> frame,
                             double nowSeconds) {
    if (!MayHavePosition(frame)) return;
    const std::uint32_t address =
        (std::uint32_t{frame[1]} << 16) | (std::uint32_t{frame[2]} << 8) | frame[3];
    const PositionReport report = decoder_.Decode(receiver, address, frame, nowSeconds);
    if (report.outcome == PositionOutcome::NotPosition || report.surface) return;
    std::optional<TwinPlace> place;
    if (CategoryOf(report.outcome) == PositionCategory::Good) {
        place = Place(report.position, report.stationRangeNm);
        if (place) place->altitudeFt = report.altitudeFt;
        if (place) stats_.Add(receiver, place->rangeNm, place->bearingDeg, report.altitudeFt);
    }
    twins_.Add(receiver, frame.first<14>(), nowSeconds, place);
}

void Coverage::FeedEntry(std::string_view entry) {
    const FeedPosition feed = ReadFeedPosition(entry);
    if (feed.kind == FeedPosition::Kind::None) return;
    if (feed.kind == FeedPosition::Kind::Invalid) {
        ++feedCounts_.dropped;
        return;
    }
    const std::optional<TwinPlace> place = Place(feed.position);
    if (place && place->rangeNm > stats_.maxRangeNm()) {
        ++feedCounts_.dropped;
        return;
    }
    ++feedCounts_.good;
    if (place) stats_.Add(SourceId::Feed, place->rangeNm, place->bearingDeg, feed.altitudeFt);
}

void Coverage::Settle(TwinVerdict verdict, const std::optional<TwinPlace>& place) {
    CountInto(allTwins_, verdict);
    if (!place) {
        CountInto(unplacedTwins_, verdict);
        return;
    }
    const double range = std::min(place->rangeNm, stats_.maxRangeNm());
    const int ring = std::min(static_cast<int>(range / kRingNm), stats_.ringCount() - 1);
    CountInto(sectorTwins_[static_cast<std::size_t>(SectorOf(place->bearingDeg))], verdict);
    CountInto(ringTwins_[static_cast<std::size_t>(ring)], verdict);
    if (verdict != TwinVerdict::Both) {
        const std::size_t r = verdict == TwinVerdict::Only1 ? 0 : 1;
        const OnlyPosition only{static_cast<float>(range), static_cast<float>(place->bearingDeg),
                                BandOf(place->altitudeFt)};
        std::vector<OnlyPosition>& recent = recentOnly_[r];
        if (recent.size() < kRecentOnlyPositions) {
            recent.push_back(only);
        } else {
            recent[recentNext_[r]] = only;
        }
        recentNext_[r] = (recentNext_[r] + 1) % kRecentOnlyPositions;
    }
}

std::vector<SectorRow> Coverage::SectorTable(AltitudeBand band) const {
    std::vector<SectorRow> rows(kSectorCount);
    for (int sector = 0; sector < kSectorCount; ++sector) {
        SectorRow& row = rows[static_cast<std::size_t>(sector)];
        row.startDeg = sector * static_cast<int>(kSectorDeg);
        for (std::size_t s = 0; s < kSourceCount; ++s) {
            row.sources[s] = stats_.Sector(static_cast<SourceId>(s), band, sector);
        }
        row.comparison = Compare(sectorTwins_[static_cast<std::size_t>(sector)]);
    }
    return rows;
}

std::vector<RingRow> Coverage::RingTable(AltitudeBand band) const {
    std::vector<RingRow> rows(ringTwins_.size());
    for (std::size_t ring = 0; ring < rows.size(); ++ring) {
        RingRow& row = rows[ring];
        row.fromNm = static_cast<double>(ring) * kRingNm;
        row.toNm = std::min(row.fromNm + kRingNm, stats_.maxRangeNm());
        for (std::size_t s = 0; s < kSourceCount; ++s) {
            row.positions[s] =
                stats_.RingPositions(static_cast<SourceId>(s), band, static_cast<int>(ring));
        }
        row.comparison = Compare(ringTwins_[ring]);
    }
    return rows;
}

PositionCounts Coverage::DecodeCounts(SourceId source) const {
    return source == SourceId::Feed ? feedCounts_ : decoder_.Counts(source);
}

CoverageSummary Coverage::Summary() const {
    CoverageSummary summary;
    for (std::size_t s = 0; s < kSourceCount; ++s) {
        const auto source = static_cast<SourceId>(s);
        SourceSummary& figures = summary.sources[s];
        figures.positions = stats_.Positions(source, AltitudeBand::All);
        figures.farthest = stats_.Peak(source, AltitudeBand::All);
        figures.p95Nm = stats_.Percentile95(source, AltitudeBand::All);
        figures.decodes = DecodeCounts(source);
    }
    summary.frames = allTwins_;
    summary.unplaced = unplacedTwins_;
    return summary;
}

}  // namespace quorvex
