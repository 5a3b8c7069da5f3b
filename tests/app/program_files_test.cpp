// The real program with hostile files where it keeps its settings, profiles and message
// catalogues: it starts, says once what it cannot read, runs with the defaults or the built-in
// texts, and SIGTERM still ends it with its settings saved where that can be done.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "program_run.h"

namespace quorvex::app::test {
namespace {

namespace fs = std::filesystem;

using quorvex::test::ReadFileBytes;

using Files = std::function<void(const ProgramUnderTest&)>;

struct FileCase {
    const char* name;
    Files setUp;
    std::vector<std::string> messages;  // each said exactly once; "F/" is the program's folder
    int exitCode;
    Files check;                                // the files afterwards
    std::vector<std::string> environment = {};  // "F/" is the program's folder
    bool needsNonRoot = false;
    bool portable = true;  // the marker beside the program
};

void PrintTo(const FileCase& c, std::ostream* out) {
    *out << c.name;
}

const std::string kSettings = "quorvex.ini";
const std::string kProfile = "profiles/roof.prf";
const std::string kCatalogue = "locale/de/LC_MESSAGES/default.mo";

void MakeFifo(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
}

void ExpectSettingsSaved(const ProgramUnderTest& p, const std::string& path = kSettings) {
    EXPECT_NE(ReadFileBytes(p.File(path)).find("[timer]\ninterval=1\n"), std::string::npos);
}

// The settings file made unusable: said at the start and at the end, which then has exit
// code 1 and leaves it as `check` finds it.
FileCase UnusableSettings(const char* name, Files setUp, const std::string& reason, Files check,
                          bool needsNonRoot = false) {
    return {name,
            std::move(setUp),
            {"Cannot read F/quorvex.ini: " + reason + ". The defaults are used instead.",
             "Unable to write to F/quorvex.ini: " + reason},
            1,
            std::move(check),
            {},
            needsNonRoot};
}

// The profile the settings name (kProfile in the program's folder, or `elsewhere`), made
// unreadable: said at the start; the end saves the settings.
FileCase UnreadableProfile(const char* name, Files setUp, const std::string& reason,
                           const std::string& elsewhere = {}) {
    return {name,
            [setUp, elsewhere](const ProgramUnderTest& p) {
                if (setUp) setUp(p);
                const std::string profile = elsewhere.empty() ? p.File(kProfile) : elsewhere;
                WriteFile(p.File(kSettings), "[profiles]\nprofile1=" + profile + "\n");
            },
            {"Cannot read " + (elsewhere.empty() ? "F/" + kProfile : elsewhere) + ": " + reason +
             ". The defaults are used instead."},
            0,
            [](const ProgramUnderTest& p) { ExpectSettingsSaved(p); }};
}

// The program's catalogue for LANG=de_DE, unusable: `message` and the built-in texts.
FileCase UnusableCatalogue(const char* name, Files setUp, const std::string& message) {
    return {name,
            std::move(setUp),
            {message + " F/" + kCatalogue + ". The built-in texts are used instead."},
            0,
            [](const ProgramUnderTest& p) { ExpectSettingsSaved(p); },
            {"LANG=de_DE.UTF-8"}};
}

const std::vector<std::string> kXdgFolders = {"HOME=F/home", "XDG_CONFIG_HOME=F/config",
                                              "XDG_STATE_HOME=F/state"};
const std::string kNotRegular = "not a regular file";
const std::string kTooLarge = "File too large (more than 1 MB)";
const std::string kNoMap = "Cannot create memory map on file";

const FileCase kCases[] = {
    UnusableSettings(
        "SettingsFolder", [](const auto& p) { fs::create_directory(p.File(kSettings)); },
        "Is a directory", [](const auto& p) { EXPECT_TRUE(fs::is_directory(p.File(kSettings))); }),
    UnusableSettings(
        "SettingsDevice", [](const auto& p) { fs::create_symlink("/dev/zero", p.File(kSettings)); },
        kNotRegular,
        [](const auto& p) { EXPECT_EQ(fs::read_symlink(p.File(kSettings)), "/dev/zero"); }),
    UnusableSettings(
        "SettingsFifo", [](const auto& p) { MakeFifo(p.File(kSettings)); }, kNotRegular,
        [](const auto& p) { EXPECT_TRUE(fs::is_fifo(p.File(kSettings))); }),
    UnusableSettings(
        "SettingsTooLarge",
        [](const auto& p) {
            WriteFile(p.File(kSettings), "[timer]\ninterval=2\n");
            fs::resize_file(p.File(kSettings), 2 << 20);
        },
        kTooLarge, [](const auto& p) { EXPECT_EQ(fs::file_size(p.File(kSettings)), 2u << 20); }),
    UnusableSettings(
        "SettingsLinkLoop", [](const auto& p) { fs::create_symlink(kSettings, p.File(kSettings)); },
        "Too many levels of symbolic links",
        [](const auto& p) { EXPECT_TRUE(fs::is_symlink(p.File(kSettings))); }),
    UnusableSettings(
        "SettingsWithoutReadPermission",
        [](const auto& p) {
            WriteFile(p.File(kSettings), "[timer]\ninterval=2\n");
            fs::permissions(p.File(kSettings), fs::perms::owner_write);
        },
        "Permission denied",
        [](const auto& p) {
            fs::permissions(p.File(kSettings), fs::perms::owner_read | fs::perms::owner_write);
            EXPECT_EQ(ReadFileBytes(p.File(kSettings)), "[timer]\ninterval=2\n");
        },
        true),
    {"SettingsDanglingLink",
     [](const auto& p) {
         fs::create_directory(p.File("kept"));
         fs::create_symlink("kept/quorvex.ini", p.File(kSettings));
     },
     {},
     0,
     [](const auto& p) {
         EXPECT_TRUE(fs::is_symlink(p.File(kSettings)));
         ExpectSettingsSaved(p, "kept/quorvex.ini");
     }},
    {"SettingsLinkIntoAMissingFolder",
     [](const auto& p) { fs::create_symlink("gone/quorvex.ini", p.File(kSettings)); },
     {"Unable to write to F/quorvex.ini: No such file or directory"},
     1,
     [](const auto& p) {
         EXPECT_TRUE(fs::is_symlink(p.File(kSettings)));
         EXPECT_FALSE(fs::exists(p.File("gone")));
     }},
    {"LeftoverTemporary",
     [](const auto& p) {
         WriteFile(p.File(kSettings), "[timer]\ninterval=2\n");
         WriteFile(p.File("quorvex.ini.tmp-Ab3dE9"), "[timer]\ninter");
         WriteFile(p.File("quorvex.ini.tmp-notmine"), "kept");
     },
     {},
     0,
     [](const auto& p) {
         EXPECT_FALSE(fs::exists(p.File("quorvex.ini.tmp-Ab3dE9")));
         EXPECT_TRUE(fs::exists(p.File("quorvex.ini.tmp-notmine")));
         EXPECT_NE(ReadFileBytes(p.File(kSettings)).find("interval=2"), std::string::npos);
     }},
    UnreadableProfile(
        "ProfileFolder", [](const auto& p) { fs::create_directories(p.File(kProfile)); },
        "Is a directory"),
    UnreadableProfile("ProfileDevice", {}, kNotRegular, "/dev/zero"),
    UnreadableProfile(
        "ProfileFifo", [](const auto& p) { MakeFifo(p.File(kProfile)); }, kNotRegular),
    UnreadableProfile(
        "ProfileTooLarge",
        [](const auto& p) {
            WriteFile(p.File(kProfile), "[intf]\nport=COM3\n");
            fs::resize_file(p.File(kProfile), 300 << 20);
        },
        kTooLarge),
    UnusableCatalogue(
        "CatalogueEmpty", [](const auto& p) { WriteFile(p.File(kCatalogue), ""); }, kNoMap),
    UnusableCatalogue(
        "CatalogueDamaged",
        [](const auto& p) { WriteFile(p.File(kCatalogue), std::string(64, '\x95')); },
        "This file is not a valid GNU gettext mo file:"),
    UnusableCatalogue(
        "CatalogueFifo", [](const auto& p) { MakeFifo(p.File(kCatalogue)); }, kNoMap),
    // Without the marker the XDG folders hold the files, made on first use; nothing beside it.
    {"InstalledInTheXdgFolders",
     {},
     {},
     0,
     [](const auto& p) {
         ExpectSettingsSaved(p, "config/quorvex/quorvex.ini");
         EXPECT_TRUE(fs::is_directory(p.File("config/quorvex/profiles")));
         EXPECT_FALSE(fs::exists(p.File(kSettings)));
         EXPECT_FALSE(fs::exists(p.File("profiles")));
     },
     kXdgFolders,
     false,
     false},
    {"InstalledWithASettingsFolderThatCannotBeMade",
     [](const auto& p) { WriteFile(p.File("config"), "a file"); },
     {"Cannot create the settings folder F/config/quorvex/: Not a directory.",
      "Cannot read F/config/quorvex/quorvex.ini: Not a directory. The defaults are used instead.",
      "Cannot create the settings folder F/config/quorvex/: Not a directory",
      "Unable to write to F/config/quorvex/quorvex.ini: Not a directory"},
     1,
     [](const auto& p) { EXPECT_EQ(ReadFileBytes(p.File("config")), "a file"); },
     kXdgFolders,
     false,
     false},
};

class ProgramFilesTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(ProgramFilesTest, StartsSaysWhatItCannotReadOnceAndEndsOnSigterm) {
    const FileCase& c = GetParam();
    if (c.needsNonRoot && ::geteuid() == 0) {
        GTEST_SKIP() << "root reads and writes a file whatever its permissions say";
    }

    ProgramUnderTest program(c.portable);
    if (c.setUp) c.setUp(program);
    const ProgramEnd end = program.Run(c.environment);
    ExpectEnd(end, program, c.exitCode, c.messages);
    c.check(program);
}

INSTANTIATE_TEST_SUITE_P(Files, ProgramFilesTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quorvex::app::test
