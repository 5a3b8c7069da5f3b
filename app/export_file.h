#pragma once
// Writing an export (a CSV file) whole: to a temporary file beside the target, then renamed
// over it, so a failed write never leaves a half file where a good one was.

#include <optional>
#include <string>

namespace quorvex::app {

// Nothing when written; else the message to show ("Cannot write FILE: REASON").
std::optional<std::string> WriteExportFile(const std::string& path, const std::string& text);

}  // namespace quorvex::app
