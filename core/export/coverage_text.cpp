#include "core/export/coverage_text.h"

#include <cmath>

#include "core/base/csv.h"
#include "core/positions/station_text.h"
#include "core/settings/profiles.h"

namespace quorvex {
namespace {

std::string Whole(double value) {
    return std::to_string(std::lround(value));
}

std::string Percent(double share) {
    return Whole(share * 100.0);
}

std::string Count(std::uint64_t value) {
    return std::to_string(value);
}

void ShareCells(CsvRow& row, const std::optional<ShareInterval>& share) {
    if (!share) {
        row.Empty().Empty().Empty();
        return;
    }
    row.Number(share->share * 100.0, 1)
        .Number(share->low * 100.0, 1)
        .Number(share->high * 100.0, 1);
}

std::string SourceLine(const Coverage& coverage, SourceId source, AltitudeBand band) {
    static constexpr const char* kNames[] = {"Receiver 1", "Receiver 2", "Feed"};
    std::string line = std::string(kNames[SourceIndex(source)]) + ": ";
    const std::uint64_t positions = coverage.Stats().Positions(source, band);
    const auto peak = coverage.Peak(source, band);
    if (positions == 0 || !peak) return line + "no positions";
    line +=
        "farthest " + Whole(peak->rangeNm) + " NM at " + Whole(std::floor(peak->bearingDeg)) + "°";
    if (const auto p95 = coverage.Stats().Percentile95(source, band)) {
        line += ", 95 % within " + Whole(*p95) + " NM";
    }
    return line + ", " + Count(positions) + (positions == 1 ? " position" : " positions");
}

}  // namespace

std::string ShareText(const std::optional<ShareInterval>& share) {
    if (!share) return {};
    return Percent(share->share) + " % (" + Percent(share->low) + "–" + Percent(share->high) + ")";
}

std::array<std::string, kRingColumns> RingCells(const RingRow& ring) {
    const TwinCounts& counts = ring.comparison.counts;
    return {Whole(ring.fromNm) + "–" + Whole(ring.toNm) + " NM",
            Count(counts.by1()),
            Count(counts.by2()),
            Count(counts.both),
            Count(counts.only1),
            Count(counts.only2),
            ShareText(ring.comparison.share1),
            ShareText(ring.comparison.share2)};
}

std::string CoverageSummaryText(const Coverage& coverage, AltitudeBand band) {
    std::string text;
    for (const SourceId source : {SourceId::Receiver1, SourceId::Receiver2, SourceId::Feed}) {
        text += SourceLine(coverage, source, band) + "\n";
    }
    const PositionCounts r1 = coverage.DecodeCounts(SourceId::Receiver1);
    const PositionCounts r2 = coverage.DecodeCounts(SourceId::Receiver2);
    text += "Decodes dropped (skipped): receiver 1 " + Count(r1.dropped) + " (" +
            Count(r1.skipped) + "), receiver 2 " + Count(r2.dropped) + " (" + Count(r2.skipped) +
            "), feed " + Count(coverage.DecodeCounts(SourceId::Feed).dropped);
    return text;
}

std::string RingCsvText(const Coverage& coverage) {
    std::string out;
    CsvRow header(out);
    for (const char* column :
         {"ring_from_nm", "ring_to_nm", "by1_positions", "by2_positions", "both_positions",
          "only1_positions", "only2_positions", "share1_pct", "share1_low_pct", "share1_high_pct",
          "share2_pct", "share2_low_pct", "share2_high_pct"}) {
        header.Text(column);
    }
    header.End();
    for (const RingRow& ring : coverage.RingTable()) {
        const TwinCounts& counts = ring.comparison.counts;
        CsvRow row(out);
        row.Number(ring.fromNm, 0).Number(ring.toNm, 0);
        for (const std::uint64_t count :
             {counts.by1(), counts.by2(), counts.both, counts.only1, counts.only2}) {
            row.Integer(static_cast<std::int64_t>(count));
        }
        ShareCells(row, ring.comparison.share1);
        ShareCells(row, ring.comparison.share2);
        row.End();
    }
    return out;
}

StationFields ReadStationFields(std::string_view lat, std::string_view lon,
                                std::string_view maxRangeNm) {
    StationFields fields;
    const auto latitude = ParseDecimal(lat);
    const auto longitude = ParseDecimal(lon);
    const auto range = ParseDecimal(maxRangeNm);
    if (!latitude || std::abs(*latitude) > 90.0) {
        fields.error = "The latitude \"" + std::string(lat) +
                       "\" is no number of degrees from -90 to 90 (such as 52.3).";
    } else if (!longitude || std::abs(*longitude) > 180.0) {
        fields.error = "The longitude \"" + std::string(lon) +
                       "\" is no number of degrees from -180 to 180 (such as -4.5).";
    } else if (!range || *range < kMinMaxRangeNm || *range > kMaxMaxRangeNm) {
        fields.error = "The maximum range \"" + std::string(maxRangeNm) +
                       "\" is no number of NM from 1 to 1000.";
    } else {
        // The numbers and limits of ParseStation, field by field, so the words can say which.
        fields.station = LatLon{*latitude, *longitude};
        fields.maxRangeNm = *range;
    }
    return fields;
}

}  // namespace quorvex
