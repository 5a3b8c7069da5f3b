#include "core/comparison/coverage.h"

#include <algorithm>

#include "core/positions/feed_position.h"

namespace quorvex {

Comparison Compare(const TwinCounts& counts) {
    Comparison comparison{counts, std::nullopt, std::nullopt};
    if (counts.heard() >= kMinFramesForShare) {
        comparison.share1 = WilsonInterval95(counts.by1(), counts.heard());
        comparison.share2 = WilsonInterval95(counts.by2(), counts.heard());
    }
    return comparison;
}

Coverage::Coverage() {
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

std::optional<TwinPlace> Coverage::Place(LatLon position, std::optional<double> rangeNm,
                                         std::optional<double> bearingDeg) const {
    const auto& station = decoder_.station();
    if (!station) return std::nullopt;
    return TwinPlace{rangeNm ? *rangeNm : RangeNm(*station, position),
                     bearingDeg ? *bearingDeg : BearingDeg(*station, position), std::nullopt};
}

TwinMark Coverage::ReceiverFrame(SourceId receiver, std::span<const std::uint8_t> frame,
                                 double nowSeconds) {
    if (!MayHavePosition(frame)) return {};
    const std::uint32_t address =
        (std::uint32_t{frame[1]} << 16) | (std::uint32_t{frame[2]} << 8) | frame[3];
    const PositionReport report = decoder_.Decode(receiver, address, frame, nowSeconds);
    if (report.outcome == PositionOutcome::NotPosition || report.surface) return {};
    TwinMark mark{true, std::nullopt};
    if (CategoryOf(report.outcome) == PositionCategory::Good) {
        mark.place = Place(report.position, report.stationRangeNm, report.stationBearingDeg);
        if (mark.place) {
            mark.place->altitudeFt = report.altitudeFt;
            stats_.Add(receiver, mark.place->rangeNm, mark.place->bearingDeg, report.altitudeFt);
        }
    }
    return mark;
}

std::optional<TwinPlace> Coverage::FeedEntry(std::string_view entry) {
    const FeedPosition feed = ReadFeedPosition(entry);
    if (feed.kind == FeedPosition::Kind::None) return std::nullopt;
    if (feed.kind == FeedPosition::Kind::Invalid) {
        ++feedCounts_.dropped;
        return std::nullopt;
    }
    std::optional<TwinPlace> place = Place(feed.position);
    if (place && place->rangeNm > stats_.maxRangeNm()) {
        ++feedCounts_.dropped;
        return std::nullopt;
    }
    ++feedCounts_.good;
    if (place) {
        place->altitudeFt = feed.altitudeFt;
        stats_.Add(SourceId::Feed, place->rangeNm, place->bearingDeg, feed.altitudeFt);
    }
    return place;
}

int Coverage::RingOf(double rangeNm) const {
    const double range = std::min(rangeNm, stats_.maxRangeNm());
    return std::min(static_cast<int>(range / kRingNm), stats_.ringCount() - 1);
}

void Coverage::CountTwin(TwinVerdict verdict, const std::optional<TwinPlace>& place) {
    allTwins_.Count(verdict);
    if (!place) {
        unplacedTwins_.Count(verdict);
        return;
    }
    const double range = std::min(place->rangeNm, stats_.maxRangeNm());
    const int ring = RingOf(range);
    sectorTwins_[static_cast<std::size_t>(SectorOf(place->bearingDeg))].Count(verdict);
    ringTwins_[static_cast<std::size_t>(ring)].Count(verdict);
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

namespace quorvex {

void SaveTwinCounts(ByteWriter& out, const TwinCounts& counts) {
    out.Put(counts.both);
    out.Put(counts.only1);
    out.Put(counts.only2);
}

bool LoadTwinCounts(ByteReader& in, TwinCounts& counts) {
    return in.Get(counts.both) && in.Get(counts.only1) && in.Get(counts.only2);
}

namespace {

void SaveCounts(ByteWriter& out, const PositionCounts& counts) {
    out.Put(counts.good);
    out.Put(counts.skipped);
    out.Put(counts.dropped);
}

bool LoadCounts(ByteReader& in, PositionCounts& counts) {
    return in.Get(counts.good) && in.Get(counts.skipped) && in.Get(counts.dropped);
}

constexpr std::uint8_t kNoBand = 0xFF;

}  // namespace

void Coverage::Save(ByteWriter& out) const {
    stats_.Save(out);
    for (const TwinCounts& counts : sectorTwins_) SaveTwinCounts(out, counts);
    out.Put(static_cast<std::uint64_t>(ringTwins_.size()));
    for (const TwinCounts& counts : ringTwins_) SaveTwinCounts(out, counts);
    SaveTwinCounts(out, allTwins_);
    SaveTwinCounts(out, unplacedTwins_);
    SaveCounts(out, feedCounts_);
    for (const SourceId receiver : kReceivers) SaveCounts(out, decoder_.Counts(receiver));
    for (std::size_t r = 0; r < recentOnly_.size(); ++r) {
        out.Put(static_cast<std::uint64_t>(recentOnly_[r].size()));
        for (const OnlyPosition& only : recentOnly_[r]) {
            out.Put(only.rangeNm);
            out.Put(only.bearingDeg);
            out.Put(only.band ? static_cast<std::uint8_t>(*only.band) : kNoBand);
        }
        out.Put(static_cast<std::uint64_t>(recentNext_[r]));
    }
}

bool Coverage::Load(ByteReader& in) {
    Clear();
    std::uint64_t rings = 0;
    if (!stats_.Load(in)) return false;
    for (TwinCounts& counts : sectorTwins_) {
        if (!LoadTwinCounts(in, counts)) return false;
    }
    if (!in.Get(rings) || rings != ringTwins_.size()) return in.Fail();
    for (TwinCounts& counts : ringTwins_) {
        if (!LoadTwinCounts(in, counts)) return false;
    }
    if (!LoadTwinCounts(in, allTwins_) || !LoadTwinCounts(in, unplacedTwins_) ||
        !LoadCounts(in, feedCounts_)) {
        return false;
    }
    for (const SourceId receiver : kReceivers) {
        PositionCounts counts;
        if (!LoadCounts(in, counts)) return false;
        decoder_.SetCounts(receiver, counts);
    }
    for (std::size_t r = 0; r < recentOnly_.size(); ++r) {
        std::uint64_t count = 0;
        if (!in.GetCount(count, kRecentOnlyPositions, 9)) return false;
        recentOnly_[r].resize(static_cast<std::size_t>(count));
        for (OnlyPosition& only : recentOnly_[r]) {
            std::uint8_t band = 0;
            if (!in.Get(only.rangeNm) || !in.Get(only.bearingDeg) || !in.Get(band)) return false;
            if (band != kNoBand && band >= kAltitudeBandCount) return in.Fail();
            only.band =
                band == kNoBand ? std::nullopt : std::optional<AltitudeBand>(AltitudeBand{band});
        }
        // Filling up, the next one goes at the end; once full, anywhere in the ring.
        std::uint64_t next = 0;
        if (!in.GetIn<std::uint64_t>(next, 0, kRecentOnlyPositions - 1)) return false;
        if (count < kRecentOnlyPositions && next != count) return in.Fail();
        recentNext_[r] = static_cast<std::size_t>(next);
    }
    return true;
}

}  // namespace quorvex
