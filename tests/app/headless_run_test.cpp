// The real program with --no-window and no display of any kind. Fed by the simulator and
// ended by SIGTERM: exit code 0, its --csv seconds and its summary lines add up to what the
// simulator sent, the coverage file, the logfile and the settings are written, and each
// source that went away is said once. A set-up it cannot make is one sentence on standard
// error and a non-zero exit code.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/comparison/coverage_stats.h"
#include "program_run.h"
#include "support/child_process.h"
#include "support/pty.h"

namespace quorvex::app::test {
namespace {

using namespace std::chrono_literals;
using quorvex::test::ChildProcess;
using quorvex::test::Pty;
using quorvex::test::ReadFileBytes;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The summary lines of `source` ("receiver 1: "), without their time.
std::vector<std::string> Summaries(const std::string& output, const std::string& source) {
    std::vector<std::string> found;
    for (const std::string& line : Lines(output)) {
        const std::size_t at = line.find("Z " + source);
        if (at != std::string::npos) found.push_back(line.substr(at + 2 + source.size()));
    }
    return found;
}

// The number before `unit` in each line, added up: over periods of one second, the count.
double Total(const std::vector<std::string>& lines, const std::string& unit) {
    double total = 0;
    for (const std::string& line : lines) {
        const std::size_t end = line.find(unit);
        const std::size_t start = line.rfind(' ', end - 1);
        if (end != std::string::npos) total += std::stod(line.substr(start + 1, end - start - 1));
    }
    return total;
}

TEST(HeadlessRunTest, SigtermEndsASimulatedRunWithEveryFileAsTheSimulatorSentIt) {
    ProgramUnderTest program;
    const std::string truthPath = program.File("truth.json");
    ChildProcess sim(QUORVEX_SIM_PATH,
                     {"--receiver1=pty:3000000:*", "--receiver2=udp:*", "--feed", "--seconds=3",
                      "--seed=11", "--truth=" + truthPath, "--wait-for-go", "--station=52,5"});
    // Standard error is where it names its devices.
    std::string pty;
    ASSERT_TRUE(Within(30s, [&] {
        std::smatch found;
        const std::string said = sim.ReadErrors();
        if (std::regex_search(said, found, std::regex("receiver1: pty (\\S+)\n"))) pty = found[1];
        return !pty.empty();
    })) << sim.ReadErrors();

    const std::string output = program.File("summary.txt");
    ChildProcess run(program.File("quorvex"),
                     {"--no-window", "--receiver1=" + pty + ":3000000:*", "--receiver2=udp:*",
                      "--connect", "--log", "--csv", program.File("run.csv"), "--coverage-csv",
                      program.File("coverage.csv"), "--station=52,5", "--summary-every=1"},
                     kNoDisplay, output);
    const auto summaries = [&] { return Summaries(ReadFileBytes(output), "receiver 1: ").size(); };
    // A first summary: started, and the feed connected long since.
    ASSERT_TRUE(Within(60s, [&] { return summaries() > 0 || !run.Running(); }));
    ASSERT_TRUE(run.Running()) << run.ReadErrors();
    ASSERT_TRUE(sim.WriteInput("go\n"));
    ASSERT_TRUE(Within(30s, [&] { return !sim.Running(); }));
    ASSERT_EQ(sim.ExitCode(), 0) << sim.ReadErrors();
    // Two seconds closed after the simulator's end hold all it sent.
    const std::size_t ended = summaries();
    ASSERT_TRUE(Within(30s, [&] { return summaries() >= ended + 2; }));
    ::kill(run.Pid(), SIGTERM);
    ASSERT_TRUE(Within(30s, [&] { return !run.Running(); }));
    EXPECT_EQ(run.ExitCode(), 0) << run.ReadErrors();

    std::ifstream truthFile(truthPath);
    std::string truthLine;
    for (std::string line; std::getline(truthFile, line);) truthLine = line;
    const QJsonObject truth =
        QJsonDocument::fromJson(QByteArray::fromStdString(truthLine)).object();
    const auto sent = [&truth](const char* source, const char* table, const char* key) {
        return truth[QLatin1String(source)][QLatin1String(table)][QLatin1String(key)].toInt();
    };
    // The CSV's counters per column over the run, the time column left out.
    std::array<std::int64_t, 15> counted{};
    const std::vector<std::string> rows = Lines(ReadFileBytes(program.File("run.csv")));
    ASSERT_GT(rows.size(), 4u);
    EXPECT_TRUE(rows[0].starts_with("time,"));
    for (std::size_t r = 1; r < rows.size(); ++r) {
        std::istringstream cells(rows[r]);
        std::string cell;
        std::getline(cells, cell, ',');
        for (std::int64_t& column : counted) {
            std::getline(cells, cell, ',');
            column += std::stoll(cell);
        }
    }
    const char* const groups[6] = {"DF0", "DF4_5", "DF11", "DF11_IC", "DF17_19", "DF20_21"};
    std::array<std::int64_t, 2> frames{};
    for (int receiver : {0, 1}) {
        const char* name = receiver == 0 ? "receiver1" : "receiver2";
        for (int g = 0; g < 6; ++g) {
            EXPECT_EQ(counted[static_cast<std::size_t>(receiver * 6 + g)],
                      sent(name, "groups", groups[g]))
                << name << " " << groups[g];
            frames[static_cast<std::size_t>(receiver)] += sent(name, "groups", groups[g]);
        }
    }
    const auto types = [&](std::initializer_list<const char*> keys) {
        std::int64_t sum = 0;
        for (const char* key : keys) sum += sent("feed", "types", key);
        return sum;
    };
    EXPECT_GT(types({"3"}), 0);
    EXPECT_EQ(counted[12], types({"5", "6"}));
    EXPECT_EQ(counted[13], types({"8"}));
    EXPECT_EQ(counted[14], types({"1", "2", "3", "4", "7"}));

    // The summaries of one second each add up to the same; at the end the device and the
    // feed connection the simulator closed are lost.
    const std::string said = ReadFileBytes(output);
    const auto receiver1 = Summaries(said, "receiver 1: ");
    const auto feed = Summaries(said, "feed: ");
    EXPECT_EQ(Total(receiver1, " frames/s"), static_cast<double>(frames[0]));
    EXPECT_EQ(Total(Summaries(said, "receiver 2: "), " frames/s"), static_cast<double>(frames[1]));
    EXPECT_EQ(Total(receiver1, "/s over"),
              static_cast<double>(sent("receiver1", "groups", "DF11") +
                                  sent("receiver1", "groups", "DF17_19")));
    EXPECT_EQ(Total(feed, " lines/s"),
              static_cast<double>(types({"1", "2", "3", "4", "5", "6", "7", "8"})));
    ASSERT_FALSE(feed.empty());
    EXPECT_TRUE(receiver1.back().ends_with("1 connection lost, 0 packets rejected"))
        << receiver1.back();
    EXPECT_TRUE(feed.back().ends_with("since the start 1 connection lost")) << feed.back();
    const std::string errors = run.ReadErrors();
    EXPECT_EQ(Occurrences(errors, "quorvex: receiver 1: No data: the device went away.\n"), 1u)
        << errors;
    EXPECT_EQ(Occurrences(errors, "quorvex: feed: Connection closed by 127.0.0.1:30003"), 1u)
        << errors;

    EXPECT_EQ(Lines(ReadFileBytes(program.File("coverage.csv"))).size(), 1u + kSectorCount);
    EXPECT_NE(ReadFileBytes(program.File("quorvex.ini")).find("[timer]\ninterval=1\n"),
              std::string::npos);
    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(program.Folder())) {
        if (entry.path().extension() == ".log") log = ReadFileBytes(entry.path());
    }
    EXPECT_GE(Lines(log).size(), static_cast<std::size_t>(frames[0] + frames[1]));
    EXPECT_TRUE(log.ends_with('\n'));
}

// A receiver's serial device goes away and comes back under the same name (a udev symlink
// removed, then made again for the new device): the run says both once, opens the new device
// by itself, counts its frames, and counts the loss as a connection lost.
TEST(HeadlessRunTest, ASerialDeviceThatComesBackIsOpenedAgain) {
    ProgramUnderTest program;
    const std::string link = program.File("ttyReceiver");
    auto device = std::make_unique<Pty>();
    ASSERT_EQ(::symlink(device->Path().c_str(), link.c_str()), 0);
    const std::string output = program.File("summary.txt");
    ChildProcess run(program.File("quorvex"),
                     {"--no-window", "--receiver1=" + link + ":115200:*", "--summary-every=1"},
                     kNoDisplay, output);
    const auto summaries = [&] { return Summaries(ReadFileBytes(output), "receiver 1: "); };
    const auto frames = [&] { return Total(summaries(), " frames/s"); };
    std::string errors;
    const auto said = [&](const std::string& message) {
        errors = run.ReadErrors();
        return Occurrences(errors, "quorvex: receiver 1: " + message + "\n");
    };
    const auto send = [](Pty& pty, int count) {
        for (int i = 0; i < count; ++i) pty.Write("*8D4840D6202CC371C32CE0576098;\r\n");
    };
    ASSERT_TRUE(Within(60s, [&] { return !summaries().empty() || !run.Running(); }));
    ASSERT_TRUE(run.Running()) << run.ReadErrors();

    send(*device, 5);
    ASSERT_TRUE(Within(30s, [&] { return frames() == 5; })) << frames();
    ASSERT_EQ(::unlink(link.c_str()), 0);
    device.reset();
    ASSERT_TRUE(Within(30s, [&] { return said("No data: the device went away.") > 0; })) << errors;
    // Gone for longer than a try: the link that is not there is tried and not found.
    std::this_thread::sleep_for(6s);
    EXPECT_EQ(said(link + " is back."), 0u) << errors;

    device = std::make_unique<Pty>();
    ASSERT_EQ(::symlink(device->Path().c_str(), link.c_str()), 0);
    ASSERT_TRUE(Within(30s, [&] { return said(link + " is back.") > 0; })) << errors;
    send(*device, 7);
    ASSERT_TRUE(Within(30s, [&] { return frames() == 12; })) << frames();
    ASSERT_TRUE(Within(30s, [&] {
        return summaries().back().ends_with("1 connection lost, 0 packets rejected");
    })) << summaries().back();

    ::kill(run.Pid(), SIGTERM);
    ASSERT_TRUE(Within(30s, [&] { return !run.Running(); }));
    EXPECT_EQ(run.ExitCode(), 0) << errors;
    EXPECT_EQ(said("No data: the device went away."), 1u) << errors;
    EXPECT_EQ(said(link + " is back."), 1u) << errors;
    EXPECT_EQ(frames(), 12);
}

// Both receivers on Beast, receiver 1 on the simulator's pseudo-terminal, receiver 2 on its
// TCP server, receiver 2 with 3 dB more gain, each hearing every frame: the level CSV the
// program writes at its end equals the simulator's truth to the printed digit, and the
// summary says it in words.
TEST(HeadlessRunTest, TheLevelCsvOfTwoBeastReceiversEqualsTheSimulatorsTruth) {
    ProgramUnderTest program;
    const std::string truthPath = program.File("truth.json");
    ChildProcess sim(QUORVEX_SIM_PATH,
                     {"--receiver1=pty:3000000:beast", "--receiver2=tcp-beast:0", "--gain1=20",
                      "--gain2=23", "--hear1=1", "--hear2=1", "--distant=0", "--corrupt=0",
                      "--seconds=3", "--seed=5", "--truth=" + truthPath, "--wait-for-go"});
    const auto [pty, port] = SimulatorOutputs(sim);
    ASSERT_FALSE(pty.empty() || port.empty()) << sim.ReadErrors();

    const std::string output = program.File("summary.txt");
    ChildProcess run(
        program.File("quorvex"),
        {"--no-window", "--receiver1=" + pty + ":3000000:beast",
         "--receiver2=tcp:127.0.0.1:" + port + ":beast", "--level-csv", program.File("levels.csv"),
         "--summary-every=1", "--history-csv", program.File("history.csv"), "--history-every=1"},
        kNoDisplay, output);
    const auto summaries = [&] { return Summaries(ReadFileBytes(output), "receiver 1: ").size(); };
    // Two summaries: started, and receiver 2 connected long since.
    ASSERT_TRUE(Within(60s, [&] { return summaries() > 1 || !run.Running(); }));
    ASSERT_TRUE(run.Running()) << run.ReadErrors();
    ASSERT_TRUE(sim.WriteInput("go\n"));
    ASSERT_TRUE(Within(30s, [&] { return !sim.Running(); }));
    ASSERT_EQ(sim.ExitCode(), 0) << sim.ReadErrors();
    const std::size_t ended = summaries();
    ASSERT_TRUE(Within(30s, [&] { return summaries() >= ended + 3; }));  // every twin settled
    ::kill(run.Pid(), SIGTERM);
    ASSERT_TRUE(Within(30s, [&] { return !run.Running(); }));
    EXPECT_EQ(run.ExitCode(), 0) << run.ReadErrors();

    std::ifstream truthFile(truthPath);
    std::string truthLine;
    for (std::string line; std::getline(truthFile, line);) truthLine = line;
    const QJsonObject levels =
        QJsonDocument::fromJson(QByteArray::fromStdString(truthLine)).object()["levels"].toObject();
    const std::vector<std::string> rows = Lines(ReadFileBytes(program.File("levels.csv")));
    ASSERT_GE(rows.size(), 3u);
    std::vector<std::string> columns, all;
    for (const auto& [row, cells] : {std::pair{rows[0], &columns}, std::pair{rows[1], &all}}) {
        std::istringstream in(row.substr(0, row.find('\r')));
        for (std::string cell; std::getline(in, cell, ',');) cells->push_back(cell);
    }
    ASSERT_EQ(all.size(), columns.size());
    EXPECT_EQ(all[0], "all");
    for (std::size_t i = 1; i < columns.size(); ++i) {
        const QJsonValue sent = levels[QString::fromStdString(columns[i])];
        EXPECT_EQ(all[i], sent.isString() ? sent.toString().toStdString()
                                          : std::to_string(sent.toInteger()))
            << columns[i];
    }
    EXPECT_GT(levels["compared"].toInteger(), 500);

    // The history's periods of a minute add up to the frames each receiver was sent.
    const QJsonObject sent = QJsonDocument::fromJson(QByteArray::fromStdString(truthLine)).object();
    std::array<std::int64_t, 2> frames{};
    const std::vector<std::string> periods = Lines(ReadFileBytes(program.File("history.csv")));
    ASSERT_GE(periods.size(), 2u);
    EXPECT_TRUE(periods[0].starts_with("period_start_utc,period_seconds,measured_seconds,"));
    for (std::size_t p = 1; p < periods.size(); ++p) {
        std::istringstream cells(periods[p]);
        std::string cell;
        for (int column = 0; column < 5 && std::getline(cells, cell, ','); ++column) {
            if (column == 1) {
                EXPECT_EQ(cell, "60");
            } else if (column >= 3) {
                frames[static_cast<std::size_t>(column - 3)] += std::stoll(cell);
            }
        }
    }
    for (const int r : {0, 1}) {
        EXPECT_EQ(frames[static_cast<std::size_t>(r)],
                  sent[QStringLiteral("receiver%1").arg(r + 1)]["frames"].toInteger())
            << "receiver " << r + 1;
    }
    const std::string said = ReadFileBytes(output);
    const std::string last = said.substr(said.rfind(" levels: "));
    char median[16];
    std::snprintf(median, sizeof median, "%.1f", std::stod(all[6]));
    EXPECT_TRUE(last.starts_with(std::string(" levels: Receiver 2 hears the same transmissions ") +
                                 median + " dB stronger (95 %: "))
        << last;
}

// A long run as a systemd unit lives it: killed with SIGKILL at random moments and started
// again with --resume, the simulator sending all along, until its --end-after time. The session
// goes on each time: at the end its history holds what was sent less at most what came in the
// seconds since each last checkpoint and while the program was down, and those seconds are gaps,
// not measured.
TEST(HeadlessRunTest, ARunKilledAndResumedLosesOnlyTheSecondsSinceItsLastCheckpoint) {
    ProgramUnderTest program;
    const std::string truthPath = program.File("truth.json");
    constexpr int kSimSeconds = 36;
    ChildProcess sim(QUORVEX_SIM_PATH,
                     {"--receiver2=udp:*", "--seconds=" + std::to_string(kSimSeconds), "--seed=21",
                      "--truth=" + truthPath, "--wait-for-go"});
    using Clock = std::chrono::steady_clock;
    std::mt19937 random(static_cast<unsigned>(Clock::now().time_since_epoch().count()));
    const std::vector<std::string> arguments = {
        "--no-window",      "--receiver2=udp:*", "--checkpoint-every=5",      "--resume",
        "--end-after=50s",  "--history-csv",     program.File("history.csv"), "--history-every=1",
        "--summary-every=1"};
    std::vector<double> lostWindows;  // seconds that may be lost, per kill
    std::string errors;
    Clock::time_point killedAt;
    for (int runs = 0;; ++runs) {
        const std::string output = program.File("summary" + std::to_string(runs) + ".txt");
        ChildProcess run(program.File("quorvex"), arguments, kNoDisplay, output);
        const auto summaries = [&] {
            return Summaries(ReadFileBytes(output), "receiver 2: ").size();
        };
        ASSERT_TRUE(Within(60s, [&] { return summaries() > 0 || !run.Running(); }));
        ASSERT_TRUE(run.Running()) << run.ReadErrors();
        if (runs == 0) {
            ASSERT_TRUE(sim.WriteInput("go\n"));
        } else {
            // Up again: from the last checkpoint (at most 5 ticks before the kill) to the
            // first tick of this run.
            lostWindows.push_back(std::chrono::duration<double>(Clock::now() - killedAt).count() +
                                  6.0);
        }
        if (runs == 3) {
            // The session's 50 s, counted from the first run's start, end it after the
            // simulator's 36 s.
            ASSERT_TRUE(Within(90s, [&] { return !run.Running(); }));
            EXPECT_FALSE(sim.Running());
            EXPECT_EQ(run.ExitCode(), 0) << run.ReadErrors();
            errors += run.ReadErrors();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3000 + random() % 5000));
        ::kill(run.Pid(), SIGKILL);
        killedAt = Clock::now();
        ASSERT_TRUE(Within(30s, [&] { return !run.Running(); }));
        errors += run.ReadErrors();
        std::this_thread::sleep_for(std::chrono::milliseconds(500 + random() % 1500));
    }
    ASSERT_EQ(sim.ExitCode(), 0) << sim.ReadErrors();
    EXPECT_EQ(Occurrences(errors, "quorvex: Continuing the session "), 3u) << errors;
    EXPECT_EQ(Occurrences(errors, "quorvex: No session to continue in "), 1u) << errors;
    EXPECT_EQ(Occurrences(errors,
                          "quorvex: The session has run for its --end-after time: it "
                          "ends.\n"),
              1u)
        << errors;

