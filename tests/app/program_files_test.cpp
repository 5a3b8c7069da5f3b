// The real program with hostile files where it keeps its settings, profiles and message
// catalogues: it starts, says once what it cannot read, runs with the defaults or the built-in
// texts, and SIGTERM still ends it with its settings saved where that can be done.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "program_run.h"

namespace quorvex::app::test {
namespace {

namespace fs = std::filesystem;

using quorvex::test::ReadFileBytes;

struct FileCase {
    const char* name;
    std::function<void(const ProgramUnderTest&)> setUp;
    std::vector<std::string> messages;  // each said exactly once on standard error
    int exitCode;
    std::function<void(const ProgramUnderTest&)> check;  // the files afterwards
    bool needsNonRoot = false;
    std::vector<std::string> environment = {};
};

void PrintTo(const FileCase& c, std::ostream* out) {
    *out << c.name;
}

const std::string kSettings = "quorvex.ini";
const std::string kCatalogue = "locale/de/LC_MESSAGES/default.mo";

void SettingsNamingProfile(const ProgramUnderTest& p, const std::string& profile) {
    WriteFile(p.File(kSettings), "[profiles]\nprofile1=" + profile + "\n");
}

void ExpectSettingsSaved(const ProgramUnderTest& p, const std::string& path) {
    EXPECT_NE(ReadFileBytes(path).find("[timer]\ninterval=1\n"), std::string::npos)
        << ReadFileBytes(path);
    EXPECT_TRUE(fs::is_symlink(p.File(kSettings)) || fs::is_regular_file(p.File(kSettings)));
}

const FileCase kCases[] = {
    {"SettingsFolder",
     [](const ProgramUnderTest& p) { fs::create_directory(p.File(kSettings)); },
     {"Cannot read F/quorvex.ini: Is a directory. The defaults are used "
      "instead.",
      "Unable to write to F/quorvex.ini: Is a directory"},
     1,
     [](const ProgramUnderTest& p) { EXPECT_TRUE(fs::is_directory(p.File(kSettings))); }},
    {"SettingsDevice",
     [](const ProgramUnderTest& p) { fs::create_symlink("/dev/zero", p.File(kSettings)); },
     {"Cannot read F/quorvex.ini: not a regular file. The defaults are used "
      "instead.",
      "Unable to write to F/quorvex.ini: not a regular file"},
     1,
     [](const ProgramUnderTest& p) {
         EXPECT_EQ(fs::read_symlink(p.File(kSettings)), "/dev/zero");
     }},
    {"SettingsFifo",
     [](const ProgramUnderTest& p) { ASSERT_EQ(::mkfifo(p.File(kSettings).c_str(), 0644), 0); },
     {"Cannot read F/quorvex.ini: not a regular file. The defaults are used "
      "instead.",
      "Unable to write to F/quorvex.ini: not a regular file"},
     1,
     [](const ProgramUnderTest& p) { EXPECT_TRUE(fs::is_fifo(p.File(kSettings))); }},
    {"SettingsTooLarge",
     [](const ProgramUnderTest& p) {
         WriteFile(p.File(kSettings), "[timer]\ninterval=2\n");
         fs::resize_file(p.File(kSettings), 2 << 20);
     },
     {"Cannot read F/quorvex.ini: File too large (more than 1 MB). The "
      "defaults are used "
      "instead.",
      "Unable to write to F/quorvex.ini: File too large (more than 1 MB)"},
     1,
     [](const ProgramUnderTest& p) { EXPECT_EQ(fs::file_size(p.File(kSettings)), 2u << 20); }},
    {"SettingsLinkLoop",
     [](const ProgramUnderTest& p) { fs::create_symlink(kSettings, p.File(kSettings)); },
     {"Cannot read F/quorvex.ini: Too many levels of symbolic links. The "
      "defaults are used "
      "instead.",
      "Unable to write to F/quorvex.ini: Too many levels of symbolic links"},
     1,
     [](const ProgramUnderTest& p) { EXPECT_TRUE(fs::is_symlink(p.File(kSettings))); }},
    {"SettingsWithoutReadPermission",
     [](const ProgramUnderTest& p) {
         WriteFile(p.File(kSettings), "[timer]\ninterval=2\n");
         fs::permissions(p.File(kSettings), fs::perms::owner_write);
     },
     {"Cannot read F/quorvex.ini: Permission denied. The defaults are used "
      "instead.",
      "Unable to write to F/quorvex.ini: Permission denied"},
     1,
     [](const ProgramUnderTest& p) {
         fs::permissions(p.File(kSettings), fs::perms::owner_read | fs::perms::owner_write);
         EXPECT_EQ(ReadFileBytes(p.File(kSettings)), "[timer]\ninterval=2\n");
     },
     true},
    {"SettingsDanglingLink",
     [](const ProgramUnderTest& p) {
         fs::create_directory(p.File("kept"));
         fs::create_symlink("kept/quorvex.ini", p.File(kSettings));
     },
     {},
     0,
     [](const ProgramUnderTest& p) {
         EXPECT_TRUE(fs::is_symlink(p.File(kSettings)));
         ExpectSettingsSaved(p, p.File("kept/quorvex.ini"));
     }},
    {"SettingsLinkIntoAMissingFolder",
     [](const ProgramUnderTest& p) { fs::create_symlink("gone/quorvex.ini", p.File(kSettings)); },
     {"Unable to write to F/quorvex.ini: No such file or directory"},
     1,
     [](const ProgramUnderTest& p) {
         EXPECT_TRUE(fs::is_symlink(p.File(kSettings)));
         EXPECT_FALSE(fs::exists(p.File("gone")));
     }},
    {"LeftoverTemporary",
     [](const ProgramUnderTest& p) {
         WriteFile(p.File(kSettings), "[timer]\ninterval=2\n");
         WriteFile(p.File("quorvex.ini.tmp-Ab3dE9"), "[timer]\ninter");
         WriteFile(p.File("quorvex.ini.tmp-notmine"), "kept");
     },
     {},
     0,
     [](const ProgramUnderTest& p) {
         EXPECT_FALSE(fs::exists(p.File("quorvex.ini.tmp-Ab3dE9")));
         EXPECT_TRUE(fs::exists(p.File("quorvex.ini.tmp-notmine")));
         EXPECT_NE(ReadFileBytes(p.File(kSettings)).find("interval=2"), std::string::npos);
     }},
    {"ProfileFolder",
     [](const ProgramUnderTest& p) {
         fs::create_directories(p.File("profiles/roof.prf"));
         SettingsNamingProfile(p, p.File("profiles/roof.prf"));
     },
     {"Cannot read F/profiles/roof.prf: Is a directory. The defaults are used instead."},
     0,
     [](const ProgramUnderTest& p) { ExpectSettingsSaved(p, p.File(kSettings)); }},
    {"ProfileDevice",
     [](const ProgramUnderTest& p) { SettingsNamingProfile(p, "/dev/zero"); },
     {"Cannot read /dev/zero: not a regular file. The defaults are used instead."},
     0,
     [](const ProgramUnderTest& p) { ExpectSettingsSaved(p, p.File(kSettings)); }},
    {"ProfileFifo",
     [](const ProgramUnderTest& p) {
         fs::create_directory(p.File("profiles"));
         ASSERT_EQ(::mkfifo(p.File("profiles/roof.prf").c_str(), 0644), 0);
         SettingsNamingProfile(p, p.File("profiles/roof.prf"));
     },
     {"Cannot read F/profiles/roof.prf: not a regular file. The defaults are used instead."},
     0,
     [](const ProgramUnderTest& p) { ExpectSettingsSaved(p, p.File(kSettings)); }},
    {"ProfileTooLarge",
     [](const ProgramUnderTest& p) {
         WriteFile(p.File("profiles/roof.prf"), "[intf]\nport=COM3\n");
         fs::resize_file(p.File("profiles/roof.prf"), 300 << 20);
         SettingsNamingProfile(p, p.File("profiles/roof.prf"));
     },
     {"Cannot read F/profiles/roof.prf: File too large (more than 1 MB). The defaults are "
      "used instead."},
     0,
     [](const ProgramUnderTest& p) { ExpectSettingsSaved(p, p.File(kSettings)); }},
    {"CatalogueEmpty",
     [](const ProgramUnderTest& p) { WriteFile(p.File(kCatalogue), ""); },
     {"Cannot create memory map on file F/locale/de/LC_MESSAGES/default.mo. The built-in "
      "texts are used instead."},
     0,
     [](const ProgramUnderTest& p) { ExpectSettingsSaved(p, p.File(kSettings)); },
     false,
     {"LANG=de_DE.UTF-8"}},
    {"CatalogueDamaged",
     [](const ProgramUnderTest& p) { WriteFile(p.File(kCatalogue), std::string(64, '\x95')); },
     {"This file is not a valid GNU gettext mo file: F/locale/de/LC_MESSAGES/default.mo. "
      "The built-in texts are used instead."},
     0,
     [](const ProgramUnderTest& p) { ExpectSettingsSaved(p, p.File(kSettings)); },
     false,
     {"LANG=de_DE.UTF-8"}},
    {"CatalogueFifo",
     [](const ProgramUnderTest& p) {
         fs::create_directories(p.File("locale/de/LC_MESSAGES"));
         ASSERT_EQ(::mkfifo(p.File(kCatalogue).c_str(), 0644), 0);
     },
     {"Cannot create memory map on file F/locale/de/LC_MESSAGES/default.mo. The built-in "
      "texts are used instead."},
     0,
     [](const ProgramUnderTest& p) { ExpectSettingsSaved(p, p.File(kSettings)); },
     false,
     {"LANG=de_DE.UTF-8"}},
};

class ProgramFilesTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(ProgramFilesTest, StartsSaysWhatItCannotReadOnceAndEndsOnSigterm) {
    const FileCase& c = GetParam();
    if (c.needsNonRoot && ::geteuid() == 0) {
        GTEST_SKIP() << "root reads and writes a file whatever its permissions say";
    }

    ProgramUnderTest program;
    c.setUp(program);
    const ProgramEnd end = program.Run(c.environment);
    ExpectEnd(end, program, c.exitCode, c.messages);
    c.check(program);
}

INSTANTIATE_TEST_SUITE_P(Files, ProgramFilesTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quorvex::app::test
