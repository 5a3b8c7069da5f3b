// The real program with --no-window and --metrics, fed by the simulator's two Beast
// receivers (a pseudo-terminal and a TCP server) and scraped every second by a real Prometheus of
// the test's own: what Prometheus holds once the traffic ended equals what the --csv and
// --coverage-csv files count, the measurement stays exact while clients abuse the endpoint, and a
// scrape passes promtool's check. A metrics port already taken is said and the run goes on, ending
// with exit code 1.

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "program_run.h"
#include "support/child_process.h"
#include "support/free_port.h"
#include "support/http_client.h"

namespace quorvex::app::test {
namespace {

using namespace std::chrono_literals;
using quorvex::test::BodyOf;
using quorvex::test::ChildProcess;
using quorvex::test::Exchange;
using quorvex::test::ReadFileBytes;
using quorvex::test::StatusOf;

// The first match's group 1 in what `child` says on standard error, waiting up to `bound`.
std::string Said(ChildProcess& child, const std::string& pattern, std::chrono::seconds bound) {
    std::string found;
    Within(bound, [&] {
        std::smatch match;
        const std::string said = child.ReadErrors();
        if (std::regex_search(said, match, std::regex(pattern))) found = match[1];
        return !found.empty() || !child.Running();
    });
    return found;
}

std::string HttpGet(int port, const std::string& target) {
    // HTTP/1.0: the answer comes whole, not in chunks, and the server closes.
    return Exchange(port, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", 10s);
}

// Prometheus's instant query of `metric`: each series' labels joined ("receiver1 DF11") and
// its value.
std::map<std::string, double> Query(int port, const std::string& metric,
                                    const std::vector<std::string>& labels) {
    const std::string body = BodyOf(HttpGet(port, "/api/v1/query?query=" + metric));
    const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    std::map<std::string, double> series;
    for (const QJsonValue& entry : answer["data"]["result"].toArray()) {
        std::string key;
        for (const std::string& label : labels) {
            if (!key.empty()) key += ' ';
            key += entry["metric"][QString::fromStdString(label)].toString().toStdString();
        }
        series[key] = entry["value"][1].toString().toDouble();
    }
    return series;
}

// The value of every sample of `metric` in a scrape, by the same keys as Query.
double ScrapedSum(const std::string& scrape, const std::string& metric) {
    double sum = 0;
    std::istringstream lines(scrape);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(metric + "{")) sum += std::stod(line.substr(line.rfind(' ') + 1));
    }
    return sum;
}

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string>& cells = rows.emplace_back();
        std::istringstream in(line);
        for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.emplace_back();
    }
    return rows;
}

// The sum of every row's cell under each column of the header, by the column's name.
std::map<std::string, double> ColumnSums(const std::string& text) {
    const auto rows = CsvRows(text);
    std::map<std::string, double> sums;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[0].size() && c < rows[r].size(); ++c) {
            if (!rows[r][c].empty()) sums[rows[0][c]] += std::stod(rows[r][c]);
        }
    }
    return sums;
}

// Clients that misbehave at once, each within its bound; the statuses they got.
std::vector<int> Abuse(int port) {
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 1200 && files.rlim_max >= 1200) {
        files.rlim_cur = 1200;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    auto idle = std::async(std::launch::async, [port] {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::vector<int> fds;
        for (int i = 0; i < 1000; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) break;
            fds.push_back(fd);
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        std::this_thread::sleep_for(3s);
        for (const int fd : fds) ::close(fd);
        return static_cast<int>(fds.size());
    });
    const auto request = [port](std::string text, std::chrono::milliseconds pace) {
        return std::async(std::launch::async,
                          [port, text, pace] { return StatusOf(Exchange(port, text, 30s, pace)); });
    };
    std::vector<std::future<int>> answers;
    answers.push_back(request("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", 1000ms));
    answers.push_back(
        request("GET /metrics HTTP/1.1\r\nX-Big: " + std::string(1 << 20, 'h') + "\r\n\r\n", 0ms));
    answers.push_back(request("POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n", 0ms));
    answers.push_back(request("GET /secret HTTP/1.1\r\n\r\n", 0ms));
    std::vector<int> statuses{idle.get()};
    for (auto& answer : answers) statuses.push_back(answer.get());
    return statuses;
}

