#include "core/export/table_file.h"

#include "platform/whole_file.h"

namespace quorvex {

std::string TableFile::Failure(int error) const {
    return "Cannot write the " + name_ + " " + path_ + ": " + platform::ErrorText(error);
}

std::optional<std::string> TableFile::WriteMinute(std::string_view text) {
    const int error = platform::ReplaceFileAtomically(path_, text);
    return failures_.Tell(error == 0 ? std::nullopt
                                     : std::optional(Failure(error) +
                                                     ". It is tried again every minute; the "
                                                     "measurement goes on."));
}

std::optional<std::string> TableFile::WriteAtEnd(std::string_view text) {
    const int error = platform::ReplaceFileAtomically(path_, text);
    if (error == 0) return std::nullopt;
    return Failure(error) + ". It keeps the table written last.";
}

}  // namespace quorvex
