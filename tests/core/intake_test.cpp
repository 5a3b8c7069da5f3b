// Packet counting per receiver, rejected packets, UDP datagram text and the feed's ticks,
// down to the bytes the logfile receives.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/base/convert_error.h"
#include "core/export/coverage_csv.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "fake_clock.h"

namespace quorvex {
namespace {

using test::FakeClock;
using test::ReadFileBytes;
using test::TempFolder;

// Frames with a correct parity field (residual 000000 with the CRC option on).
constexpr std::string_view kDf17 = "8D4840D6202CC371C32CE0576098";
constexpr std::string_view kDf17Other = "8D406B902015A678D4D220AA4BDA";
constexpr std::string_view kDf17BadParity = "8D4840D6202CC371C32CE0576099";  // residual 000001
constexpr std::string_view kDf11 = "5D4840D6F8740F";
constexpr std::string_view kDf11Ic = "5D4840D6F8740C";  // residual 000003

// One second that is not held; the counts it closed.
IntervalCounts TickOnce(quorvex::Run& run) {
    TickResult result;
    run.Second(TickInputs{}, false, result);
    const SecondRecord& second = run.Measurement().Seconds.Newest();
    IntervalCounts counts;
    auto at = second.Counts.begin();
    for (DfCounts* receiver : {&counts.Counts1, &counts.Counts2}) {
        for (int g = 0; g < kDfGroupCount; ++g) (*receiver)[static_cast<DfGroup>(g)] = *at++;
    }
    counts.CountsS = {at[0], at[1], at[2]};
    return counts;
}

class IntakeTest : public ::testing::Test {
  protected:
    IntakeTest() { clock.now = LocalDateTime{2026, 12, 7, 14, 3, 27, 45}; }

    // The packet's bad pair as the conversion message names it, or "" when none.
    std::string Packet(SourceId receiver, std::string_view packet, bool crc) {
        const auto bad = state.TakePacket(receiver, packet, crc);
        return bad ? InvalidIntegerMessage(bad->text()) : "";
    }

    std::string LogBytes() const { return ReadFileBytes(state.Log().LogPath()); }

