#pragma once
// The --csv file of an unattended run: one row per second appended as the tick closes it,
// the header first when the file is new or empty. The file is opened for each row and
// closed again, so it can be copied, rotated or deleted (then begun anew) at any time.

#include <optional>
#include <string>

#include "core/run/second_history.h"

namespace quorvex {

class SecondCsvFile {
  public:
    explicit SecondCsvFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // Appends the row whole or not at all. The message to show when it cannot be written,
    // only for the first failure after a success (or the start): a full disk must not raise
    // a box per second.
    std::optional<std::string> Append(const SecondRecord& record);

  private:
    std::string path_;
    bool failing_ = false;
    std::string row_;  // reused
};

}  // namespace quorvex
