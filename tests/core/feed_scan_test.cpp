// The feed scan's counts and log entries, and the double buffer that collects the feed text.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/feed/feed_buffers.h"
#include "core/feed/feed_scan.h"

namespace quorvex {
namespace {

struct ScanResult {
    FeedCounts counts;
    std::vector<std::string> entries;
};

ScanResult Scan(std::string_view text) {
    ScanResult result;
    ScanFeedText(text, result.counts,
                 [&result](std::string_view entry) { result.entries.emplace_back(entry); });
    return result;
}

FeedCounts Counts(int msg5_6, int msg8, int other) {
    return FeedCounts{msg5_6, msg8, other};
}

TEST(FeedScanTest, TypeCharacterChoosesTheCounter) {
    const struct {
        char type;
        FeedCounts expected;
    } cases[] = {
        {'5', Counts(1, 0, 0)}, {'6', Counts(1, 0, 0)}, {'8', Counts(0, 1, 0)},
        {'1', Counts(0, 0, 1)}, {'2', Counts(0, 0, 1)}, {'3', Counts(0, 0, 1)},
        {'4', Counts(0, 0, 1)}, {'7', Counts(0, 0, 1)}, {'0', Counts(0, 0, 1)},
        {'9', Counts(0, 0, 1)}, {'A', Counts(0, 0, 1)}, {',', Counts(0, 0, 1)},
    };
    for (const auto& c : cases) {
        const std::string text = std::string("MSG,") + c.type + ",111,11111,4840D6\r\n";
        const ScanResult result = Scan(text);
        EXPECT_EQ(result.counts, c.expected) << "type " << c.type;
        EXPECT_EQ(result.entries, std::vector<std::string>{text.substr(4)}) << "type " << c.type;
    }
    // The type character alone is a message.
    EXPECT_EQ(Scan("MSG,5").counts, Counts(1, 0, 0));
    EXPECT_EQ(Scan("MSG,5").entries, std::vector<std::string>{"5"});
}

TEST(FeedScanTest, TextWithoutACompleteMarkerCountsNothing) {
    for (const std::string_view text :
         {"", "8,111,11111\r\n", "MSG,", "msg,8,111\r\n", "MSG;8,111\r\n", "MS", "xMSG,"}) {
        const ScanResult result = Scan(text);
        EXPECT_EQ(result.counts, FeedCounts{}) << '"' << text << '"';
        EXPECT_TRUE(result.entries.empty()) << '"' << text << '"';
    }
}

TEST(FeedScanTest, EachMessageRunsFromItsMarkerToTheNext) {
    // The head is the tail of a line from the previous buffer: neither counted nor logged.
    // Entries keep the feed's own line ends; the last one ends wherever the text ended.
    const ScanResult result = Scan(
        "11,4840D6\r\nMSG,8,111,11111,1,4840D6\r\nMSG,3,111,11111,1,4840D6,,35000\r\nMSG,5,11");
    EXPECT_EQ(result.counts, Counts(1, 1, 1));
    EXPECT_EQ(result.entries,
              (std::vector<std::string>{"8,111,11111,1,4840D6\r\n",
                                        "3,111,11111,1,4840D6,,35000\r\n", "5,11"}));
}

TEST(FeedScanTest, TextEndingRightAfterAMarkerCountsNothingForIt) {
    const ScanResult result = Scan("MSG,8,111\r\nMSG,");
    EXPECT_EQ(result.counts, Counts(0, 1, 0));
    EXPECT_EQ(result.entries, std::vector<std::string>{"8,111\r\n"});

    // The counter is added before the search for the next marker, so "MSG,MSG," counts the
    // first marker (type "M") and stops at the second, which has nothing after it.
    const ScanResult doubled = Scan("MSG,MSG,");
    EXPECT_EQ(doubled.counts, Counts(0, 0, 1));
    EXPECT_EQ(doubled.entries, std::vector<std::string>{"MSG,"});
}

TEST(FeedScanTest, MarkerRightAfterAMarkerIsAMessageOfItsOwn) {
    const ScanResult result = Scan("MSG,MSG,MSG,8,AB\r\nMSG,5,CD\r\n");
    EXPECT_EQ(result.counts, Counts(1, 1, 2));
    // The entry of a marker followed by a marker ends at the first marker beyond the type
    // field, not at the end of the buffer.
    EXPECT_EQ(result.entries,
              (std::vector<std::string>{"MSG,", "MSG,8,AB\r\n", "8,AB\r\n", "5,CD\r\n"}));
}

TEST(FeedScanTest, RunOfMarkersLogsNoMoreThanTheTextHolds) {
    constexpr int kMarkers = 3000;
    std::string text;
    for (int i = 0; i < kMarkers; ++i) text += "MSG,";
    text += "8,";
    text.append(20000, '1');
    text += "\r\n";

    FeedCounts counts;
    std::size_t entries = 0;
    std::size_t logged = 0;
    ScanFeedText(text, counts, [&](std::string_view entry) {
        ++entries;
        logged += entry.size();
    });
    EXPECT_EQ(counts, Counts(0, 1, kMarkers - 1));
    EXPECT_EQ(entries, static_cast<std::size_t>(kMarkers));
    EXPECT_LE(logged, 2 * text.size());
}

// Feeds each tick's chunks into the buffers, takes the half and scans it.
ScanResult TakeAndScan(FeedBuffers& buffers, const std::vector<std::string>& chunks) {
    for (const std::string& chunk : chunks) buffers.Append(chunk);
    // A half holds no text before its first marker, only a possible start of one.
    const std::string& half =
        buffers.TcpBufferSelect() == 1 ? buffers.TcpBufferA() : buffers.TcpBufferB();
    EXPECT_TRUE(half.size() < 4 || half.starts_with("MSG,")) << '"' << half << '"';
    std::string taken = "left over from the previous tick";
    buffers.Take(taken);
    return Scan(taken);
}

TEST(FeedBuffersTest, ScanningAHalfEqualsScanningAllTextOfItsTick) {
    // Pieces that make whole and split markers, type characters and line ends.
    static const std::string_view kPieces[] = {"MSG,", "MSG,",   "MSG,", "MS", "G,", "M",
                                               "SG,",  "S",      "5",    "6",  "8",  "3",
                                               ",",    "111,1,", "\r\n", "x"};
    std::mt19937 random(20261207);
    auto below = [&random](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };

    FeedBuffers buffers;
    for (int tick = 0; tick < 600; ++tick) {
        std::string whole;
        const std::size_t pieces = below(40);
        for (std::size_t i = 0; i < pieces; ++i) whole += kPieces[below(std::size(kPieces))];
        whole += "\r\n";  // an unfinished line would wait for the next tick

        std::vector<std::string> chunks;
        for (std::size_t at = 0; at < whole.size();) {
            const std::size_t length = below(9);  // empty chunks too
            chunks.push_back(whole.substr(at, length));
            at += length;
        }

        const ScanResult expected = Scan(whole);
        const ScanResult actual = TakeAndScan(buffers, chunks);
        ASSERT_EQ(actual.counts, expected.counts) << "tick " << tick << " text \"" << whole << '"';
        ASSERT_EQ(actual.entries, expected.entries)
            << "tick " << tick << " text \"" << whole << '"';
    }
}

TEST(FeedBuffersTest, HalfKeepsNoMoreThanTheScanReads) {
    // The scan reads kFeedScanLimit characters after the first marker: the second message's
    // type character is the last of them, the third message lies beyond.
    const std::string head = "1,2\r\nMSG,8";
    std::string whole = head;
    whole.append(kFeedScanLimit - 6, 'x');
    whole += "MSG,5MSG,6,1\r\n";
    const std::size_t firstMarker = head.find("MSG,");

    const ScanResult expected = Scan(whole);
    EXPECT_EQ(expected.counts, Counts(1, 1, 0));
    ASSERT_EQ(expected.entries.size(), 2u);
    EXPECT_EQ(expected.entries[1], "5");

    for (const std::size_t chunk : {std::size_t{1} << 20, whole.size()}) {
        FeedBuffers buffers;
        for (std::size_t at = 0; at < whole.size(); at += chunk) {
            buffers.Append(std::string_view(whole).substr(at, chunk));
        }
        EXPECT_EQ(buffers.TcpBufferB().size(), whole.size() - firstMarker - 9) << chunk;
        std::string taken;
        buffers.Take(taken);
        const ScanResult actual = Scan(taken);
        EXPECT_EQ(actual.counts, expected.counts) << chunk;
        EXPECT_EQ(actual.entries, expected.entries) << chunk;
    }
}

}  // namespace
}  // namespace quorvex
