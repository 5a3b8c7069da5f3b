#include "platform/program_folder.h"

#include <filesystem>
#include <system_error>

namespace quorvex::platform {

std::string ProgramFolder() {
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    std::filesystem::path folder =
        error ? std::filesystem::current_path(error) : executable.parent_path();
    std::string text = folder.string();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

std::string ProgramPath() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : executable.string();
}

}  // namespace quorvex::platform