    std::ifstream truthFile(truthPath);
    std::string truthLine;
    for (std::string line; std::getline(truthFile, line);) truthLine = line;
    const auto sent = QJsonDocument::fromJson(QByteArray::fromStdString(truthLine))
                          .object()[QStringLiteral("receiver2")][QStringLiteral("frames")]
                          .toInteger();
    std::int64_t frames = 0;
    std::int64_t measured = 0;
    const std::vector<std::string> periods = Lines(ReadFileBytes(program.File("history.csv")));
    ASSERT_GE(periods.size(), 2u);
    for (std::size_t p = 1; p < periods.size(); ++p) {
        std::vector<std::string> cells;
        std::istringstream in(periods[p]);
        for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
        ASSERT_GE(cells.size(), 5u);
        measured += std::stoll(cells[2]);
        frames += std::stoll(cells[4]);
    }
    double mayLose = 0;
    for (const double window : lostWindows) mayLose += window;
    const double perSecond = static_cast<double>(sent) / kSimSeconds;
    EXPECT_LE(frames, sent);
    EXPECT_GE(static_cast<double>(frames), static_cast<double>(sent) - perSecond * mayLose)
        << "sent " << sent << ", may lose " << mayLose << " s";
    EXPECT_LT(frames, sent) << "what came while it was down was not heard";
    // Measured: the session's 50 s less at least the time down and at most what may be lost.
    EXPECT_GE(measured, 50 - static_cast<std::int64_t>(mayLose) - 2);
    EXPECT_LE(measured, 50 - 3);
    std::size_t sessions = 0;
    for (const auto& entry : std::filesystem::directory_iterator(program.File("sessions"))) {
        sessions += entry.is_directory() ? 1 : 0;
    }
    EXPECT_EQ(sessions, 1u) << "every run went on with the first one's session";
}

