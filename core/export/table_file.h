#pragma once
// A table a scripted run keeps on disk (--coverage-csv, --level-csv): written whole every
// minute and at the end, each time replacing the file atomically, so a reader never sees
// half a table.

#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

class TableFile {
  public:
    // `name` says what the file is in its messages: "coverage CSV file".
    TableFile(std::string path, std::string name)
        : path_(std::move(path)), name_(std::move(name)) {}

    const std::string& Path() const { return path_; }

    // The minute's write. The message to show when it fails, only for the first failure
    // after a success (or the start), so a full disk raises one box, not one a minute.
    std::optional<std::string> WriteMinute(std::string_view text);
    // The write at the end of the program; its failure is always told.
    std::optional<std::string> WriteAtEnd(std::string_view text);

  private:
    std::string Failure(int error) const;

    std::string path_;
    std::string name_;
    bool failing_ = false;
};

}  // namespace quorvex
