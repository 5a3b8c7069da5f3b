#pragma once
// The program's own folder, beside which the settings, profiles and logfiles live.

#include <string>

namespace quorvex::platform {

// The folder of the running executable, ending in "/". Determined from /proc/self/exe;
// falls back to the working folder when that cannot be read.
std::string ProgramFolder();

// The running executable's full path; empty when /proc/self/exe cannot be read.
std::string ProgramPath();

// Creates `folder` and any missing parents; true when it exists afterwards.
bool EnsureFolder(const std::string& folder);

}  // namespace quorvex::platform