TEST(HeadlessMetricsTest, PrometheusHoldsWhatTheCsvFilesCountWhileClientsAbuseTheEndpoint) {
    ProgramUnderTest program;
    const std::string truthPath = program.File("truth.json");
    ChildProcess sim(QUORVEX_SIM_PATH,
                     {"--receiver1=pty:3000000:beast", "--receiver2=tcp-beast:0", "--seconds=6",
                      "--seed=17", "--truth=" + truthPath, "--wait-for-go", "--station=52,5"});
    const auto [pty, port2] = SimulatorOutputs(sim);
    ASSERT_FALSE(pty.empty() || port2.empty()) << sim.ReadErrors();

    const std::string output = program.File("summary.txt");
    ChildProcess run(program.File("quorvex"),
                     {"--no-window", "--receiver1=" + pty + ":3000000:beast",
                      "--receiver2=tcp:127.0.0.1:" + port2 + ":beast", "--csv",
                      program.File("run.csv"), "--coverage-csv", program.File("coverage.csv"),
                      "--station=52,5", "--summary-every=1", "--metrics", "127.0.0.1:0"},
                     kNoDisplay, output);
    const std::string metricsPort =
        Said(run, "quorvex: metrics on http://127\\.0\\.0\\.1:(\\d+)/metrics\n", 60s);
    ASSERT_FALSE(metricsPort.empty()) << run.ReadErrors();
    const int port = std::stoi(metricsPort);

    // Prometheus of our own: a second's scrapes, its storage in the program's folder.
    const int prometheusPort = quorvex::test::FreeTcpPort();
    std::ofstream(program.File("prometheus.yml"))
        << "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
           "scrape_configs:\n  - job_name: station\n    static_configs:\n"
           "      - targets: ['127.0.0.1:"
        << port << "']\n";
    ChildProcess prometheus(
        QUORVEX_PROMETHEUS_PATH,
        {"--config.file=" + program.File("prometheus.yml"),
         "--storage.tsdb.path=" + program.File("tsdb"),
         "--web.listen-address=127.0.0.1:" + std::to_string(prometheusPort), "--log.level=warn"});
    const auto up = [&] { return Query(prometheusPort, "up", {"job"}); };
    ASSERT_TRUE(Within(60s, [&] { return up()["station"] == 1.0 || !prometheus.Running(); }))
        << prometheus.ReadErrors();

    ASSERT_TRUE(sim.WriteInput("go\n"));
    const std::vector<int> statuses = Abuse(port);
    EXPECT_EQ(statuses[0], 1000);                                          // idle connections made
    EXPECT_TRUE(statuses[1] == 400 || statuses[1] == 408) << statuses[1];  // a byte a second
    EXPECT_TRUE(statuses[2] == 400 || statuses[2] == 413 || statuses[2] == 431) << statuses[2];
    EXPECT_EQ(statuses[3], 405);
    EXPECT_EQ(statuses[4], 404);
    ASSERT_TRUE(Within(60s, [&] { return !sim.Running(); }));
    ASSERT_EQ(sim.ExitCode(), 0) << sim.ReadErrors();

    // Once two seconds have closed after the traffic, the scrape holds all of it; then
    // Prometheus has it too.
    const auto summaries = [&] {
        const std::string said = ReadFileBytes(output);
        std::size_t count = 0;
        for (std::size_t at = said.find("Z receiver 1: "); at != std::string::npos;
             at = said.find("Z receiver 1: ", at + 1)) {
            ++count;
        }
        return count;
    };
    const std::size_t ended = summaries();
    ASSERT_TRUE(Within(30s, [&] { return summaries() >= ended + 2; }));
    const std::string scrape = BodyOf(HttpGet(port, "/metrics"));
    const double scrapedFrames = ScrapedSum(scrape, "quorvex_frames_total");
    ASSERT_GT(scrapedFrames, 0) << scrape;
    std::map<std::string, double> frames, positions;
    ASSERT_TRUE(Within(30s, [&] {
        frames = Query(prometheusPort, "quorvex_frames_total", {"source", "group"});
        double sum = 0;
        for (const auto& [key, value] : frames) sum += value;
        return sum == scrapedFrames;
    })) << scrape;
    positions = Query(prometheusPort, "quorvex_positions_total", {"source"});

    // A real scrape passes promtool's check.
    std::ofstream(program.File("scrape.txt")) << scrape;
    const std::string check = std::string(QUORVEX_PROMTOOL_PATH) + " check metrics < " +
                              program.File("scrape.txt") + " > " + program.File("check.txt") +
                              " 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << ReadFileBytes(program.File("check.txt"));

    ::kill(run.Pid(), SIGTERM);
    ASSERT_TRUE(Within(30s, [&] { return !run.Running(); }));
    EXPECT_EQ(run.ExitCode(), 0) << run.ReadErrors();

    // The CSV files' sums: Prometheus has each series' the same; the measurement, abused or
    // not, counted every frame the simulator sent.
    std::ifstream truthFile(truthPath);
    std::string truthLine;
    for (std::string line; std::getline(truthFile, line);) truthLine = line;
    const QJsonObject truth =
        QJsonDocument::fromJson(QByteArray::fromStdString(truthLine)).object();
    const auto seconds = ColumnSums(ReadFileBytes(program.File("run.csv")));
    ASSERT_EQ(frames.size(), 12u);
    for (const char* receiver : {"receiver1", "receiver2"}) {
        for (const char* group : {"DF0", "DF4_5", "DF11", "DF11_IC", "DF17_19", "DF20_21"}) {
            const std::string column = std::string(receiver) + "_" + group;
            EXPECT_EQ(frames[std::string(receiver) + " " + group], seconds.at(column)) << column;
            EXPECT_EQ(seconds.at(column), truth[receiver]["groups"][group].toInteger()) << column;
        }
    }
    const auto coverage = ColumnSums(ReadFileBytes(program.File("coverage.csv")));
    ASSERT_EQ(positions.size(), 3u);
    for (const char* source : {"receiver1", "receiver2", "feed"}) {
        EXPECT_EQ(positions[source], coverage.at(std::string(source) + "_positions")) << source;
    }
    EXPECT_GT(positions["receiver1"], 0);
}

