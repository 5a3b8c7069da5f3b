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

namespace quorvex {

// The whole file's text.
std::string CoverageCsvText(const Coverage& coverage);

class CoverageCsvFile {
  public:
    explicit CoverageCsvFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // The minute's write. The message to show when it fails, only for the first failure
    // after a success (or the start), so a full disk raises one box, not one a minute.
    std::optional<std::string> WriteMinute(const Coverage& coverage);
    // The write at the end of the program; its failure is always told.
    std::optional<std::string> WriteAtEnd(const Coverage& coverage);

  private:
    int Write(const Coverage& coverage);
    std::string Failure(int error) const;

    std::string path_;
    bool failing_ = false;
};

}  // namespace quorvex
