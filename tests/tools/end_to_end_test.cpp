// The whole simulator stepped through simulated seconds against real ends: a pseudo-terminal
// the test reads as the program would, a UDP socket, a feed client. What arrives, cut and
// decoded by the program's own framer and decoder, must be what the ground truth says.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <numbers>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/feed/feed_scan.h"
#include "cpr_decode.h"
#include "program_view.h"
#include "tools/sim/runner.h"

namespace quorvex::sim {
namespace {

using test::ProgramView;

// Reads what is there without waiting; false when the far end is gone.
bool ReadAvailable(int fd, std::string& into) {
    char block[4096];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n > 0) {
            into.append(block, static_cast<std::size_t>(n));
            continue;
        }
        return n < 0 && errno == EAGAIN;
    }
}

class PtyReader {
  public:
    explicit PtyReader(char format) : view(format) {}
    ~PtyReader() { Close(); }
    void Open(const std::string& path) {
        Close();
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) throw std::runtime_error("cannot open " + path);
        termios line{};
        ::tcgetattr(fd_, &line);
        ::cfmakeraw(&line);
        ::tcsetattr(fd_, TCSANOW, &line);
        path_ = path;
        ++opens;
    }
    // Reads on; opens the runner's new terminal after a hang-up.
    void Drain(const Runner& runner) {
        std::string chunk;
        const bool alive = ReadAvailable(fd_, chunk);
        bytes += chunk.size();
        view.Feed(chunk);
        if (!alive && runner.PtyPath(0) != path_) Open(runner.PtyPath(0));
    }
    ProgramView view;
    std::size_t bytes = 0;
    int opens = 0;

  private:
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
    std::string path_;
};

class UdpReader {
  public:
    explicit UdpReader(char format) : view(format) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        const int size = 4 << 20;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~UdpReader() { ::close(fd_); }
    void Drain() {
        char datagram[4096];
        for (ssize_t n; (n = ::recv(fd_, datagram, sizeof datagram, 0)) >= 0;) {
            bytes += static_cast<std::size_t>(n);
            largest = std::max(largest, static_cast<std::size_t>(n));
            oversized += n > 1024;
            view.FeedDatagram({datagram, static_cast<std::size_t>(n)});
        }
    }
    ProgramView view;
    int port = 0;
    std::size_t bytes = 0;
    std::size_t largest = 0;
    std::int64_t oversized = 0;

  private:
    int fd_ = -1;
};

class FeedReader {
  public:
    explicit FeedReader(int port) : port_(port) { Connect(); }
    ~FeedReader() { ::close(fd_); }
    // Reads on; connects again after a reset, as the program's Connect would.
    void Drain() {
        if (!ReadAvailable(fd_, text)) {
            ::close(fd_);
            ++resets;
            Connect();
        }
    }
    std::string text;
    int resets = 0;

  private:
    void Connect() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("cannot connect to the feed");
        }
        ::fcntl(fd_, F_SETFL, O_NONBLOCK);
    }
    int port_;
    int fd_ = -1;
};

// Positions per sector as the test works them out from what arrived. One whose bearing lies
// within 30 m of a sector's edge may count on either side: what arrived is the position to
// the CPR's few metres, or to the feed's five decimals.
struct Sectors {
    std::array<std::int64_t, kSectorCount> sure{};
    std::array<std::int64_t, kSectorCount> maybe{};
    std::array<double, kSectorCount> farthest{};
    std::int64_t total = 0;

    void Add(const RangeBearing& where) {
        ++total;
        const int k = SectorOf(where.bearing);
        const double below = where.bearing - 10.0 * k;
        const double toEdge = std::min(below, 10.0 * (k + 1) - where.bearing);
        farthest[k] = std::max(farthest[k], where.range);
        if (where.range * kMetresPerNauticalMile * std::sin(toEdge * std::numbers::pi / 180) >=
            30) {
            ++sure[k];
            return;
        }
        ++maybe[k];
        ++maybe[(k + (below == toEdge ? kSectorCount - 1 : 1)) % kSectorCount];
    }
    void Expect(const std::array<std::int64_t, kSectorCount>& counted,
                const std::array<double, kSectorCount>* counterFarthest, const char* what) const {
        EXPECT_EQ(std::accumulate(counted.begin(), counted.end(), std::int64_t{0}), total) << what;
        for (int k = 0; k < kSectorCount; ++k) {
            EXPECT_GE(counted[k], sure[k]) << what << " sector " << k;
            EXPECT_LE(counted[k], sure[k] + maybe[k]) << what << " sector " << k;
            if (counterFarthest && maybe[k] == 0) {
                EXPECT_NEAR((*counterFarthest)[k], farthest[k], 0.01) << what << " sector " << k;
            }
        }
    }
};

