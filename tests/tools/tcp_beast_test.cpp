// A receiver as a Beast TCP server, stepped through simulated seconds with real clients: each
// gets the same frames, whole, and what arrives is what the ground truth counts.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "beast_reader.h"
#include "tools/sim/runner.h"

namespace quorvex::sim {
namespace {

class Client {
  public:
    explicit Client(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        connected = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::fcntl(fd_, F_SETFL, O_NONBLOCK);
    }
    ~Client() { Close(); }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    void Drain() {
        char block[4096];
        for (ssize_t n; fd_ >= 0 && (n = ::read(fd_, block, sizeof block)) > 0;) {
            bytes.append(block, static_cast<std::size_t>(n));
        }
    }
    bool connected = false;
    std::string bytes;

  private:
    int fd_ = -1;
};

TEST(TcpBeastTest, EveryClientGetsTheSameWholeFramesTheTruthCounts) {
    auto parsed = ParseSimOptions(
        {"--receiver1", "tcp-beast:0", "--seed", "5", "--rate", "2000", "--corrupt", "0.05"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << std::get<std::string>(parsed);
    std::vector<std::string> said;
    Runner runner(std::get<SimOptions>(parsed), 0,
                  [&said](const std::string& line) { said.push_back(line); });
    const int port = runner.BeastPort(0);
    ASSERT_EQ(said,
              std::vector<std::string>{"receiver1: tcp-beast 127.0.0.1:" + std::to_string(port)});
    Client first(port);
    Client second(port);
    ASSERT_TRUE(first.connected && second.connected);

    const SourceTruth& truth = runner.Truth()[Source::Receiver1];
    std::size_t secondLeftAt = 0;
    for (int step = 0; step <= 3000; ++step) {
        runner.Step(step * 0.001);
        if (step == 1500) {
            second.Drain();
            secondLeftAt = second.bytes.size();
            second.Close();
        }
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            first.Drain();
            second.Drain();
            ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "step " << step;
        } while (first.bytes.size() < static_cast<std::size_t>(truth.bytes));
    }

    std::vector<test::BeastRecord> frames;
    std::size_t rest = 0;
    ASSERT_TRUE(test::ReadBeast(first.bytes, frames, rest));
    EXPECT_EQ(rest, first.bytes.size());
    EXPECT_EQ(first.bytes.size(), static_cast<std::size_t>(truth.bytes));
    EXPECT_EQ(static_cast<std::int64_t>(frames.size()), truth.Frames() + truth.corrupted);
    EXPECT_GT(truth.Frames(), 4000);
    EXPECT_GT(truth.corrupted, 0);
    EXPECT_EQ(truth.overflow, 0);
    // The second client got the same stream up to when it left.
    ASSERT_GT(secondLeftAt, 1000u);
    EXPECT_EQ(second.bytes.substr(0, secondLeftAt), first.bytes.substr(0, secondLeftAt));

    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int df = frames[i].frame[0] >> 3;
        EXPECT_EQ(frames[i].type, df >= 16 ? '3' : '2') << i;
        EXPECT_GT(frames[i].level, 0) << i;
        if (i > 0) {
            EXPECT_GE(frames[i].counter, frames[i - 1].counter) << i;
        }
    }
    const double seconds =
        static_cast<double>(frames.back().counter - frames.front().counter) / 12e6;
    EXPECT_NEAR(seconds, 3.0, 0.01);
    const std::string json = runner.TruthJson(3, true);
    EXPECT_NE(json.find("\"format\":\"beast\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"receiver1_level_frames\":" + std::to_string(truth.Frames())),
              std::string::npos)
        << json;
}

}  // namespace
}  // namespace quorvex::sim