struct SetUpFailure {
    const char* name;
    std::vector<std::string> arguments;
    std::string said;  // the whole of standard error; a "..." ending: what it begins with
    int exitCode;
    bool udpTaken = false;      // another program holds the UDP port receiver 2 listens on
    std::string settings = {};  // quorvex.ini beforehand; "P/" stands for the folder
};

void PrintTo(const SetUpFailure& c, std::ostream* out) {
    *out << c.name;
}

const SetUpFailure kFailures[] = {
    {"NoSuchDevice",
     {"--receiver1=/dev/quorvex-none:115200:*"},
     "quorvex: Receiver 1 cannot be set up on /dev/quorvex-none: Unable to open com port (win "
     "error code: 2).\n",
     1},
    {"UdpPortInUse",
     {"--receiver2=udp:*"},
     "quorvex: Receiver 2 cannot listen on UDP port 7934: Could not bind socket. Address and "
     "port are already in use.\n",
     1,
     true},
    {"HostNotResolved",
     {"--receiver1=tcp:decoder.invalid:30002:raw"},
     "quorvex: Receiver 1 cannot be set up: the host name in decoder.invalid:30002 cannot be "
     "resolved (...",
     1},
    // Receiver 2's profile puts it on a serial line with no port, and there is no feed.
    {"NothingToMeasure",
     {},
     "quorvex: Nothing to measure: no receiver is set up (--receiver1, --receiver2 or a profile "
     "in the settings) and the feed is not connected (--connect).\n",
     1,
     false,
     "[profiles]\nprofile2=P/profiles/quiet.prf\n"},
    {"SummaryPeriodNotANumber",
     {"--summary-every=5min"},
     "quorvex: \"5min\" is not a summary period: --summary-every takes a whole number of seconds "
     "from 1 to 86400.\n",
     2},
};

