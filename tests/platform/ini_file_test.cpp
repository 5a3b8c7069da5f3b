// The INI file layer: reading files that other programs wrote, the defaults, and writes that
// change one line and leave every other byte alone.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/ini_file.h"
#include "platform/integer_text.h"

namespace quorvex::platform {
namespace {

namespace fs = std::filesystem;

// A fresh folder for one test's files, removed with them afterwards.
class IniFileTest : public ::testing::Test {
  protected:
    IniFileTest() {
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("quorvex-ini-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
        fs::create_directory(folder_);
    }
    ~IniFileTest() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

    std::string Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }

    static std::string Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

std::string WithCrlf(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// What a hand-edited file or another program's writer may hold. The file ends without a
// line end.
const std::string kForeignFile =
    "; receiver settings, edited by hand\n"
    "\n"
    "[Intf]\n"
    "  Port = COM7  \n"
    "BAUDRATE=2\n"
    "string\t=\t1\n"
    "baudrate=4\n"
    "quoted=\"two words\"\n"
    "padded = \"  inner blanks  \"\n"
    "single='apostrophes'\n"
    "unbalanced=\"open'\n"
    "inner=a=b\n"
    "empty=\n"
    "   ; port=COM9\n"
    ";string=2\n"
    "no equals sign here\n"
    "\n"
    "[ Timer ]\n"
    "interval=3\n"
    "[INTF]\n"
    "port=COM8\n"
    "extra=from the second intf\n"
    "[other]\n"
    "last=no line end";

struct Lookup {
    const char* section;
    const char* key;
    const char* expected;  // nullptr: not found, the default is returned
};

const Lookup kForeignLookups[] = {
    {"intf", "port", "COM7"},
    {"INTF", "PORT", "COM7"},
    {"intf", "baudrate", "2"},  // the first of two equal keys
    {"intf", "string", "1"},
    {"intf", "quoted", "two words"},
    {"intf", "padded", "  inner blanks  "},
    {"intf", "single", "apostrophes"},
    {"intf", "unbalanced", "\"open'"},
    {"intf", "inner", "a=b"},
    {"intf", "empty", ""},
    {"intf", "; port", nullptr},
    {"intf", "no equals sign here", nullptr},
    {"timer", "interval", "3"},
    {"intf", "extra", "from the second intf"},  // missing from the first [intf]
    {"other", "last", "no line end"},
    {"intf", "interval", nullptr},
    {"missing", "port", nullptr},
};

TEST_F(IniFileTest, ReadsWhatAnotherProgramWrote) {
    const struct {
        const char* name;
        std::string content;
    } variants[] = {
        {"LF", kForeignFile},
        {"CRLF", WithCrlf(kForeignFile)},
        {"BOM LF", "\xEF\xBB\xBF" + kForeignFile},
        {"BOM CRLF", "\xEF\xBB\xBF" + WithCrlf(kForeignFile)},
        {"mixed line ends", WithCrlf(kForeignFile.substr(0, 120)) + kForeignFile.substr(120)},
    };
    for (const auto& variant : variants) {
        const std::string path = Put("foreign.ini", variant.content);
        for (const Lookup& lookup : kForeignLookups) {
            const std::string expected = lookup.expected ? lookup.expected : "<default>";
            EXPECT_EQ(IniReadString(path, lookup.section, lookup.key, "<default>"), expected)
                << variant.name << ": [" << lookup.section << "] " << lookup.key;
        }
        EXPECT_EQ(IniReadInteger(path, "INTF", "Baudrate", -7), 2) << variant.name;
        EXPECT_EQ(IniReadInteger(path, "timer", "interval", -7), 3) << variant.name;
    }
}

TEST_F(IniFileTest, MissingFileSectionKeyOrNumberReadsAsTheDefault) {
    const std::string missing = PathOf("absent.ini");
    EXPECT_EQ(IniReadString(missing, "intf", "port", "COM1"), "COM1");
    EXPECT_EQ(IniReadInteger(missing, "timer", "interval", 1), 1);
    EXPECT_FALSE(fs::exists(missing)) << "reading must not create the file";

    const std::string path = Put("settings.ini",
                                 "[timer]\ninterval=fast\nblank=\nhalf=12abc\nhex=$1F\n"
                                 "minus=-1\nspaced=  42  \n");
    EXPECT_EQ(IniReadString(path, "profiles", "profile1", ""), "");
    EXPECT_EQ(IniReadString(path, "timer", "nothing", "fallback"), "fallback");
    const struct {
        const char* key;
        int expected;
    } integers[] = {{"interval", 1}, {"blank", 1},   {"half", 1},  {"hex", 31},
                    {"minus", -1},   {"spaced", 42}, {"absent", 1}};
    for (const auto& c : integers) {
        EXPECT_EQ(IniReadInteger(path, "timer", c.key, 1), c.expected) << c.key;
    }
    EXPECT_EQ(IniReadInteger(path, "nosection", "interval", 9), 9);
}

TEST_F(IniFileTest, ValuesAreCutTo2047Characters) {
    const std::string exact(kIniValueLimit, 'e');
    const std::string longer = std::string(kIniValueLimit, 'x') + "TAIL";
    const std::string quoted = "\"" + std::string(kIniValueLimit + 2, 'q') + "\"";
    const std::string path =
        Put("long.ini", "[s]\nexact=" + exact + "\nlonger=" + longer + "\nquoted=" + quoted + "\n");
    EXPECT_EQ(IniReadString(path, "s", "exact", ""), exact);
    EXPECT_EQ(IniReadString(path, "s", "longer", ""), longer.substr(0, kIniValueLimit));
    EXPECT_EQ(IniReadString(path, "s", "quoted", ""), std::string(kIniValueLimit, 'q'));
    EXPECT_EQ(IniReadString(path, "s", "missing", longer), longer.substr(0, kIniValueLimit));
}

TEST_F(IniFileTest, ANewFileHasLfLinesAndNoBlankLines) {
    const std::string path = PathOf("new.prf");
    IniWriteString(path, "intf", "port", "COM3");
    EXPECT_EQ(Bytes(path), "[intf]\nport=COM3\n");
    IniWriteInteger(path, "intf", "baudrate", 3);
    IniWriteInteger(path, "intf", "string", 1);
    EXPECT_EQ(Bytes(path), "[intf]\nport=COM3\nbaudrate=3\nstring=1\n");
    IniWriteInteger(path, "timer", "interval", -1);
    IniWriteString(path, "intf", "port", "");
    EXPECT_EQ(Bytes(path), "[intf]\nport=\nbaudrate=3\nstring=1\n[timer]\ninterval=-1\n");
    EXPECT_EQ(IniReadInteger(path, "timer", "interval", 1), -1);
    EXPECT_EQ(IniReadString(path, "intf", "port", "COM1"), "");
    EXPECT_EQ(Entries(), std::vector<std::string>{"new.prf"});
}

TEST_F(IniFileTest, WritesKeepTheFilesLineEnds) {
    const struct {
        const char* name;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    } cases[] = {
        {"key added after the section's last entry", "[intf]\nport=COM3\n\n[timer]\ninterval=1\n",
         "intf", "baudrate", "3", "[intf]\nport=COM3\nbaudrate=3\n\n[timer]\ninterval=1\n"},
        {"key added to a section without entries", "[intf]\n[timer]\ninterval=1\n", "intf", "port",
         "COM3", "[intf]\nport=COM3\n[timer]\ninterval=1\n"},
        {"section added at the end", "[intf]\nport=COM3\n", "timer", "interval", "2",
         "[intf]\nport=COM3\n[timer]\ninterval=2\n"},
        {"missing final line end, key added", "[intf]\nport=COM3", "intf", "baudrate", "3",
         "[intf]\nport=COM3\nbaudrate=3\n"},
        {"missing final line end, section added", "[intf]\nport=COM3", "timer", "interval", "2",
         "[intf]\nport=COM3\n[timer]\ninterval=2\n"},
        {"missing final line end, last line replaced", "[intf]\nport=COM3", "intf", "port", "COM4",
         "[intf]\nport=COM4"},
        {"CRLF, key added", "[intf]\r\nport=COM3\r\n", "intf", "baudrate", "3",
         "[intf]\r\nport=COM3\r\nbaudrate=3\r\n"},
        {"CRLF, section added", "[intf]\r\nport=COM3\r\n", "timer", "interval", "2",
         "[intf]\r\nport=COM3\r\n[timer]\r\ninterval=2\r\n"},
        {"CRLF, missing final line end", "[intf]\r\nport=COM3", "intf", "baudrate", "3",
         "[intf]\r\nport=COM3\r\nbaudrate=3\r\n"},
        {"CRLF, missing final line end, section added", "[intf]\r\nport=COM3", "timer", "interval",
         "2", "[intf]\r\nport=COM3\r\n[timer]\r\ninterval=2\r\n"},
        {"CRLF, value replaced", "[intf]\r\nport=COM3\r\nbaudrate=0\r\n", "intf", "port", "",
         "[intf]\r\nport=\r\nbaudrate=0\r\n"},
        {"line end of the replaced line kept", "[intf]\r\nport=COM3\nbaudrate=0\r\n", "intf",
         "port", "COM5", "[intf]\r\nport=COM5\nbaudrate=0\r\n"},
        {"empty file", "", "profiles", "profile1", "", "[profiles]\nprofile1=\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IniWithValue(c.before, c.section, c.key, c.value), c.after) << c.name;
        const std::string path = Put("case.ini", c.before);
        IniWriteString(path, c.section, c.key, c.value);
        EXPECT_EQ(Bytes(path), c.after) << c.name;
    }
}

TEST_F(IniFileTest, ReplacingAValueKeepsEveryOtherByte) {
    // Replacing receiver 1's port in a hand-made CRLF file whose key is spelt differently.
    const std::string head = WithCrlf("; comment\n\n[ Intf ]\n  ; Port=COM1\n");
    const std::string line = "  PORT = COM7  ";
    const std::string tail = WithCrlf("\nbaudrate = 2\n\n[timer]\nport=other\n") + "last=1";
    const std::string path = Put("foreign.prf", head + line + tail);

    IniWriteString(path, "intf", "port", "COM12");
    const std::string after = Bytes(path);
    ASSERT_GE(after.size(), head.size() + tail.size());
    EXPECT_EQ(after.substr(0, head.size()), head);
    EXPECT_EQ(after.substr(after.size() - tail.size()), tail);
    EXPECT_EQ(Lower(after.substr(head.size(), after.size() - head.size() - tail.size())),
              "port=com12");
    EXPECT_EQ(IniReadString(path, "intf", "port", ""), "COM12");
    EXPECT_EQ(IniReadString(path, "timer", "port", ""), "other");
}

// After a write, reading the key gives the written value and every other key reads as before,
// whatever the file looked like.
TEST_F(IniFileTest, WhatIsWrittenReadsBackAndNothingElseChanges) {
    const std::vector<std::string> files = {
        "",
        kForeignFile,
        WithCrlf(kForeignFile),
        "\xEF\xBB\xBF" + kForeignFile,
        "\xEF\xBB\xBF[intf]\r\nport=COM3\r\n",
        "[intf]\n[intf]\nport=COM3\n",
        "[x]\ny=1",
    };
    const struct {
        const char* section;
        const char* key;
    } targets[] = {{"intf", "port"},      {"Intf", "Baudrate"}, {"intf", "extra"},
                   {"timer", "interval"}, {"other", "last"},    {"new", "key"}};
    const std::vector<std::pair<std::string, std::string>> probes = {
        {"intf", "port"},      {"intf", "baudrate"}, {"intf", "string"}, {"intf", "extra"},
        {"timer", "interval"}, {"other", "last"},    {"x", "y"},         {"new", "key"}};
    for (std::size_t f = 0; f < files.size(); ++f) {
        for (const auto& target : targets) {
            const std::string after = IniWithValue(files[f], target.section, target.key, "NEW");
            for (const auto& [section, key] : probes) {
                std::string before, now;
                const bool was = IniFindValue(files[f], section, key, before);
                const bool is = IniFindValue(after, section, key, now);
                if (Lower(section) == Lower(target.section) && Lower(key) == Lower(target.key)) {
                    EXPECT_TRUE(is && now == "NEW")
                        << "file " << f << ", wrote [" << target.section << "] " << target.key
                        << ", reads \"" << now << "\"";
                } else {
                    EXPECT_EQ(is, was) << "file " << f << ", [" << section << "] " << key;
                    EXPECT_EQ(now, before) << "file " << f << ", [" << section << "] " << key;
                }
            }
        }
    }
}

TEST_F(IniFileTest, AByteOrderMarkStaysAndTheValueIsReplacedInPlace) {
    const std::string path = Put("bom.prf", "\xEF\xBB\xBF[intf]\r\nport=COM3\r\nbaudrate=3\r\n");
    IniWriteString(path, "intf", "port", "COM5");
    EXPECT_EQ(Bytes(path), "\xEF\xBB\xBF[intf]\r\nport=COM5\r\nbaudrate=3\r\n");
    EXPECT_EQ(IniReadString(path, "intf", "port", ""), "COM5");
}

TEST_F(IniFileTest, AWriteThatCannotHappenRaisesAndCreatesNothing) {
    Put("plain", "a regular file");
    const std::pair<std::string, std::string> cases[] = {
        {PathOf("no-such-folder/quorvex.ini"), "No such file or directory"},
        {PathOf("plain/quorvex.ini"), "Not a directory"}};
    for (const auto& [path, reason] : cases) {
        try {
            IniWriteString(path, "profiles", "profile1", "x");
            ADD_FAILURE() << "no error for " << path;
        } catch (const EIniWriteError& error) {
            EXPECT_EQ(std::string(error.what()), "Unable to write to " + path + ": " + reason);
        }
        EXPECT_THROW(IniWriteInteger(path, "timer", "interval", 2), EIniWriteError);
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"plain"});
    EXPECT_EQ(Bytes(PathOf("plain")), "a regular file");
}

// Lowers the largest file this process may write for as long as it lives; a write beyond it
// fails with EFBIG instead of a signal.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

TEST_F(IniFileTest, AFailedWriteLeavesTheOldFileWhole) {
    const std::string old = "[intf]\r\nport=COM3\r\nbaudrate=3\r\nstring=1\r\n";
    const std::string path = Put("receiver.prf", old);
    bool raised = false;
    std::string message;
    {
        const FileSizeLimit limit(old.size() + 8);
        try {
            IniWriteString(path, "intf", "port", std::string(200, 'P'));
        } catch (const EIniWriteError& error) {
            raised = true;
            message = error.what();
        }
    }
    EXPECT_TRUE(raised);
    EXPECT_EQ(message, "Unable to write to " + path + ": File too large");
    EXPECT_EQ(Bytes(path), old);
    EXPECT_EQ(Entries(), std::vector<std::string>{"receiver.prf"}) << "no leftovers beside it";
}

TEST(IniParseIntegerTest, DecimalOrHexadecimalElseNothing) {
    const struct {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {"0", true, 0},
        {"1", true, 1},
        {"42", true, 42},
        {"007", true, 7},
        {"  42  ", true, 42},
        {"\t5\t", true, 5},
        {"-1", true, -1},
        {"+5", true, 5},
        {"2147483647", true, INT_MAX},
        {"-2147483648", true, INT_MIN},
        {"$1F", true, 31},
        {"$ff", true, 255},
        {"0x1F", true, 31},
        {"0X1f", true, 31},
        {"-$10", true, -16},
        {"$7FFFFFFF", true, INT_MAX},
        {"$FFFFFFFF", true, -1},
        {"$80000000", true, INT_MIN},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"$100000000", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"12abc", false, 0},
        {"abc", false, 0},
        {"1 2", false, 0},
        {"1.5", false, 0},
        {"1e3", false, 0},
        {"--1", false, 0},
        {"- 1", false, 0},
        {"+-1", false, 0},
        {"$G1", false, 0},
        {"$-1", false, 0},
        {"0x-1", false, 0},
        {"x1F", false, 0},
    };
    for (const auto& c : cases) {
        int value = 12345;
        EXPECT_EQ(IniParseInteger(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        }
    }
    // Outside a settings file, trailing blanks are not part of a number.
    int value = 0;
    EXPECT_TRUE(ParseInteger(" 3000000", value));
    EXPECT_EQ(value, 3000000);
    EXPECT_FALSE(ParseInteger("3000000 ", value));
}

}  // namespace
}  // namespace quorvex::platform
