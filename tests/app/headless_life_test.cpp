// The real program without a window as a day unattended meets it: signals in bursts and a
// closed terminal while it writes its files, a reader of its output that leaves, output that
// cannot be written, a FIFO, a device or a link where it keeps a file. Each case: the program
// listening for receiver 2's datagrams, ended by signals once its session has begun; its exit
// code, what it said (each line once) and the files it left.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "program_run.h"
#include "support/child_process.h"

namespace quorvex::app::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvex::test::ChildProcess;
using quorvex::test::ReadFileBytes;

// What the program is given and what the case does with it. "F/" is the program's folder.
struct Life {
    ProgramUnderTest& program;
    int outputReader = -1;  // the read end of its standard output, when that is "pipe"
    std::string errors;     // its standard error, once it has ended
    pid_t pid = -1;
};
using Step = std::function<void(Life&)>;

struct LifeCase {
    const char* name;
    std::vector<std::string> arguments;  // after --no-window --receiver2=udp:*
    std::string output;                  // standard output: a path, or "pipe"
    Step setUp;                          // before it starts
    Step whileUp;                        // once its session has begun
    std::vector<int> signals;            // then these, 2 ms apart
    int exitCode;
    std::vector<std::string> said;  // each matches exactly one line of standard error
    Step check;                     // the files afterwards
    std::vector<std::string> environment = {};
    bool portable = true;  // its files beside it, else in the XDG folders of `environment`
};

void PrintTo(const LifeCase& c, std::ostream* out) {
    *out << c.name;
}

std::string InFolder(std::string text, const std::string& folder) {
    for (std::size_t at = text.find("F/"); at != std::string::npos; at = text.find("F/", at)) {
        text.replace(at, 2, folder);
        at += folder.size();
    }
    return text;
}

std::size_t MatchingLines(const std::string& text, const std::string& pattern) {
    const std::regex wanted(pattern);
    std::size_t count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) count += std::regex_match(line, wanted);
    return count;
}

std::string Escaped(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// The coverage table: its header and a row per sector.
void ExpectCoverageTable(const std::string& path) {
    const std::string table = ReadFileBytes(path);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 37) << path;
}

void ExpectSettingsWhole(Life& life) {
    const std::string settings = ReadFileBytes(life.program.File("quorvex.ini"));
    EXPECT_NE(settings.find("[Station]"), std::string::npos) << settings;
    for (const auto& entry : fs::directory_iterator(life.program.Folder())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
            << entry.path();
    }
}

void MakeFifo(const std::string& path) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
}

// Receiver 2's datagrams, as a receiver on UDP sends them.
void SendFrames(int count) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(7934);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string packet = "*8D4840D6202CC371C32CE0576098;\r\n";
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(::sendto(fd, packet.data(), packet.size(), 0,
                           reinterpret_cast<const sockaddr*>(&address), sizeof address),
                  static_cast<ssize_t>(packet.size()));
    }
    ::close(fd);
}

// Reads what is there without waiting.
std::string ReadAvailable(int fd) {
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, n);
    return text;
}

const std::string kSecondsLost =
    R"(quorvex: The CSV file F/run\.csv lacks [1-9][0-9]* of its [1-9][0-9]* seconds: they could not be written\.)";