struct SquitterPosition {
    std::uint32_t address;
    bool odd;
    CprFields fields;
};

SquitterPosition ReadPosition(const std::string& digits) {
    const std::uint64_t me = std::stoull(digits.substr(8, 14), nullptr, 16);
    return {static_cast<std::uint32_t>(std::stoul(digits.substr(2, 6), nullptr, 16)),
            ((me >> 34) & 1) != 0,
            {static_cast<std::uint32_t>((me >> 17) & 0x1FFFF),
             static_cast<std::uint32_t>(me & 0x1FFFF)}};
}

// The truth's sectors against the position frames each receiver delivered (the same frame
// at both counts for "both") and the feed's MSG,3 lines. A frame is decoded near where the
// feed last put its aircraft, or else from an even and odd frame of it.
void ExpectCoverageAsArrived(const GroundTruth& truth, const std::vector<std::string>& first,
                             const std::vector<std::string>& second, const std::string& feed) {
    const CoverageTruth& coverage = truth.Coverage();
    ASSERT_TRUE(coverage.enabled);
    std::map<std::uint32_t, Position> reference;
    Sectors lines;
    for (std::size_t at = 0, end; (end = feed.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        std::vector<std::string> f;
        for (std::size_t from = at, comma; from <= end; from = comma + 1) {
            comma = std::min(feed.find(',', from), end);
            f.push_back(feed.substr(from, comma - from));
        }
        if (f[1] != "3") continue;
        const Position p{std::stod(f[14]), std::stod(f[15])};
        reference[static_cast<std::uint32_t>(std::stoul(f[4], nullptr, 16))] = p;
        lines.Add(FromStation(coverage.station, p.latitude, p.longitude));
    }
    lines.Expect(coverage.sources[2].positions, &coverage.sources[2].farthest, "feed");

    std::map<std::uint32_t, std::array<std::optional<CprFields>, 2>> pairs;
    for (const auto* frames : {&first, &second}) {
        for (const std::string& digits : *frames) {
            const SquitterPosition s = ReadPosition(digits);
            pairs[s.address][s.odd] = s.fields;
        }
    }
    const auto where = [&](const std::string& digits) {
        const SquitterPosition s = ReadPosition(digits);
        if (!reference.count(s.address)) {
            const auto& pair = pairs[s.address];
            const auto global = pair[0] && pair[1] ? test::DecodeGlobal(*pair[0], *pair[1])
                                                   : std::optional<Position>();
            EXPECT_TRUE(global.has_value()) << digits;
            reference[s.address] = global.value_or(Position{});
        }
        const Position p = test::DecodeLocal(s.fields, s.odd, reference[s.address]);
        return FromStation(coverage.station, p.latitude, p.longitude);
    };
    std::map<std::string, std::int64_t> atFirst;
    Sectors heard[2];
    Sectors both;
    for (const std::string& digits : first) {
        heard[0].Add(where(digits));
        ++atFirst[digits];
    }
    for (const std::string& digits : second) {
        heard[1].Add(where(digits));
        if (atFirst[digits]-- > 0) both.Add(where(digits));
    }
    heard[0].Expect(coverage.sources[0].positions, &coverage.sources[0].farthest, "receiver1");
    heard[1].Expect(coverage.sources[1].positions, &coverage.sources[1].farthest, "receiver2");
    both.Expect(coverage.both, nullptr, "both");
    EXPECT_GT(both.total, 100);
}

struct Case {
    const char* name;
    char format1;  // receiver 1 on a pty
    char format2;  // receiver 2 over UDP
    std::vector<std::string> faults;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class EndToEndTest : public ::testing::TestWithParam<Case> {};

TEST_P(EndToEndTest, WhatArrivesIsWhatTheTruthSays) {
    const Case& c = GetParam();
    UdpReader udp(c.format2);
    std::vector<std::string> args = {
        "--receiver1", std::string("pty:3000000:") + c.format1,
        "--receiver2", "udp:127.0.0.1:" + std::to_string(udp.port) + ":" + c.format2,
        "--feed=0",    "--seed",
        "3",           "--rate",
        "1500",        "--range2",
        "230",         "--shadow2",
        "240-300:60",
    };
    for (const std::string& fault : c.faults) args.insert(args.end(), {"--fault", fault});
    auto parsed = ParseSimOptions(args);
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << std::get<std::string>(parsed);
    Runner runner(std::get<SimOptions>(parsed), 1796601600000, {});

    PtyReader pty(c.format1);
    pty.Open(runner.PtyPath(0));
    FeedReader feed(runner.FeedPort());

    const GroundTruth& truth = runner.Truth();
    const auto caughtUp = [&] {
        return pty.bytes >= static_cast<std::size_t>(truth[Source::Receiver1].bytes) &&
               udp.bytes >= static_cast<std::size_t>(truth[Source::Receiver2].bytes) &&
               feed.text.size() >= static_cast<std::size_t>(truth[Source::Feed].bytes);
    };
    // Each step waits (bounded) until the test has read what was written, as a reader that
    // keeps up with the line does.
    for (int step = 0; step <= 6000; ++step) {
        runner.Step(step * 0.001);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            pty.Drain(runner);
            udp.Drain();
            feed.Drain();
            if (caughtUp()) break;
            ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "step " << step;
            ::usleep(200);
        }
    }

    const SourceTruth& r1 = truth[Source::Receiver1];
    const SourceTruth& r2 = truth[Source::Receiver2];
    for (const auto& [view, t] : {std::pair{&pty.view, &r1}, std::pair{&udp.view, &r2}}) {
        EXPECT_EQ(view->groups, t->groups);
        EXPECT_EQ(view->crcFailed, t->corrupted);
        EXPECT_EQ(view->rejected, t->faults[static_cast<int>(Fault::BadHex)]);
        EXPECT_EQ(view->aircraft, t->aircraft);
        EXPECT_GT(t->Frames(), 2000);
        EXPECT_GT(t->corrupted, 0);
    }
    if (c.faults.empty()) {
        EXPECT_GT(r1.Frames(), r2.Frames());  // a closed pty costs receiver 1 its quiet time
    }
    EXPECT_EQ(udp.bytes, static_cast<std::size_t>(r2.bytes));
    EXPECT_EQ(udp.oversized, r2.faults[static_cast<int>(Fault::OversizedDatagram)]);
    if (udp.oversized == 0) {
        EXPECT_LE(udp.largest, 1024u);
    }

    // The feed, counted as the program counts it, and line by line.
    FeedCounts counts;
    ScanFeedText(feed.text, counts);
    const auto& types = truth[Source::Feed].feedTypes;
    EXPECT_EQ(counts.Msg5_6, types[5] + types[6]);
    EXPECT_EQ(counts.Msg8, types[8]);
    EXPECT_EQ(counts.MsgOther, types[1] + types[3] + types[4] + types[7]);
    std::map<std::uint32_t, std::int64_t> lineAircraft;
    for (std::size_t at = 0, end; (end = feed.text.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        const std::string line = feed.text.substr(at, end - at);
        ASSERT_EQ(std::count(line.begin(), line.end(), ','), 21) << line;
        ASSERT_TRUE(line.starts_with("MSG,")) << line;
        std::size_t field = 0;  // the address is the fifth field
        for (int comma = 0; comma < 4; ++comma) field = line.find(',', field) + 1;
        ++lineAircraft[static_cast<std::uint32_t>(std::stoul(line.substr(field, 6), nullptr, 16))];
    }
    EXPECT_EQ(lineAircraft, truth[Source::Feed].aircraft);

    ExpectCoverageAsArrived(truth, pty.view.positions, udp.view.positions, feed.text);
    // Receiver 2 heard nothing beyond its range nor in its shadow.
    const SectorTruth& sectors2 = truth.Coverage().sources[1];
    for (int k = 0; k < kSectorCount; ++k) {
        EXPECT_LT(sectors2.farthest[k], k >= 24 && k < 30 ? 60 : 230) << "sector " << k;
    }

    // Every fault asked for happened, and was seen where it shows.
    for (const std::string& fault : c.faults) {
        const Fault f = *FaultByName(fault.substr(0, fault.find(':')));
        const std::int64_t happened =
            f == Fault::FeedReset ? truth[Source::Feed].faults[static_cast<int>(f)]
                                  : r1.faults[static_cast<int>(f)] + r2.faults[static_cast<int>(f)];
        EXPECT_GT(happened, 0) << fault;
    }
    EXPECT_EQ(pty.opens, 1 + r1.faults[static_cast<int>(Fault::PtyClose)]);
    EXPECT_EQ(feed.resets, truth[Source::Feed].faults[static_cast<int>(Fault::FeedReset)]);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EndToEndTest,
    ::testing::Values(Case{"StarAndColon", '*', ':', {}}, Case{"ColonAndCounter", ':', '@', {}},
                      Case{"CounterAndStarWithEveryFault",
                           '@',
                           '*',
                           {"garbled:7", "bad-hex:11", "nul:every 13", "overlong:17",
                            "empty-datagram:5", "oversized-datagram:9", "pty-close:3000",
                            "feed-reset:400"}}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quorvex::sim
