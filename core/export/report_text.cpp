#include "core/export/report_text.h"

#include <cstdio>

#include "core/export/coverage_text.h"
#include "core/export/level_csv.h"

namespace quorvex {
namespace {

std::string Nm(double nm) {
    char text[16];
    std::snprintf(text, sizeof text, "%.0f", nm);
    return text;
}

// Which receiver's share lies wholly above the other's interval: 1, 2, or 0 for neither.
int Ahead(const Comparison& comparison) {
    if (!comparison.share1 || !comparison.share2) return 0;
    if (comparison.share1->low > comparison.share2->high) return 1;
    if (comparison.share2->low > comparison.share1->high) return 2;
    return 0;
}

}  // namespace

std::vector<std::string> VerdictLines(const Coverage& coverage, const LevelComparison& levels) {
    std::vector<std::string> lines;
    const CoverageSummary summary = coverage.Summary();
    const Comparison all = Compare(summary.frames);
    if (all.share1 && all.share2) {
        lines.push_back("Of the " + std::to_string(summary.frames.heard()) +
                        " position frames either receiver heard, receiver 1 heard " +
                        ShareText(all.share1) + ", receiver 2 " + ShareText(all.share2) + ".");
    } else {
        lines.push_back("Position frames heard: " + std::string(kNotEnoughData) + ".");
    }
    std::string rings;
    for (const RingRow& ring : coverage.RingTable()) {
        if (!ring.comparison.share1 || !ring.comparison.share2) continue;
        rings += (rings.empty() ? "Per ring: " : "; ") + Nm(ring.fromNm) + "–" + Nm(ring.toNm) +
                 " NM receiver 1 " + ShareText(ring.comparison.share1) + ", receiver 2 " +
                 ShareText(ring.comparison.share2);
    }
    if (!rings.empty()) lines.push_back(rings + ".");

    const auto& r1 = summary.sources[0];
    const auto& r2 = summary.sources[1];
    if (r1.farthest && r2.farthest && r1.p95Nm && r2.p95Nm) {
        lines.push_back("Farthest: receiver 1 " + Nm(r1.farthest->rangeNm) + " NM, receiver 2 " +
                        Nm(r2.farthest->rangeNm) + " NM; 95 % of the positions within " +
                        Nm(*r1.p95Nm) + " NM and " + Nm(*r2.p95Nm) + " NM.");
    } else {
        lines.push_back("Range: " + std::string(kNotEnoughData) + ".");
    }

    if (levels.All().deltas.compared() >= kMinComparedForInterval) {
        lines.push_back(LevelSentence(levels) + ".");
    } else if (levels.All().levelFrames[0] > 0 || levels.All().levelFrames[1] > 0) {
        lines.push_back("Level difference: " + std::string(kNotEnoughData) + ".");
    }

    const int ahead = Ahead(all);
    if (ahead == 0) {
        lines.push_back(all.share1
                            ? "Neither receiver is ahead beyond the intervals."
                            : "Which receiver is ahead: " + std::string(kNotEnoughData) + ".");
        return lines;
    }
    std::string sectors;
    for (const SectorRow& sector : coverage.SectorTable()) {
        if (Ahead(sector.comparison) != 3 - ahead) continue;
        sectors += (sectors.empty() ? "" : ", ") + std::to_string(sector.startDeg) + "–" +
                   std::to_string(sector.startDeg + 10) + "°";
    }
    std::string line = "Receiver " + std::to_string(ahead) + " is ahead";
    line += sectors.empty()
                ? " in every sector where the data tell."
                : "; receiver " + std::to_string(3 - ahead) + " is ahead at " + sectors + ".";
    lines.push_back(line);
    return lines;
}

}  // namespace quorvex
