#pragma once
// The running executable's folder and path (program_paths.h says where its files live).

#include <string>

namespace quorvex::platform {

// The folder of the running executable, ending in "/". Determined from /proc/self/exe;
// falls back to the working folder when that cannot be read.
std::string ProgramFolder();

// The running executable's full path; empty when /proc/self/exe cannot be read.
std::string ProgramPath();

}  // namespace quorvex::platform
