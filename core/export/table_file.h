#pragma once
// A table a scripted run keeps on disk (--coverage-csv, --level-csv): written whole every
// minute and at the end, each time replacing the file atomically, so a reader never sees
// half a table. A symbolic link is written through to the file it leads to; anything but a
// regular file at the path (a device, a FIFO, /dev/stdout on a pipe) is refused, never
// replaced.

#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

// What a write repeated on a schedule tells of its failures: the first after a success (or the
// start), then nothing until one succeeds again, so a full disk raises one message, not one
// each time.
class RepeatedFailure {
  public:
    // The write just ended with `failure` (none: it succeeded); what to tell of it.
    std::optional<std::string> Tell(std::optional<std::string> failure) {
        const bool first = failure && !failing_;
        failing_ = failure.has_value();
        return first ? failure : std::nullopt;
    }

  private:
    bool failing_ = false;
};

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
    // Replaces the file; the message when it cannot be.
    std::optional<std::string> Write(std::string_view text) const;

    std::string path_;
    std::string name_;
    RepeatedFailure failures_;
};

}  // namespace quorvex