TEST(HeadlessMetricsTest, AMetricsPortAlreadyTakenIsSaidAndTheRunGoesOnToExitCodeOne) {
    quorvex::test::HeldTcpPort taken;
    ASSERT_NE(taken.Port(), 0);
    const std::string port = std::to_string(taken.Port());

    ProgramUnderTest program;
    const std::string output = program.File("summary.txt");
    // A receiver nobody serves: the run starts and keeps trying to connect.
    ChildProcess run(
        program.File("quorvex"),
        {"--no-window",
         "--receiver1=tcp:127.0.0.1:" + std::to_string(quorvex::test::FreeTcpPort()) + ":raw",
         "--summary-every=1", "--metrics", port},
        kNoDisplay, output);
    ASSERT_TRUE(Within(60s, [&] {
        return ReadFileBytes(output).find("receiver 1: ") != std::string::npos || !run.Running();
    }));
    ASSERT_TRUE(run.Running()) << run.ReadErrors();
    ::kill(run.Pid(), SIGTERM);
    ASSERT_TRUE(Within(30s, [&] { return !run.Running(); }));
    EXPECT_EQ(run.ExitCode(), 1);
    EXPECT_NE(run.ReadErrors().find("quorvex: Metrics cannot listen on 127.0.0.1:" + port +
                                    ": Address already in use. The run goes on without "
                                    "metrics.\n"),
              std::string::npos)
        << run.ReadErrors();
}

}  // namespace
}  // namespace quorvex::app::test
