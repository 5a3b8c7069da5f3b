#include "core/export/table_file.h"

#include "platform/whole_file.h"

namespace quorvex {

std::optional<std::string> TableFile::Write(std::string_view text) const {
    // Through a link to the file it leads to; never over anything but a regular file.
    const platform::ReplaceTarget target = platform::FindReplaceTarget(path_);
    std::string reason = target.Reason;
    if (reason.empty()) {
        const int error = platform::ReplaceFileAtomically(target.Path, text);
        if (error == 0) return std::nullopt;
        reason = platform::ErrorText(error);
    }
    return "Cannot write the " + name_ + " " + path_ + ": " + reason;
}

std::optional<std::string> TableFile::WriteMinute(std::string_view text) {
    std::optional<std::string> failure = Write(text);
    if (failure) *failure += ". It is tried again every minute; the measurement goes on.";
    return failures_.Tell(std::move(failure));
}

std::optional<std::string> TableFile::WriteAtEnd(std::string_view text) {
    std::optional<std::string> failure = Write(text);
    if (failure) *failure += ". It keeps the table written last.";
    return failure;
}

}  // namespace quorvex