    TempFolder folder;
    FakeClock clock;
    quorvex::Run state{folder.Folder(), clock};
};

TEST_F(IntakeTest, CountsEachGroupForItsOwnReceiver) {
    // With the CRC option off the last six digits are taken as the residual as they came.
    const std::string_view packets[] = {
        "02E197B00CE2D8",                            // DF 0
        "20000F1F684A6C",                            // DF 4
        "28000000000000",                            // DF 5
        "5D4840D6000000",                            // DF 11
        "5D4840D6000007",                            // DF 11 with interrogator code
        "8D4840D6202CC371C32CE0000000",              // DF 17
        "A0001838CA3E51F0A8000047A36A",              // DF 20
        "A8000000000000",                            // DF 21
        "0123456789AB8D4840D6202CC371C32CE0000000",  // "@" format: counter, then DF 17
    };
    for (const std::string_view packet : packets)
        state.TakePacket(SourceId::Receiver1, packet, false);
    const DfCounts expected{1, 2, 1, 1, 2, 2};
    EXPECT_EQ(state.Counts().Counts1, expected);
    EXPECT_EQ(state.Counts().Counts2, DfCounts{});

    for (const std::string_view packet : packets)
        state.TakePacket(SourceId::Receiver2, packet, false);
    EXPECT_EQ(state.Counts().Counts1, expected);
    EXPECT_EQ(state.Counts().Counts2, expected);
    EXPECT_EQ(state.Counts().CountsS, FeedCounts{});
    // Receiver 2's DF 20/21 counter is the twelfth of the fixed order.
    EXPECT_EQ(state.Counts().Counter(11), 2);
    EXPECT_EQ(state.Counts().Counter(12), 0);
}

TEST_F(IntakeTest, CrcOptionDecidesWhetherTheParityIsComputed) {
    state.TakePacket(SourceId::Receiver1, kDf17, true);
    state.TakePacket(SourceId::Receiver1, kDf17Other, true);
    state.TakePacket(SourceId::Receiver1, kDf11, true);
    state.TakePacket(SourceId::Receiver1, kDf11Ic, true);
    EXPECT_EQ(state.Counts().Counts1, (DfCounts{0, 0, 1, 1, 2, 0}));

    // Without the option the transmitted parity is compared with zero and fails.
    state.TakePacket(SourceId::Receiver2, kDf17, false);
    state.TakePacket(SourceId::Receiver2, kDf11, false);
    state.TakePacket(SourceId::Receiver2, kDf17BadParity, true);
    EXPECT_EQ(state.Counts().Counts2, DfCounts{});
}

TEST_F(IntakeTest, CounterStopsAtItsLargestValue) {
    std::int32_t counter = INT32_MAX - 1;
    CountOne(counter);
    CountOne(counter);
    EXPECT_EQ(counter, INT32_MAX);
}

TEST_F(IntakeTest, PacketWithANonHexPairIsRejectedAndLaterPacketsCount) {
    state.Log().ToggleLogging();
    EXPECT_EQ(Packet(SourceId::Receiver1, kDf17, true), "");
    // With the option on every pair is converted; the first bad one is named.
    EXPECT_EQ(Packet(SourceId::Receiver1, "8DG140D6202CC371C32CE05760ZZ", true),
              "'$G1' is not a valid integer value");
    EXPECT_EQ(Packet(SourceId::Receiver1, kDf17, true), "");
    // With the option off only the first pair is converted.
    EXPECT_EQ(Packet(SourceId::Receiver2, "x84840D6000000", false),
              "'$x8' is not a valid integer value");
    EXPECT_EQ(Packet(SourceId::Receiver2, "5D4840D6000000", false), "");
    // The length is checked before any conversion: this is merely dropped.
    EXPECT_EQ(Packet(SourceId::Receiver2, "G1", true), "");

    EXPECT_EQ(state.Counts().Counts1.Df17_19, 2);
    EXPECT_EQ(state.Counts().Counts2.Df11, 1);
    const std::string counted = "[1] *** 14:03:27.045 - 8D4840D6202CC371C32CE0000000 ***\r\n";
    EXPECT_EQ(LogBytes(), counted + counted + "[2] >>> 14:03:27.045 - 5D4840D6000000 " +
                              std::string(14, ' ') + "   >>>\r\n");
}

// Sends the same packets and feed text as another run would.
IntervalCounts SendMixedTraffic(quorvex::Run& state) {
    state.TakePacket(SourceId::Receiver1, kDf17, true);
    state.TakePacket(SourceId::Receiver1, kDf17BadParity, true);
    state.TakePacket(SourceId::Receiver2, kDf11Ic, true);
    state.TakePacket(SourceId::Receiver2, "20000F1F684A6C", false);
    state.TakePacket(SourceId::Receiver2, "802", false);
    state.TakeFeed("MSG,8,1\r\nMSG,5,1\r\nMSG,1,1\r\n");
    return TickOnce(state);
}

TEST_F(IntakeTest, LoggingOffCountsTheSameAndTouchesNoFile) {
    TempFolder otherFolder;
    quorvex::Run logged(otherFolder.Folder(), clock);
    logged.Log().ToggleLogging();
    const IntervalCounts loggedCounts = SendMixedTraffic(logged);
    const IntervalCounts counts = SendMixedTraffic(state);

    EXPECT_EQ(counts, loggedCounts);
    EXPECT_EQ(counts.Counts1.Df17_19, 1);
    EXPECT_EQ(counts.CountsS, (FeedCounts{1, 1, 1}));
    EXPECT_EQ(test::EntryCount(folder.path()), 0u);
    EXPECT_FALSE(state.Log().LogCreated());
    // Logging off again after a run leaves the file as it was.
    const std::string before = ReadFileBytes(logged.Log().LogPath());
    EXPECT_FALSE(before.empty());
    logged.Log().ToggleLogging();
    SendMixedTraffic(logged);
    EXPECT_EQ(ReadFileBytes(logged.Log().LogPath()), before);
}

TEST(UdpDatagramTextTest, TakesAtMost1024BytesUpToTheFirstZero) {
    std::vector<std::uint8_t> datagram(2000);
    for (std::size_t i = 0; i < datagram.size(); ++i) datagram[i] = "*0123456789ABCDEF;"[i % 18];

    EXPECT_TRUE(UdpDatagramText(datagram, false).empty());
    const std::string_view text = UdpDatagramText(datagram, true);
    EXPECT_EQ(text.size(), kUdpDatagramTextLimit);
    EXPECT_EQ(static_cast<const void*>(text.data()), static_cast<const void*>(datagram.data()));

    datagram[1500] = 0;  // beyond the limit: changes nothing
    EXPECT_EQ(UdpDatagramText(datagram, true).size(), 1024u);
    datagram[37] = 0;
    EXPECT_EQ(UdpDatagramText(datagram, true),
              std::string_view(reinterpret_cast<const char*>(datagram.data()), 37));
    datagram[0] = 0;
    EXPECT_TRUE(UdpDatagramText(datagram, true).empty());
    EXPECT_TRUE(UdpDatagramText({}, true).empty());
}

TEST_F(IntakeTest, FeedHalvesTakeTurnsFromTickToTick) {
    EXPECT_EQ(state.Cycle().Feed.TcpBufferSelect(), 0);
    state.TakeFeed("MSG,8,1\r\n");
    EXPECT_EQ(state.Cycle().Feed.TcpBufferB(), "MSG,8,1\r\n");
    EXPECT_TRUE(state.Cycle().Feed.TcpBufferA().empty());

    EXPECT_EQ(TickOnce(state).CountsS, (FeedCounts{0, 1, 0}));
    EXPECT_EQ(state.Cycle().Feed.TcpBufferSelect(), 1);
    EXPECT_TRUE(state.Cycle().Feed.TcpBufferB().empty());

    state.TakeFeed("MSG,5,1\r\n");
    EXPECT_EQ(state.Cycle().Feed.TcpBufferA(), "MSG,5,1\r\n");
    EXPECT_TRUE(state.Cycle().Feed.TcpBufferB().empty());
    EXPECT_EQ(TickOnce(state).CountsS, (FeedCounts{1, 0, 0}));
    EXPECT_EQ(state.Cycle().Feed.TcpBufferSelect(), 2);
    EXPECT_TRUE(state.Cycle().Feed.TcpBufferA().empty());

    state.TakeFeed("MSG,3,1\r\n");
    EXPECT_EQ(state.Cycle().Feed.TcpBufferB(), "MSG,3,1\r\n");
    EXPECT_EQ(TickOnce(state).CountsS, (FeedCounts{0, 0, 1}));
    EXPECT_EQ(state.Cycle().Feed.TcpBufferSelect(), 1);
}

// Feed text handed to the run in pieces, one tick after each and one more at the end: the
// counts of those ticks and what they added to the logfile.
struct FeedRun {
    FeedCounts counts;
    std::string log;
};

class FeedTicks {
  public:
    FeedTicks() { run.Log().ToggleLogging(); }

