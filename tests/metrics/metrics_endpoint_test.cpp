// The endpoint on a free loopback port: GET /metrics answers what was published last; a
// wrong path, a wrong method, an oversized header, a request that never ends, garbage and a
// thousand idle connections get their answers and hold no more than the server's few
// threads; a port already taken is said.

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "metrics/metric_values.h"
#include "metrics/metrics_endpoint.h"
#include "support/free_port.h"
#include "support/http_client.h"

namespace quorvex::metrics {
namespace {

using namespace std::chrono_literals;
using test::BodyOf;
using test::Exchange;
using test::Get;
using test::StatusOf;

std::unique_ptr<MetricsEndpoint> Open(const std::string& host = kDefaultMetricsHost, int port = 0) {
    auto listening = MetricsEndpoint::Listen(host, port);
    if (auto* trouble = std::get_if<std::string>(&listening)) {
        ADD_FAILURE() << *trouble;
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<MetricsEndpoint>>(listening));
}

std::vector<prometheus::MetricFamily> WithFrames(std::uint64_t frames) {
    MetricValues values;
    values.frames[0][2] = frames;
    values.version = "0.3";
    return MetricFamilies(values);
}

std::size_t Threads() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

TEST(MetricsEndpointTest, AScrapeAnswersWhatWasPublishedLast) {
    const auto endpoint = Open();
    ASSERT_TRUE(endpoint);
    ASSERT_GT(endpoint->Port(), 0);
    EXPECT_EQ(endpoint->Url(), "http://127.0.0.1:" + std::to_string(endpoint->Port()) + "/metrics");
    for (const std::uint64_t frames : {17u, 18u}) {
        endpoint->Publish(WithFrames(frames));
        const std::string answer = Get(endpoint->Port(), "/metrics");
        EXPECT_EQ(StatusOf(answer), 200) << answer;
        EXPECT_NE(BodyOf(answer).find("quorvex_frames_total{source=\"receiver1\",group=\"DF11\"} " +
                                      std::to_string(frames) + "\n"),
                  std::string::npos)
            << answer;
    }
}

TEST(MetricsEndpointTest, EveryOtherRequestGetsTheAnswerItDeserves) {
    const auto endpoint = Open();
    ASSERT_TRUE(endpoint);
    endpoint->Publish(WithFrames(5));
    const int port = endpoint->Port();
    // One byte a second never makes a whole request within the server's time for one.
    auto slow = std::async(std::launch::async, [port] {
        return Exchange(port,
                        "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: " +
                            std::string(30, 'a') + "\r\n\r\n",
                        20s, 1000ms);
    });
    struct Case {
        const char* what;
        std::string request;
        std::set<int> statuses;
    };
    const std::string megabyte(1 << 20, 'h');
    const std::vector<Case> cases = {
        {"another path", "GET /other HTTP/1.1\r\nHost: x\r\n\r\n", {404}},
        {"a path below", "GET /metrics/x HTTP/1.1\r\nHost: x\r\n\r\n", {404}},
        {"the root", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", {404}},
        {"POST", "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\nab", {405}},
        {"DELETE", "DELETE /metrics HTTP/1.1\r\nHost: x\r\n\r\n", {405}},
        {"PUT", "PUT /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n", {405}},
        {"a 1 MB header",
         "GET /metrics HTTP/1.1\r\nHost: x\r\nX-Big: " + megabyte + "\r\n\r\n",
         {400, 413, 431}},
        {"garbage", "\x01\x02 nonsense\r\n\r\n", {400}},
    };
    for (const Case& c : cases) {
        const std::string answer = Exchange(port, c.request);
        EXPECT_TRUE(c.statuses.contains(StatusOf(answer))) << c.what << ":\n"
                                                           << answer.substr(0, 300);
        if (StatusOf(answer) == 405) {
            EXPECT_NE(answer.find("\r\nAllow: GET\r\n"), std::string::npos);
        }
    }
    const std::string slowAnswer = slow.get();
    // The server's time for a request ran out: civetweb 1.15 answers 400 ("Malformed
    // message") and closes, not 408.
    EXPECT_TRUE(StatusOf(slowAnswer) == 408 || StatusOf(slowAnswer) == 400) << slowAnswer;
    // And the right one still works.
    EXPECT_EQ(StatusOf(Get(port, "/metrics")), 200);
}

TEST(MetricsEndpointTest, AThousandIdleConnectionsHoldNoMoreThanTheServersThreads) {
    rlimit files{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
    if (files.rlim_cur < 1200 && files.rlim_max >= 1200) {
        files.rlim_cur = 1200;
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &files), 0);
    }
    ASSERT_GE(files.rlim_cur, 1200u) << "too few file descriptors for the test";
    const auto endpoint = Open();
    ASSERT_TRUE(endpoint);
    const std::size_t threads = Threads();
    // Connections begun and left: those beyond the server's queue and backlog wait in the
    // kernel.
    std::vector<int> idle;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(endpoint->Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 1000; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) break;
        idle.push_back(fd);
        const int result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        EXPECT_TRUE(result == 0 || errno == EINPROGRESS) << std::strerror(errno);
    }
    EXPECT_EQ(idle.size(), 1000u);
    std::this_thread::sleep_for(500ms);  // the server takes what it takes
    // Publishing goes on while they wait; no thread was started for them.
    for (std::uint64_t frames = 0; frames < 1000; ++frames) endpoint->Publish(WithFrames(frames));
    EXPECT_EQ(Threads(), threads);
    for (const int fd : idle) ::close(fd);
    // Once they went, the next scrape is answered with the last figures.
    const std::string answer =
        Exchange(endpoint->Port(), "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", 30s);
    EXPECT_EQ(StatusOf(answer), 200) << answer;
    EXPECT_NE(answer.find("group=\"DF11\"} 999\n"), std::string::npos);
}

TEST(MetricsEndpointTest, APortAlreadyTakenOrAnAddressThatIsNoneIsSaid) {
    test::HeldTcpPort taken;
    const int port = taken.Port();
    ASSERT_NE(port, 0);
    const auto trouble = [](const std::string& host, int p) {
        auto listening = MetricsEndpoint::Listen(host, p);
        auto* text = std::get_if<std::string>(&listening);
        return text != nullptr ? *text : std::string("listens");
    };
    EXPECT_EQ(trouble("127.0.0.1", port), "Metrics cannot listen on 127.0.0.1:" +
                                              std::to_string(port) + ": Address already in use");
    EXPECT_EQ(trouble("example.org", 9718),
              "Metrics cannot listen on example.org:9718: not a numeric address (Name or "
              "service not known)");
    taken.Release();
    EXPECT_EQ(trouble("127.0.0.1", port), "listens");
}

}  // namespace
}  // namespace quorvex::metrics
