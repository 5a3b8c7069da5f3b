// Where the program keeps its files: beside itself when marked portable, else the XDG
// folders; and a folder that cannot be made, said with its reason.

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/program_paths.h"
#include "support/temp_folder.h"

namespace quorvex::platform {
namespace {

TEST(ProgramPathsTest, MarkedBesideTheProgramElseTheXdgFolders) {
    const struct {
        const char* name;
        std::string programFolder;
        bool marked;
        PathEnvironment environment;
        std::string settingsFile, logFolder, csvFolder, dataFolder;
    } cases[] = {
        {"marked, whatever the variables say",
         "/media/stick/q/",
         true,
         {"/home/ann", "/cfg", "/state"},
         "/media/stick/q/quorvex.ini",
         "/media/stick/q/",
         "/home/ann/",
         "/media/stick/q/"},
        {"installed, variables unset",
         "/usr/bin/",
         false,
         {"/home/ann", "", ""},
         "/home/ann/.config/quorvex/quorvex.ini",
         "/home/ann/.local/state/quorvex/",
         "/home/ann/.local/state/quorvex/",
         "/usr/share/quorvex/"},
        {"absolute variables",
         "/usr/local/bin/",
         false,
         {"/home/ann/", "/x/cfg/", "/x//st"},
         "/x/cfg/quorvex/quorvex.ini",
         "/x/st/quorvex/",
         "/x/st/quorvex/",
         "/usr/local/share/quorvex/"},
        {"relative variables are ignored",
         "/usr/bin/",
         false,
         {"/home/ann/", "cfg", "~/st"},
         "/home/ann/.config/quorvex/quorvex.ini",
         "/home/ann/.local/state/quorvex/",
         "/home/ann/.local/state/quorvex/",
         "/usr/share/quorvex/"},
        {"no home",
         "/usr/bin/",
         false,
         {"", "", ""},
         "/.config/quorvex/quorvex.ini",
         "/.local/state/quorvex/",
         "/.local/state/quorvex/",
         "/usr/share/quorvex/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramPaths paths = ResolveProgramPaths(c.programFolder, c.marked, c.environment);
        EXPECT_EQ(paths.Portable, c.marked);
        EXPECT_EQ(paths.SettingsFile, c.settingsFile);
        EXPECT_EQ(paths.LogFolder, c.logFolder);
        EXPECT_EQ(paths.CsvFolder, c.csvFolder);
        EXPECT_EQ(paths.DataFolder, c.dataFolder);
    }
    const ProgramPaths installed = ResolveProgramPaths("/usr/bin/", false, {"/home/ann", "", ""});
    EXPECT_EQ(installed.ProfilesFolder, "/home/ann/.config/quorvex/profiles/");
    EXPECT_EQ(installed.LockFile, "/home/ann/.config/quorvex/quorvex.lock");
    const ProgramPaths marked = ResolveProgramPaths("/opt/q/", true, {"/home/ann", "", ""});
    EXPECT_EQ(marked.ProfilesFolder, "/opt/q/profiles/");
    EXPECT_EQ(marked.LockFile, "/opt/q/quorvex.lock");
}

// The test program has no marker beside it; without HOME the user database names the home.
TEST(ProgramPathsTest, TheRunningProgramTakesItsHomeFromTheUserDatabaseWithoutHome) {
    const char* home = std::getenv("HOME");
    const std::string saved = home != nullptr ? home : "";
    ::unsetenv("HOME");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    const ProgramPaths paths = CurrentProgramPaths();
    if (home != nullptr) ::setenv("HOME", saved.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");

    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_FALSE(paths.Portable);
    EXPECT_EQ(paths.SettingsFile,
              (std::filesystem::path(user->pw_dir) / ".config/quorvex/quorvex.ini").string());
}

TEST(ProgramPathsTest, CreatesMissingFoldersAndSaysWhichCannotBeMadeAndWhy) {
    test::TempFolder folder;
    const std::string nested = folder.Folder() + "a/b/";
    EXPECT_EQ(CreateFolder(nested, "log folder"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_EQ(CreateFolder(nested, "log folder"), std::nullopt);

    std::ofstream(folder.Folder() + "file") << "x";
    EXPECT_EQ(
        CreateFolder(folder.Folder() + "file/quorvex/", "settings folder"),
        "Cannot create the settings folder " + folder.Folder() + "file/quorvex/: Not a directory");
    EXPECT_EQ(CreateFolder(folder.Folder() + "file", "CSV folder"),
              "Cannot create the CSV folder " + folder.Folder() + "file: Not a directory");
}

}  // namespace
}  // namespace quorvex::platform