    FeedRun Run(std::string_view text, const std::vector<std::size_t>& cuts) {
        FeedRun result;
        std::size_t from = 0;
        for (std::size_t i = 0; i <= cuts.size(); ++i) {
            const std::size_t to = i < cuts.size() ? cuts[i] : text.size();
            run.TakeFeed(text.substr(from, to - from));
            from = to;
            const FeedCounts tick = TickOnce(run).CountsS;
            result.counts.Msg5_6 += tick.Msg5_6;
            result.counts.Msg8 += tick.Msg8;
            result.counts.MsgOther += tick.MsgOther;
            const FeedBuffers& buffers = run.Cycle().Feed;
            EXPECT_LE(std::max(buffers.TcpBufferA().size(), buffers.TcpBufferB().size()),
                      kFeedLineLimit);
        }
        std::ifstream file(run.Log().LogPath(), std::ios::binary);
        file.seekg(static_cast<std::streamoff>(logged_));
        result.log.assign(std::istreambuf_iterator<char>(file), {});
        logged_ += result.log.size();
        return result;
    }

  private:
    TempFolder folder;
    FakeClock clock;
    quorvex::Run run{folder.Folder(), clock};
    std::size_t logged_ = 0;
};

TEST(FeedTicksTest, LinesCutAnywhereByTheTickCountAndLogAsWhole) {
    // A connection's first text may begin inside a line; that piece is never a message.
    const std::string_view lines[] = {
        "MSG,8,111,11111,4840D6,1,2026/12/07,14:03:27.045,2026/12/07,14:03:27.045,,,,,,,,,,,,0\r\n",
        "MSG,5,111,11111,4840D6,1,2026/12/07,14:03:27.101,2026/12/"
        "07,14:03:27.101,,35000,,,,,,,0,,0,0\r\n",
        "MSG,3,111,11111,406B90,1,2026/12/07,14:03:27.230,2026/12/"
        "07,14:03:27.230,,36000,,,52.2572,3.9190,,,0,0,0,0\r\n",
        "MSG,6,1,1,4840D6,1,,,,,,,,,,,,7000,0,0,0,0\n",
        "MSG,4,111,11111,406B90,1,,,,,,,451,124,,,0,,,,,0\r\n",
        "MSG,8,,,\r\n",
    };
    std::string text = "0,4840D6,,35000\r\n";
    std::string log;
    FeedCounts expected;
    for (int round = 0; round < 2; ++round) {
        for (const std::string_view line : lines) {
            text += line;
            log += "[S] ###  ";
            log += line;
            const char type = line[4];
            ++(type == '5' || type == '6' ? expected.Msg5_6
               : type == '8'              ? expected.Msg8
                                          : expected.MsgOther);
        }
    }

    FeedTicks feed;
    const FeedRun whole = feed.Run(text, {});
    ASSERT_EQ(whole.counts, expected);
    ASSERT_EQ(whole.log, log);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        const FeedRun split = feed.Run(text, {cut});
        ASSERT_EQ(split.counts, expected) << "cut at " << cut;
        ASSERT_EQ(split.log, log) << "cut at " << cut;
    }
    // TCP segments of any size, several per tick or none.
    std::mt19937 random(20261209);
    for (int trial = 0; trial < 100; ++trial) {
        std::vector<std::size_t> cuts;
        for (std::size_t at = 0;;) {
            at += std::uniform_int_distribution<std::size_t>(0, 60)(random);
            if (at >= text.size()) break;
            cuts.push_back(at);
        }
        const FeedRun split = feed.Run(text, cuts);
        ASSERT_EQ(split.counts, expected) << "trial " << trial;
        ASSERT_EQ(split.log, log) << "trial " << trial;
    }
}

TEST(FeedTicksTest, LineWithoutEndWaitsNoLongerThanTheLineLimit) {
    // Text that never ends its line is held from tick to tick only up to the limit (FeedTicks
    // checks the bound after every tick), then scanned as it stands: its message is counted
    // once, and what follows its next line end is counted again.
    std::string text = "MSG,8,";
    text.append(5 * kFeedLineLimit, 'x');
    std::vector<std::size_t> cuts;
    for (std::size_t at = 1000; at < text.size(); at += 1000) cuts.push_back(at);
    text += "\r\nMSG,5,1\r\n";
    const FeedRun run = FeedTicks().Run(text, cuts);
    EXPECT_EQ(run.counts, (FeedCounts{1, 1, 0}));
    EXPECT_TRUE(run.log.ends_with("x[S] ###  MSG,5,1\r\n")) << run.log.substr(run.log.size() - 40);
}

// Failed and invalid frames are logged but not counted; dropped ones leave no trace.
TEST_F(IntakeTest, PacketsAndFeedGiveTheExactLogfile) {
    const std::string filler(14, ' ');
    state.Log().ToggleLogging();
    EXPECT_EQ(state.Log().LogPath(), folder.Folder() + "26-12-07.14.03.27.log");

    state.TakePacket(SourceId::Receiver1, kDf17, true);
    clock.now.second = 28;
    clock.now.millisecond = 7;
    state.TakePacket(SourceId::Receiver2, kDf11Ic, true);
    state.TakePacket(SourceId::Receiver2, kDf17BadParity, true);
    state.TakeFeed("0,tail\r\nMSG,8,111,11111,1,4840D6\r\nMSG,3,111\r\n");
    clock.now.minute = 4;
    clock.now.millisecond = 930;
    state.TakePacket(SourceId::Receiver1, "80000000000000", false);
    state.TakePacket(SourceId::Receiver1, "20000F1F684A6C", true);  // residual: the address
    state.TakePacket(SourceId::Receiver1, "5D4840D6202CC371C32CE0576098", true);  // long DF 11
    state.TakePacket(SourceId::Receiver2, "8D4840D6202CC37", false);              // 15 characters
    const IntervalCounts counts = TickOnce(state);

    EXPECT_EQ(LogBytes(),
              "[1] *** 14:03:27.045 - 8D4840D6202CC371C32CE0000000 ***\r\n"
              "[2] >>> 14:03:28.007 - 5D4840D6000003 " +
                  filler + "   >>>\r\n" +
                  "[2] >>> 14:03:28.007 - 8D4840D6202CC371C32CE0000001    >>> CRC failed\r\n" +
                  "[1] *** 14:04:28.930 - 80000000000000 " + filler + "*** invalid DF\r\n" +
                  "[1] *** 14:04:28.930 - 20000F1F4D2023 " + filler + "***\r\n" +
                  "[S] ###  MSG,8,111,11111,1,4840D6\r\n"
                  "[S] ###  MSG,3,111\r\n");
    EXPECT_EQ(counts.Counts1, (DfCounts{0, 1, 0, 0, 1, 0}));
    EXPECT_EQ(counts.Counts2, (DfCounts{0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(counts.CountsS, (FeedCounts{0, 1, 1}));
}

// A published position pair heard by both receivers (one computing the parity, one giving
// the residual) and by the feed: each receiver decodes the even frame against its own odd
// one, 52.2572021484375, 3.91937255859375, 30.986246 NM from the station at 265.575739
// degrees (figures from the station text tests). Both frames count as heard by both; only
// the even one has a place, in sector 26 and the first ring.
TEST_F(IntakeTest, PositionFramesOfBothReceiversArePlacedAndMatched) {
    state.SetStation(LatLon{52.3, 4.76}, kDefaultMaxRangeNm);
    const struct {
        double seconds;
        SourceId receiver;
        std::string_view packet;
        bool crc;
    } frames[] = {
        {1000.0, SourceId::Receiver1, "8D40621D58C386435CC412692AD6", true},
        {1000.3, SourceId::Receiver2, "8D40621D58C386435CC412000000", false},
        {1001.0, SourceId::Receiver1, "8D40621D58C382D690C8AC2863A6", true},  // bad parity
        {1001.0, SourceId::Receiver1, "8D40621D58C382D690C8AC2863A7", true},
        {1002.9, SourceId::Receiver2, "8D40621D58C382D690C8AC000000", false},
    };
    for (const auto& f : frames) {
        clock.steadySeconds = f.seconds;
        state.TakePacket(f.receiver, f.packet, f.crc);
    }
    state.TakeFeed(
        "MSG,3,1,1,40621D,1,2026/12/07,14:03:27.045,2026/12/07,"
        "14:03:27.045,,38000,,,52.25720,3.91937,,,0,0,0,0\r\n");
    TickOnce(state);

    const CoverageSummary summary = state.Positions().Summary();
    EXPECT_EQ(summary.frames, (TwinCounts{2, 0, 0}));
    EXPECT_EQ(summary.unplaced, (TwinCounts{1, 0, 0})) << "the odd frames gave no position";
    for (const SourceId receiver : kReceivers) {
        const SourceSummary& figures = summary.sources[SourceIndex(receiver)];
        EXPECT_EQ(figures.decodes, (PositionCounts{1, 1, 0}));
        EXPECT_EQ(figures.positions, 1u);
        ASSERT_TRUE(figures.farthest);
        EXPECT_NEAR(figures.farthest->rangeNm, 30.986246, 1e-6);
        EXPECT_NEAR(figures.farthest->bearingDeg, 265.575739, 1e-6);
        EXPECT_EQ(state.Positions().Stats().Positions(receiver, AltitudeBand::Above30000), 1u);
    }
    EXPECT_EQ(summary.sources[SourceIndex(SourceId::Feed)].positions, 1u);

    const std::vector<SectorRow> sectors = state.Positions().SectorTable();
    EXPECT_EQ(sectors[26].comparison.counts, (TwinCounts{1, 0, 0}));
    EXPECT_EQ(state.Positions().RingTable()[0].comparison.counts, (TwinCounts{1, 0, 0}));
    const std::string csv = CoverageCsvText(state.Positions());
    EXPECT_NE(csv.find("\r\n260,30.99,30.99,30.99,1,1,1,1,0,0\r\n"), std::string::npos) << csv;

    // A frame of one receiver whose twin never comes counts as heard by it only.
    clock.steadySeconds = 1010.0;
    state.TakePacket(SourceId::Receiver2, "8D40621D58C382D690C8AC000000", false);
    clock.steadySeconds = 1012.01;
    TickOnce(state);
    EXPECT_EQ(state.Positions().SectorTable()[26].comparison.counts, (TwinCounts{1, 0, 1}));

    state.ClearCoverage();
    EXPECT_EQ(state.Positions().Summary().frames, TwinCounts{});
    EXPECT_EQ(state.Positions().DecodeCounts(SourceId::Receiver1), PositionCounts{});
    EXPECT_EQ(state.Positions().SectorTable()[26].sources[0], SectorFigures{});
}

}  // namespace
}  // namespace quorvex