const LifeCase kCases[] = {
    // timeout(1) signals the program and then its group; systemd forwards what the group got.
    {"SignalsInABurstLetTheEndWriteItsFiles",
     {"--coverage-csv=F/coverage.csv"},
     "/dev/null",
     {},
     {},
     {SIGTERM, SIGTERM, SIGINT, SIGHUP, SIGTERM},
     0,
     {},
     [](Life& life) {
         // Said once at most, however many came while the files were written.
         EXPECT_LE(MatchingLines(life.errors,
                                 "quorvex: ending: the files are being written; a "
                                 "signal 10 s after the first ends the program at "
                                 "once"),
                   1u);
         ExpectSettingsWhole(life);
         ExpectCoverageTable(life.program.File("coverage.csv"));
     }},
    {"AClosedTerminalEndsItAsSigtermDoes",
     {"--coverage-csv=F/coverage.csv"},
     "/dev/null",
     {},
     {},
     {SIGHUP},
     0,
     {},
     [](Life& life) {
         ExpectSettingsWhole(life);
         ExpectCoverageTable(life.program.File("coverage.csv"));
     }},
    // `quorvex --no-window | head -1`
    {"AReaderOfItsOutputThatLeavesIsSaidAndTheRunGoesOn",
     {"--coverage-csv=F/coverage.csv", "--summary-every=1"},
     "pipe",
     {},
     [](Life& life) {
         ASSERT_TRUE(Within(30s, [&] { return !ReadAvailable(life.outputReader).empty(); }));
         ::close(life.outputReader);
         life.outputReader = -1;
         std::this_thread::sleep_for(2500ms);  // summaries meet the closed pipe
     },
     {SIGTERM},
     1,
     {R"(quorvex: Standard output cannot be written \(Broken pipe\): the summaries are lost until it can be written again; the measurement goes on with its files\.)",
      R"(quorvex: Standard output lacks [1-9][0-9]* of the [1-9][0-9]* summaries: they could not be written\.)"},
     [](Life& life) {
         ExpectSettingsWhole(life);
         ExpectCoverageTable(life.program.File("coverage.csv"));
     }},
    {"OutputOnAFullDeviceIsSaidOnceAndTheExitSaysSo",
     {"--summary-every=1", "--csv=/dev/full"},
     "/dev/full",
     {},
     [](Life&) { std::this_thread::sleep_for(2500ms); },
     {SIGTERM},
     1,
     {R"(quorvex: Standard output cannot be written \(No space left on device\): .*)",
      R"(quorvex: Standard output lacks [1-9][0-9]* of the [1-9][0-9]* summaries: .*)",
      R"(quorvex: Cannot write the CSV file /dev/full: No space left on device\. Seconds are lost until it can be written again; the measurement goes on\.)",
      R"(quorvex: The CSV file /dev/full lacks [1-9][0-9]* of its [1-9][0-9]* seconds: .*)"},
     {}},
    {"ACsvFileThatIsAFolderLosesItsRowsAndTheExitSaysSo",
     {"--csv=F/run.csv"},
     "/dev/null",
     [](Life& life) { fs::create_directory(life.program.File("run.csv")); },
     [](Life&) { std::this_thread::sleep_for(1500ms); },
     {SIGTERM},
     1,
     {"quorvex: Cannot write the CSV file F/run\\.csv: Is a directory\\. .*", kSecondsLost},
     {}},
    // `mkfifo run.csv; quorvex --csv run.csv` and the reader comes later.
    {"ACsvFifoGetsItsRowsOnceItHasAReader",
     {"--csv=F/run.csv"},
     "/dev/null",
     [](Life& life) { MakeFifo(life.program.File("run.csv")); },
     [](Life& life) {
         std::this_thread::sleep_for(1500ms);  // rows without a reader
         const int reader =
             ::open(life.program.File("run.csv").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
         ASSERT_GE(reader, 0);
         std::string rows;
         EXPECT_TRUE(Within(30s, [&] {
             rows += ReadAvailable(reader);
             return std::count(rows.begin(), rows.end(), '\n') >= 3;
         }));
         ::close(reader);
         EXPECT_TRUE(rows.starts_with("time,")) << rows;
         EXPECT_TRUE(rows.ends_with("\n")) << rows;
     },
     {SIGTERM},
     1,
     {"quorvex: The CSV file F/run\\.csv is a pipe without a reader: .*",
      "quorvex: The CSV file F/run\\.csv has a reader: the [1-9][0-9]* rows before it came were "
      "dropped\\.",
      kSecondsLost},
     [](Life& life) { EXPECT_TRUE(fs::is_fifo(life.program.File("run.csv"))); }},
    {"ALogFolderThatCannotBeMadeLosesItsEntriesAndTheExitSaysSo",
     {"--log"},
     "/dev/null",
     [](Life& life) { WriteFile(life.program.File("state"), "a file"); },
     [](Life&) {
         SendFrames(3);
         std::this_thread::sleep_for(1500ms);
     },
     {SIGTERM},
     1,
     {"quorvex: Cannot create the log folder F/state/quorvex/: Not a directory.*",
      "quorvex: The logfile lacks 3 entries: they could not be written\\."},
     {},
     {"HOME=F/home", "XDG_CONFIG_HOME=F/config", "XDG_STATE_HOME=F/state"},
     false},
    // Stopped (a frozen disk, a suspend), then ended as it goes on: the stall is said.
    {"AStallTheEndBreaksIntoIsSaid",
     {},
     "/dev/null",
     {},
     [](Life& life) {
         ::kill(life.pid, SIGSTOP);
         std::this_thread::sleep_for(4s);
     },
     {SIGTERM, SIGCONT},
     0,
     {"quorvex: The program did not run for [4-9] s; nothing arrived meanwhile\\."},
     {}},
    // A table replaced whole must never replace what is not a regular file.
    {"ATableOnAFifoIsRefusedAndALinkIsWrittenThrough",
     {"--coverage-csv=F/coverage.csv", "--level-csv=F/levels.csv"},
     "/dev/null",
     [](Life& life) {
         MakeFifo(life.program.File("coverage.csv"));
         fs::create_directory(life.program.File("kept"));
         fs::create_symlink("kept/levels.csv", life.program.File("levels.csv"));
     },
     {},
     {SIGTERM},
     1,
     {"quorvex: Cannot write the coverage CSV file F/coverage\\.csv: not a regular file \\(a "
      "FIFO or pipe\\)\\. It keeps the table written last\\."},
     [](Life& life) {
         EXPECT_TRUE(fs::is_fifo(life.program.File("coverage.csv")));
         EXPECT_TRUE(fs::is_symlink(life.program.File("levels.csv")));
         EXPECT_TRUE(ReadFileBytes(life.program.File("kept/levels.csv")).starts_with("ring"));
     }},
};

class HeadlessLifeTest : public ::testing::TestWithParam<LifeCase> {};

TEST_P(HeadlessLifeTest, EndsWithItsFilesAndSaysWhatWasLost) {
    const LifeCase& c = GetParam();
    ProgramUnderTest program(c.portable);
    Life life{program, -1, {}, -1};
    if (c.setUp) c.setUp(life);
    std::string output = c.output;
    if (output == "pipe") {
        output = program.File("output");
        MakeFifo(output);
        // Opened first, so the program's open of it does not wait.
        life.outputReader = ::open(output.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(life.outputReader, 0);
    }
    std::vector<std::string> arguments = {"--no-window", "--receiver2=udp:*", "--station=52,5"};
    for (const std::string& argument : c.arguments) {
        arguments.push_back(InFolder(argument, program.Folder()));
    }
    std::vector<std::string> environment = kNoDisplay;
    for (const std::string& variable : c.environment) {
        environment.push_back(InFolder(variable, program.Folder()));
    }
    ChildProcess run(program.File("quorvex"), arguments, environment, output);
    // Its session's first checkpoint is written as the measurement starts; without a log
    // folder, the logfile's failure is said then.
    const auto begun = [&] {
        if (run.ReadErrors().find("the log folder") != std::string::npos) return true;
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(program.Folder(), error)) {
            if (entry.path().filename() == "checkpoint") return true;
        }
        return false;
    };
    ASSERT_TRUE(Within(60s, [&] { return begun() || !run.Running(); })) << run.ReadErrors();
    ASSERT_TRUE(run.Running()) << run.ReadErrors();
    life.pid = run.Pid();
    if (c.whileUp) c.whileUp(life);
    for (const int signal : c.signals) {
        ::kill(run.Pid(), signal);
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_TRUE(Within(30s, [&] { return !run.Running(); }));
    if (life.outputReader >= 0) ::close(life.outputReader);

    const std::string errors = life.errors = run.ReadErrors();
    EXPECT_EQ(run.ExitCode(), c.exitCode) << errors;
    for (const std::string& said : c.said) {
        EXPECT_EQ(MatchingLines(errors, InFolder(said, Escaped(program.Folder()))), 1u)
            << said << "\nin:\n"
            << errors;
    }
    if (c.check) c.check(life);
}

// `quorvex --help | grep -q receiver`: the reader leaves before the text is written.
TEST(HeadlessRunTest, HelpForAReaderThatLeftEndsQuietly) {
    ProgramUnderTest program;
    const std::string output = program.File("output");
    MakeFifo(output);
    const int reader = ::open(output.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ChildProcess run(program.File("quorvex"), {"--help"}, kNoDisplay, output);
    ::close(reader);  // long before the program, loading its libraries, writes
    ASSERT_TRUE(Within(30s, [&] { return !run.Running(); }));
    EXPECT_EQ(run.ExitCode(), 1);  // not killed by SIGPIPE
    EXPECT_EQ(run.ReadErrors(), "");
}

INSTANTIATE_TEST_SUITE_P(Headless, HeadlessLifeTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quorvex::app::test
