#pragma once
// Where the program keeps its files, resolved once at start.
//
// Portable (a file named quorvex.portable beside the executable, as in the build tree or on
// a stick): the settings, profiles, logfiles and the "locale" catalogues live beside the
// program. Otherwise (installed): the settings and profiles under $XDG_CONFIG_HOME/quorvex
// (~/.config/quorvex), the logfiles under $XDG_STATE_HOME/quorvex (~/.local/state/quorvex)
// and the sessions' checkpoints in its sessions/ (portable: sessions/ beside the program),
// the catalogues under <bin>/../share/quorvex/locale/. CSV exports start in the home folder
// when portable, beside the logfiles otherwise.
//
// Plain values; any thread. Folders end in "/". Only CreateFolder touches the disk, and
// CurrentProgramPaths reads it.

#include <optional>
#include <string>
#include <string_view>

namespace quorvex::platform {

inline constexpr std::string_view kPortableMarker = "quorvex.portable";

struct ProgramPaths {
    bool Portable = false;
    std::string SettingsFolder;  // holds the settings and lock files
    std::string SettingsFile;    // quorvex.ini
    std::string LockFile;        // quorvex.lock, held while the program runs
    std::string ProfilesFolder;  // the profile dialogs' starting folder
    std::string LogFolder;       // the logfiles
    // The measurement sessions' checkpoints, a folder each; empty: none are kept.
    std::string SessionsFolder;
    std::string CsvFolder;   // where the CSV export dialog starts
    std::string DataFolder;  // holds "locale/", the message catalogues
};

// The environment as read: each value as set, empty when unset.
struct PathEnvironment {
    std::string Home;
    std::string XdgConfigHome;
    std::string XdgStateHome;
};

// The paths of a program whose executable lies in `programFolder` (ending in "/"), with
// (`marked`) or without the marker beside it. An XDG variable counts only when it holds an
// absolute path; without a home, "/" stands in.
ProgramPaths ResolveProgramPaths(const std::string& programFolder, bool marked,
                                 const PathEnvironment& environment);

// The running program's: its folder from /proc/self/exe, the marker there, the environment
// (the home folder from the user database when HOME is unset or empty).
ProgramPaths CurrentProgramPaths();

// Creates `folder` and any missing parents. Nothing when it exists afterwards; else the
// message "Cannot create the <what> <folder>: <reason>" (what: "log folder", ...).
std::optional<std::string> CreateFolder(const std::string& folder, std::string_view what);

}  // namespace quorvex::platform
