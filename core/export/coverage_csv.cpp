#include "core/export/coverage_csv.h"

#include <utility>

#include "core/base/csv.h"

namespace quorvex {

std::string CoverageCsvText(const Coverage& coverage) {
    std::string out;
    CsvRow header(out);
    for (const char* column :
         {"sector_start_deg", "receiver1_max_nm", "receiver2_max_nm", "feed_max_nm",
          "receiver1_positions", "receiver2_positions", "feed_positions", "both_positions",
          "only1_positions", "only2_positions"}) {
        header.Text(column);
    }
    header.End();
    for (const SectorRow& sector : coverage.SectorTable()) {
        CsvRow row(out);
        row.Integer(sector.startDeg);
        for (const SectorFigures& source : sector.sources) {
            if (source.maxNm) {
                row.Number(*source.maxNm, 2);
            } else {
                row.Empty();
            }
        }
        for (const SectorFigures& source : sector.sources) {
            row.Integer(static_cast<std::int64_t>(source.positions));
        }
        const TwinCounts& counts = sector.comparison.counts;
        row.Integer(static_cast<std::int64_t>(counts.both))
            .Integer(static_cast<std::int64_t>(counts.only1))
            .Integer(static_cast<std::int64_t>(counts.only2));
        row.End();
    }
    return out;
}

}  // namespace quorvex
