#include "core/export/level_csv.h"

#include <cmath>
#include <cstdio>

#include "core/base/csv.h"
#include "core/comparison/coverage_stats.h"
#include "core/export/source_summary.h"

namespace quorvex {
namespace {

void OptionalNumber(CsvRow& row, const std::optional<double>& value, int decimals) {
    if (value) {
        row.Number(*value, decimals);
    } else {
        row.Empty();
    }
}

void GroupRow(std::string& out, std::string_view ring, const LevelGroup& group) {
    CsvRow row(out);
    row.Text(ring);
    for (const std::uint64_t count : {group.twins, group.deltas.compared(), group.excludedNoLevel,
                                      group.excludedStrong, group.excludedWeak}) {
        row.Integer(static_cast<std::int64_t>(count));
    }
    const DeltaSummary summary = group.deltas.Summarize();
    OptionalNumber(row, summary.medianDb, 2);
    OptionalNumber(row,
                   summary.intervalDb ? std::optional(summary.intervalDb->first) : std::nullopt, 2);
    OptionalNumber(
        row, summary.intervalDb ? std::optional(summary.intervalDb->second) : std::nullopt, 2);
    OptionalNumber(row, summary.q1Db, 2);
    OptionalNumber(row, summary.q3Db, 2);
    OptionalNumber(row, group.StrongPercent(SourceId::Receiver1), 1);
    OptionalNumber(row, group.StrongPercent(SourceId::Receiver2), 1);
    row.End();
}

// "41,200".
std::string Grouped(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), ",");
    }
    return digits;
}

std::string Decibels(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

std::string LevelCsvText(const LevelComparison& levels) {
    std::string out;
    CsvRow header(out);
    for (const char* column : {"ring", "twins", "compared", "excluded_no_level", "excluded_strong",
                               "excluded_weak", "median_db", "ci_low_db", "ci_high_db", "q1_db",
                               "q3_db", "receiver1_strong_pct", "receiver2_strong_pct"}) {
        header.Text(column);
    }
    header.End();
    GroupRow(out, "all", levels.All());
    GroupRow(out, "unplaced", levels.Unplaced());
    for (int ring = 0; ring < levels.RingCount(); ++ring) {
        GroupRow(out, std::to_string(static_cast<int>(ring * kRingNm)), levels.Ring(ring));
    }
    for (const GainChange& change : levels.GainChanges()) {
        CsvRow row(out);
        row.Text("gain change " + Iso8601Utc(change.unixSecond));
        for (int field = 0; field < 5; ++field) row.Empty();
        row.Number(change.afterDb - change.beforeDb, 2);
        for (int field = 0; field < 6; ++field) row.Empty();
        row.End();
    }
    return out;
}

std::optional<std::string> MissingLevelsText(const LevelComparison& levels) {
    const auto& frames = levels.All().levelFrames;
    const bool has1 = frames[0] > 0;
    const bool has2 = frames[1] > 0;
    if (has1 && has2) return std::nullopt;
    const std::string who = !has1 && !has2 ? "Neither receiver delivers"
                            : !has1        ? "Receiver 1 delivers no"
                                           : "Receiver 2 delivers no";
    return who + " levels" +
           ". Levels come with Beast binary frames: a serial line in the \"Beast binary\" format "
           "or a decoder's \"TCP Beast\" output.";
}

std::string LevelSentence(const LevelComparison& levels) {
    const DeltaSummary summary = levels.All().deltas.Summarize();
    if (!summary.medianDb) return "No twin with both levels to compare yet";
    const double median = *summary.medianDb;
    std::string text = "Receiver 2 hears the same transmissions ";
    if (std::abs(median) < 0.05) {
        text += "as strong as receiver 1";
    } else {
        text += Decibels(std::abs(median)) + (median > 0 ? " dB stronger" : " dB weaker");
    }
    if (summary.intervalDb) {
        text += " (95 %: " + Decibels(summary.intervalDb->first) + " to " +
                Decibels(summary.intervalDb->second) + ")";
    }
    return text + " over " + Grouped(summary.compared) + " frames both heard";
}

std::string GainChangeText(const LevelComparison& levels) {
    std::string text;
    for (const GainChange& change : levels.GainChanges()) {
        if (!text.empty()) text += "; ";
        // "2026-12-08T14:07:00Z" -> "14:07"
        text += "Levels are not comparable across the gain change at " +
                Iso8601Utc(change.unixSecond).substr(11, 5) + " UTC (median " +
                Decibels(change.beforeDb) + " dB before, " + Decibels(change.afterDb) +
                " dB after)";
    }
    return text;
}

std::optional<std::string> LevelSummaryLine(std::int64_t endUnixSeconds,
                                            const LevelComparison& levels) {
    const LevelGroup& all = levels.All();
    if (all.levelFrames[0] == 0 && all.levelFrames[1] == 0) return std::nullopt;
    std::string line = Iso8601Utc(endUnixSeconds) + " levels: ";
    if (const auto missing = MissingLevelsText(levels)) {
        line += *missing;
        line.pop_back();  // the sentence's full stop: more follows
    } else {
        line += LevelSentence(levels);
    }
    line += "; strong frames";
    const char* separator = " ";
    for (const SourceId receiver : {SourceId::Receiver1, SourceId::Receiver2}) {
        if (const auto percent = all.StrongPercent(receiver)) {
            char text[16];
            std::snprintf(text, sizeof text, "%.1f", *percent);
            line += separator + SourceName(receiver) + " " + text + " %";
            separator = ", ";
        }
    }
    if (!levels.GainChanges().empty()) line += "; " + GainChangeText(levels);
    return line;
}

}  // namespace quorvex