class HeadlessSetUpTest : public ::testing::TestWithParam<SetUpFailure> {};

TEST_P(HeadlessSetUpTest, IsOneSentenceAndANonZeroExit) {
    const SetUpFailure& c = GetParam();
    const int udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (c.udpTaken) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(7934);
        ASSERT_EQ(::bind(udp, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }

    ProgramUnderTest program;
    std::string settings = c.settings;
    if (const std::size_t at = settings.find("P/"); at != std::string::npos) {
        settings.replace(at, 2, program.Folder());
        WriteFile(program.File("profiles/quiet.prf"), "[intf]\nport=\nbaudrate=0\nstring=1\n");
        WriteFile(program.File("quorvex.ini"), settings);
    }
    std::vector<std::string> arguments = {"--no-window"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    ChildProcess run(program.File("quorvex"), arguments, kNoDisplay);
    const bool ended = Within(30s, [&] { return !run.Running(); });
    ::close(udp);
    ASSERT_TRUE(ended) << run.ReadErrors();
    EXPECT_EQ(run.ExitCode(), c.exitCode);
    const std::string& errors = run.ReadErrors();
    if (c.said.ends_with("...")) {
        EXPECT_TRUE(errors.starts_with(c.said.substr(0, c.said.size() - 3))) << errors;
        EXPECT_EQ(Lines(errors).size(), 1u) << errors;
    } else {
        EXPECT_EQ(errors, c.said);
    }
    // Nothing ran: the settings are left alone.
    EXPECT_EQ(std::filesystem::exists(program.File("quorvex.ini")), !settings.empty());
    if (!settings.empty()) {
        EXPECT_EQ(ReadFileBytes(program.File("quorvex.ini")), settings);
    }
}

INSTANTIATE_TEST_SUITE_P(Headless, HeadlessSetUpTest, ::testing::ValuesIn(kFailures),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quorvex::app::test
