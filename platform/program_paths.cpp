#include "platform/program_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/program_folder.h"

namespace quorvex::platform {
namespace {

namespace fs = std::filesystem;

std::string FolderText(const fs::path& folder) {
    std::string text = folder.lexically_normal().string();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

// $NAME when it is an absolute path, else `home` + `fallback`.
std::string XdgBase(const std::string& value, const std::string& home, const char* fallback) {
    return value.starts_with('/') ? value : home + "/" + fallback;
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string UserHome() {
    std::string home = Variable("HOME");
    if (!home.empty()) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        home = found->pw_dir;
    }
    return home;
}

}  // namespace

ProgramPaths ResolveProgramPaths(const std::string& programFolder, bool marked,
                                 const PathEnvironment& environment) {
    const std::string home = environment.Home.empty() ? "/" : environment.Home;
    ProgramPaths paths;
    paths.Portable = marked;
    if (marked) {
        // As the program always kept them: every name appended to its folder.
        paths.SettingsFolder = programFolder;
        paths.LogFolder = programFolder;
        paths.DataFolder = programFolder;
        paths.CsvFolder = FolderText(home);
    } else {
        paths.SettingsFolder =
            FolderText(fs::path(XdgBase(environment.XdgConfigHome, home, ".config")) / "quorvex");
        paths.LogFolder = FolderText(
            fs::path(XdgBase(environment.XdgStateHome, home, ".local/state")) / "quorvex");
        paths.DataFolder = FolderText(fs::path(programFolder) / "../share/quorvex");
        paths.CsvFolder = paths.LogFolder;
    }
    paths.SettingsFile = paths.SettingsFolder + "quorvex.ini";
    paths.LockFile = paths.SettingsFolder + "quorvex.lock";
    paths.ProfilesFolder = paths.SettingsFolder + "profiles/";
    paths.SessionsFolder = paths.LogFolder + "sessions/";
    return paths;
}

ProgramPaths CurrentProgramPaths() {
    const std::string folder = ProgramFolder();
    std::error_code error;
    const bool marked = fs::exists(folder + std::string(kPortableMarker), error);
    return ResolveProgramPaths(
        folder, marked, {UserHome(), Variable("XDG_CONFIG_HOME"), Variable("XDG_STATE_HOME")});
}

std::optional<std::string> CreateFolder(const std::string& folder, std::string_view what) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (!error && !fs::is_directory(folder, error) && !error) {
        error = std::make_error_code(std::errc::not_a_directory);
    }
    if (!error) return std::nullopt;
    return "Cannot create the " + std::string(what) + " " + folder + ": " + error.message();
}

}  // namespace quorvex::platform
