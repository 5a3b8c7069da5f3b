// The real program with --no-window, fed by the simulator, stopped with SIGSTOP for a few
// seconds and continued: what the kernel kept meanwhile is no spike in the --csv seconds, the
// stall is a jump of their times, and it is said once on standard error with the frames that
// came meanwhile, which the seconds leave out and the simulator's truth has.

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <iterator>
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

using namespace std::chrono_literals;
using quorvex::test::ChildProcess;
using quorvex::test::ReadFileBytes;

std::size_t SummaryLines(const std::string& path) {
    const std::string text = ReadFileBytes(path);
    std::size_t count = 0;
    for (std::size_t at = text.find("Z receiver 2: "); at != std::string::npos;
         at = text.find("Z receiver 2: ", at + 1)) {
        ++count;
    }
    return count;
}

TEST(HeadlessRunTest, AStoppedProgramCountsItsBacklogWithoutASpikeAndSaysSoOnce) {
    ProgramUnderTest program;
    const std::string truthPath = program.File("truth.json");
    ChildProcess sim(QUORVEX_SIM_PATH,
                     {"--receiver1=pty:3000000:*", "--receiver2=udp:*", "--seconds=16", "--seed=5",
                      "--truth=" + truthPath, "--wait-for-go"});
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
                      "--csv", program.File("run.csv"), "--summary-every=1"},
                     kNoDisplay, output);
    ASSERT_TRUE(Within(60s, [&] { return SummaryLines(output) > 0 || !run.Running(); }));
    ASSERT_TRUE(run.Running()) << run.ReadErrors();
    ASSERT_TRUE(sim.WriteInput("go\n"));
    const std::size_t started = SummaryLines(output);
    ASSERT_TRUE(Within(30s, [&] { return SummaryLines(output) >= started + 4; }));
    ::kill(run.Pid(), SIGSTOP);
    std::this_thread::sleep_for(6s);
    ::kill(run.Pid(), SIGCONT);
    ASSERT_TRUE(Within(60s, [&] { return !sim.Running(); }));
    ASSERT_EQ(sim.ExitCode(), 0) << sim.ReadErrors();
    const std::size_t ended = SummaryLines(output);
    ASSERT_TRUE(Within(30s, [&] { return SummaryLines(output) >= ended + 2; }));
    ::kill(run.Pid(), SIGTERM);
    ASSERT_TRUE(Within(30s, [&] { return !run.Running(); }));
    EXPECT_EQ(run.ExitCode(), 0);

    // Said once, with how long and how many.
    const std::string errors = run.ReadErrors();
    const std::regex said(
        "quorvex: The program did not run for (\\d+) s; ([0-9,]+) frames that arrived "
        "meanwhile are counted but not compared\\.\n");
    auto found = std::sregex_iterator(errors.begin(), errors.end(), said);
    ASSERT_EQ(std::distance(found, std::sregex_iterator()), 1) << errors;
    const int stalled = std::stoi((*found)[1]);
    EXPECT_GE(stalled, 5) << errors;
    EXPECT_LE(stalled, 8) << errors;
    std::string digits = (*found)[2];
    digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
    const std::int64_t backlog = std::stoll(digits);
    EXPECT_GT(backlog, 0);

    // The seconds: no row holds more than twice the middle one of those the simulator sent
    // in, and one jump of their times is the stall.
    std::vector<std::int64_t> frames;
    std::vector<std::int64_t> times;
    std::int64_t counted = 0;
    std::istringstream rows(ReadFileBytes(program.File("run.csv")));
    std::string row;
    std::getline(rows, row);
    ASSERT_TRUE(row.starts_with("time,"));
    while (std::getline(rows, row)) {
        std::istringstream cells(row);
        std::string cell;
        std::getline(cells, cell, ',');
        std::tm when{};
        std::istringstream(cell) >> std::get_time(&when, "%Y-%m-%dT%H:%M:%SZ");
        times.push_back(timegm(&when));
        std::int64_t second = 0;
        for (int column = 0; column < 12; ++column) {
            std::getline(cells, cell, ',');
            second += std::stoll(cell);
        }
        frames.push_back(second);
        counted += second;
    }
    std::vector<std::int64_t> sorted;
    std::copy_if(frames.begin(), frames.end(), std::back_inserter(sorted),
                 [](std::int64_t n) { return n > 0; });
    ASSERT_GE(sorted.size(), 5U);
    std::sort(sorted.begin(), sorted.end());
    const std::int64_t middle = sorted[sorted.size() / 2];
    EXPECT_LE(sorted.back(), 2 * middle) << "a spike of " << sorted.back();
    int jumps = 0;
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_GT(times[i], times[i - 1]);
        if (times[i] - times[i - 1] >= 5) ++jumps;
    }
    EXPECT_EQ(jumps, 1);

    // The truth: the rows and the backlog, less at most the second the stall broke into.
    std::ifstream truthFile(truthPath);
    std::string truthLine;
    for (std::string line; std::getline(truthFile, line);) truthLine = line;
    const QJsonObject truth =
        QJsonDocument::fromJson(QByteArray::fromStdString(truthLine)).object();
    std::int64_t sent = 0;
    for (const char* receiver : {"receiver1", "receiver2"}) {
        for (const char* group : {"DF0", "DF4_5", "DF11", "DF11_IC", "DF17_19", "DF20_21"}) {
            sent += truth[QLatin1String(receiver)][QLatin1String("groups")][QLatin1String(group)]
                        .toInt();
        }
    }
    EXPECT_LE(counted + backlog, sent);
    EXPECT_LE(sent - (counted + backlog), sorted.back());
}

}  // namespace
}  // namespace quorvex::app::test
