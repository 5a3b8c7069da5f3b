#pragma once
// The level comparison as text: the --level-csv file of a scripted run, and the sentence
// that says it in words (the Levels page, the summary of a run without a window).
//
// The CSV has one row for all twins, one for the unplaced, then one per ring from the
// station (the ring's start in NM): the twins, those compared, those excluded by their first
// reason, the median delta (receiver 2 - receiver 1) with its 95 % interval and quartiles in
// dB with two decimals, and each receiver's share of strong frames in percent with one;
// empty where nothing was compared (the interval below kMinComparedForInterval). A row per
// gain change follows, its time in the first field ("gain change 2026-12-08T14:07:00Z") and
// the median's step in median_db (after - before), the other fields empty.

#include <string>

#include "core/comparison/level_comparison.h"
#include "core/export/table_file.h"

namespace quorvex {

std::string LevelCsvText(const LevelComparison& levels);

class LevelCsvFile {
  public:
    explicit LevelCsvFile(std::string path) : file_(std::move(path), "level CSV file") {}

    const std::string& Path() const { return file_.Path(); }
    std::optional<std::string> WriteMinute(const LevelComparison& levels) {
        return file_.WriteMinute(LevelCsvText(levels));
    }
    std::optional<std::string> WriteAtEnd(const LevelComparison& levels) {
        return file_.WriteAtEnd(LevelCsvText(levels));
    }

  private:
    TableFile file_;
};

// Which receivers deliver levels: none when both do, else the sentence that says which
// lacks them and what gives them.
std::optional<std::string> MissingLevelsText(const LevelComparison& levels);

// "Receiver 2 hears the same transmissions 3.1 dB stronger (95 %: 2.9 to 3.3) over 41,200
// frames both heard" (the interval only from kMinComparedForInterval); "as strong" within
// 0.05 dB; "No twin with both levels to compare yet" before the first.
std::string LevelSentence(const LevelComparison& levels);

// "Levels are not comparable across the gain change at 14:07 UTC (median 0.2 dB before,
// 3.2 dB after)", one per change, joined by "; ".
std::string GainChangeText(const LevelComparison& levels);

// The summary's levels line, since the start: "2026-12-08T12:00:00Z levels: " and the
// sentence, then "; strong frames receiver 1 12.3 %, receiver 2 4.5 %" and the gain changes.
// None while neither receiver delivered a level.
std::optional<std::string> LevelSummaryLine(std::int64_t endUnixSeconds,
                                            const LevelComparison& levels);

}  // namespace quorvex
