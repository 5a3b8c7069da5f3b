#pragma once
// The --coverage-csv file of a scripted A/B run: the sector table, one row per 10-degree
// sector, written whole every minute and at the end, each time replacing the file atomically
// (a reader never sees half a table):
//   sector_start_deg, the farthest range of receiver 1, receiver 2 and the feed (NM, two
//   decimals, empty where that source has no position in the sector), their positions, and
//   the position frames heard by both receivers, by receiver 1 only and by receiver 2 only;
// all over every altitude.

#include <optional>
#include <string>

#include "core/comparison/coverage.h"
#include "core/export/table_file.h"

namespace quorvex {

// The whole file's text.
std::string CoverageCsvText(const Coverage& coverage);

class CoverageCsvFile {
  public:
    explicit CoverageCsvFile(std::string path) : file_(std::move(path), "coverage CSV file") {}

    const std::string& Path() const { return file_.Path(); }
    std::optional<std::string> WriteMinute(const Coverage& coverage) {
        return file_.WriteMinute(CoverageCsvText(coverage));
    }
    std::optional<std::string> WriteAtEnd(const Coverage& coverage) {
        return file_.WriteAtEnd(CoverageCsvText(coverage));
    }

  private:
    TableFile file_;
};

}  // namespace quorvex
