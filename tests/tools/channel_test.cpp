// The output channels against fake ends: the line's pace, writes that take part of what is
// offered, and the datagrams' limit and faults.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tools/sim/datagram_channel.h"
#include "tools/sim/fan_out_channel.h"
#include "tools/sim/sim_random.h"
#include "tools/sim/stream_channel.h"

namespace quorvex::sim {
namespace {

// Takes at most `take` bytes a call and remembers when it took how many.
class FakeStream final : public ByteStream {
  public:
    bool ReaderPresent() override { return true; }
    std::size_t Write(std::string_view bytes) override {
        const std::size_t n = std::min(bytes.size(), take);
        writes.push_back({now, n});
        received.append(bytes.substr(0, n));
        return n;
    }
    struct Taken {
        double time;
        std::size_t bytes;
    };
    std::size_t take = SIZE_MAX;
    double now = 0;
    std::vector<Taken> writes;
    std::string received;
};

Unit Packet(double time, std::size_t digits, std::uint32_t address) {
    Unit unit;
    unit.time = time;
    unit.address = address;
    unit.group = digits == 28 ? DfGroup::Df17_19 : DfGroup::Df11;
    unit.text = "*" + std::string(digits, '8') + ";\r\n";
    return unit;
}

// Packets offered at twice what the line carries, the loop waking at uneven steps as late
// as the pacer allows for: in no stretch of time do the writes exceed the line's bytes plus what a
// late wake-up may catch up, and the line is kept busy.
TEST(ChannelTest, PacingNeverExceedsTheLineRateAndKeepsTheLineBusy) {
    for (const std::int64_t baud : {115200, 921600, 3000000}) {
        GroundTruth truth;
        FakeStream stream;
        StreamChannel channel(Source::Receiver1, baud, stream, truth, 0);
        const double bytesPerSecond = static_cast<double>(baud) / 10.0;
        const double packetsPerSecond = 2 * bytesPerSecond / 25.0;  // mean packet 25 bytes
        SimRandom random(static_cast<std::uint64_t>(baud));
        double produced = 0;
        std::uint32_t n = 0;
        channel.Service(0);  // the reader is seen; packets are taken after the settling time
        const double start = StreamChannel::kSettleSeconds;
        for (double now = start; now < start + 3;) {
            now += random.Uniform(0, LinePacer::kCatchUpSeconds);
            stream.now = now;
            while (produced < now) {
                produced += random.Uniform(0, 2 / packetsPerSecond);
                channel.Offer(Packet(produced, random.Chance(0.5) ? 14 : 28, ++n));
            }
            channel.Service(now);
        }
        const double allowance = bytesPerSecond * LinePacer::kCatchUpSeconds + 32;
        std::size_t total = 0;
        for (std::size_t i = 0; i < stream.writes.size(); ++i) {
            std::size_t window = 0;
            for (std::size_t j = i + 1; j-- > 0;) {
                window += stream.writes[j].bytes;
                const double span = stream.writes[i].time - stream.writes[j].time;
                ASSERT_LE(static_cast<double>(window), bytesPerSecond * span + allowance)
                    << baud << " baud, writes " << j << " to " << i;
                if (span > 0.1) break;
            }
            total += stream.writes[i].bytes;
        }
        EXPECT_GT(static_cast<double>(total), bytesPerSecond * 3 * 0.95) << baud;
        EXPECT_GT(truth[Source::Receiver1].overflow, 0) << baud;
        EXPECT_EQ(truth[Source::Receiver1].bytes, static_cast<std::int64_t>(total)) << baud;
    }
}

// Two clients, the second stopped: every frame goes to both or, once the second's backlog is
// full, to none (overflow); a frame counts only once both are done with it, and when the
// second leaves, every frame the first wrote whole counts.
TEST(ChannelTest, FanOutGivesEveryClientTheSameFramesAndCountsThemOnceDone) {
    class FakeClients final : public ClientStreams {
      public:
        std::vector<std::uint64_t> Clients() override { return ids; }
        std::size_t Write(std::uint64_t client, std::string_view bytes) override {
            const std::size_t n = std::min(bytes.size(), take[client - 1]);
            received[client - 1].append(bytes.substr(0, n));
            return n;
        }
        std::vector<std::uint64_t> ids = {1, 2};
        std::array<std::size_t, 2> take = {SIZE_MAX, 0};
        std::array<std::string, 2> received;
    } clients;
    GroundTruth truth;
    FanOutChannel channel(Source::Receiver2, clients, truth);
    const SourceTruth& r2 = truth[Source::Receiver2];
    channel.Offer(Packet(0, 28, 1));  // before any client is seen: lost, uncounted
    channel.Service();
    const std::size_t fit = FanOutChannel::kBacklogBytes / 32;  // packets of 32 bytes
    for (std::uint32_t i = 0; i < fit + 10; ++i) {
        channel.Offer(Packet(0, 28, i));
        channel.Service();
    }
    EXPECT_EQ(r2.overflow, 10);
    EXPECT_EQ(r2.Frames(), 0);
    EXPECT_EQ(clients.received[0].size(), fit * 32);

    clients.take[1] = 40;  // a frame and a part of the next
    channel.Service();
    EXPECT_EQ(r2.Frames(), 1);
    clients.ids = {1};
    channel.Service();
    EXPECT_EQ(r2.Frames(), static_cast<std::int64_t>(fit));
    channel.Offer(Packet(0, 14, 7));
    channel.Service();
    EXPECT_EQ(r2.Frames(), static_cast<std::int64_t>(fit) + 1);
    EXPECT_EQ(r2.bytes, static_cast<std::int64_t>(clients.received[0].size()));
    EXPECT_EQ(clients.received[1], clients.received[0].substr(0, 40));
}

// A stream that takes a few bytes at a time: a packet counts once its last byte is out,
// and a packet cut off by the reader leaving never counts.
TEST(ChannelTest, OnlyPacketsWrittenWholeCount) {
    class Leaving final : public ByteStream {
      public:
        bool ReaderPresent() override { return present; }
        std::size_t Write(std::string_view bytes) override {
            const std::size_t n = std::min<std::size_t>(bytes.size(), 7);
            written += n;
            return n;
        }
        bool present = true;
        std::size_t written = 0;
    } stream;
    GroundTruth truth;
    StreamChannel channel(Source::Receiver2, 3000000, stream, truth, 0);
    channel.Service(0);
    for (int i = 0; i < 3; ++i) channel.Offer(Packet(1, 28, 0x100 + i));  // 32 bytes each
    double now = 1;
    for (; stream.written < 70; now += 0.001) channel.Service(now);
    const SourceTruth& r2 = truth[Source::Receiver2];
    EXPECT_EQ(r2.groups[static_cast<int>(DfGroup::Df17_19)], 2);
    EXPECT_EQ(r2.bytes, 64);
    stream.present = false;  // the third packet is cut off
    channel.Service(now);
    stream.present = true;
    channel.Service(now + 1);
    channel.Service(now + 2);
    EXPECT_EQ(r2.Frames(), 2);
    EXPECT_EQ(r2.aircraft, (std::map<std::uint32_t, std::int64_t>{{0x100, 1}, {0x101, 1}}));
}

// Packets far apart (a datagram closes after its hold time) and close together (it closes
// when the next packet would pass the limit): the ground truth counts exactly the packets
// whole within the first 1024 bytes, the part of a datagram the program reads.
TEST(ChannelTest, DatagramsStayWithinTheLimitButForTheOversizedFault) {
    for (const double spacing : {0.0004, 0.00005}) {
        SCOPED_TRACE(spacing);
        class Sink final : public DatagramSink {
          public:
            bool Send(std::string_view datagram) override {
                sent.emplace_back(datagram);
                return true;
            }
            std::vector<std::string> sent;
        } sink;
        GroundTruth truth;
        FaultPlan faults;
        faults.every[static_cast<int>(Fault::EmptyDatagram)] = 3;
        faults.every[static_cast<int>(Fault::OversizedDatagram)] = 4;
        DatagramChannel channel(Source::Receiver2, sink, truth, faults);
        double now = 0;
        for (int i = 0; i < 2000; ++i, now += spacing) {
            channel.Offer(Packet(now, i % 3 ? 28 : 14, 1));
            channel.Service(now);
        }
        std::int64_t empty = 0;
        std::int64_t oversized = 0;
        std::int64_t bytes = 0;
        std::int64_t delivered = 0;  // packets whole in the part of a datagram the program reads
        for (const std::string& datagram : sink.sent) {
            empty += datagram.empty();
            bytes += static_cast<std::int64_t>(datagram.size());
            const std::string head = datagram.substr(0, DatagramChannel::kDatagramLimit);
            delivered += std::count(head.begin(), head.end(), ';');
            if (!datagram.empty()) {
                EXPECT_TRUE(head.substr(0, head.find_last_not_of(' ') + 1).ends_with(";\r\n"));
            }
            if (datagram.size() > DatagramChannel::kDatagramLimit) {
                ++oversized;
                EXPECT_EQ(std::count(datagram.begin(), datagram.end(), ';'),
                          std::count(head.begin(), head.end(), ';') + 1);
            }
        }
        const SourceTruth& r2 = truth[Source::Receiver2];
        EXPECT_GT(empty, 10);
        EXPECT_GT(oversized, 10);
        EXPECT_EQ(r2.faults[static_cast<int>(Fault::EmptyDatagram)], empty);
        EXPECT_EQ(r2.faults[static_cast<int>(Fault::OversizedDatagram)], oversized);
        EXPECT_EQ(r2.Frames(), delivered);
        EXPECT_EQ(r2.bytes, bytes);
    }
}

}  // namespace
}  // namespace quorvex::sim
