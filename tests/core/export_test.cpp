// What leaves the program as CSV: a short run through the packet path, the feed scan and two
// ticks, checked byte for byte in the seconds' export and the aircraft table, with the
// summary line above the table; the --csv file's header, rows and failure report.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/base/csv.h"
#include "core/comparison/aircraft_table.h"
#include "core/export/second_csv_file.h"
#include "core/run/measurement.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "fake_clock.h"
#include "seconds_csv_text.h"
#include "support/hex_bytes.h"

namespace quorvex {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ExportTest : public ::testing::Test {
  protected:
    test::FakeClock clock_;
    quorvex::Run state_{"/nonexistent/", clock_};
    TickResult result_;

    // One second as the window's timer closes it.
    void Tick(std::int64_t unixSeconds) {
        TickInputs inputs;
        inputs.UnixSeconds = unixSeconds;
        state_.Second(inputs, false, result_);
    }

    // Receiver 1 hears the DF 17 of 4840D6 twice and the DF 11 of 484FDE (a reply to an
    // interrogator with a code); receiver 2 the
    // DF 17 once; the feed a type 8 line of 4840D6 and a type 3 line of ABCDEF. Then a
    // second with nothing.
    void ShortRun() {
        state_.Start(5, kTickTime - 1);
        for (const char* frame :
             {"8D4840D6202CC371C32CE0576098", "8D4840D6202CC371C32CE0576098", "5D484FDEA248F5"}) {
            state_.TakePacket(SourceId::Receiver1, frame, true);
        }
        // Receiver 2 measures the signal level.
        state_.TakeFrame(SourceId::Receiver2, test::Bytes("8D4840D6202CC371C32CE0576098"), -6.5f,
                         std::nullopt);
        state_.TakeFeed(
            "MSG,8,1,1,4840D6,1,2026/12/08,04:20:40.500,,,,,,,,,,,,,,0\r\n"
            "MSG,3,1,1,ABCDEF,1,2026/12/08,04:20:40.700,,,,,37000,,,51.5,4.3,,,0,0,0,0\r\n");
        Tick(kTickTime);
        Tick(kTickTime + 1);
    }
};

TEST_F(ExportTest, TheSecondsOfARunAsCsvAndTheLevelInTheFigure) {
    ShortRun();
    EXPECT_EQ(SecondHistoryCsv(state_.Measurement().Seconds),
              std::string(kSecondsHeader) +
                  "2026-12-08T04:20:41Z,0,0,0,1,2,0,0,0,0,0,1,0,0,1,1,2,1,2,2.00,1.00,2.00\r\n"
                  "2026-12-08T04:20:42Z,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1.00,0.50,1.00\r\n");
    // Receiver 2 measured a level; receiver 1's figure shows none.
    EXPECT_EQ(result_.Receiver2Figure, "0.5 [0.5*] packets/s, -6.5 dBFS, 0 % strong");
    EXPECT_EQ(result_.Receiver1Figure, "1.5 [1.0*] packets/s");
    state_.Clear(kTickTime + 2);
    EXPECT_EQ(SecondHistoryCsv(state_.Measurement().Seconds), kSecondsHeader);
}

TEST_F(ExportTest, TheAircraftOfARunTheirSummaryAndCsv) {
    ShortRun();
    std::vector<AircraftTableRow> rows;
    FillAircraftTable(state_.Tally(), state_.TallySecond() - 1, rows);
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.Address < b.Address; });
    EXPECT_EQ(AircraftTableCsv(rows),
              "address,receiver1_per_minute,receiver2_per_minute,feed_per_minute,ratio_1_2,"
              "receiver1_level_dbfs,receiver2_level_dbfs,seconds_since_heard,heard_by,"
              "level_delta_db\r\n"
              "4840D6,2,1,1,2.000,,-6.5,1,both,\r\n"
              "484FDE,1,0,0,,,,1,only 1,\r\n"
              "ABCDEF,0,0,1,,,,1,feed only,\r\n");
    EXPECT_EQ(SummaryText(Summarize(rows), ","),
              "Heard in the last 5 minutes: 1 by both, 1 only by 1, 0 only by 2, 1 by the feed "
              "only. Median ratio 1/2: 2,00");

    // Five minutes of silence later the table is empty; the summary says there is no ratio.
    for (int s = 0; s < kAircraftTableSeconds; ++s) {
        TickInputs inputs;
        inputs.UnixSeconds = kTickTime + 2 + s;
        state_.Second(inputs, true, result_);
    }
    FillAircraftTable(state_.Tally(), state_.TallySecond() - 1, rows);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(SummaryText(Summarize(rows), "."),
              "Heard in the last 5 minutes: 0 by both, 0 only by 1, 0 only by 2, 0 by the feed "
              "only. Median ratio 1/2: none");
}

TEST(SummaryTest, TheMedianRatioOfOddAndEvenCounts) {
    const auto rowsWithRatios = [](std::initializer_list<double> ratios) {
        std::vector<AircraftTableRow> rows(ratios.size());
        std::size_t i = 0;
        for (const double ratio : ratios) rows[i++].Ratio = ratio;
        rows.emplace_back();  // no ratio: not part of the median
        return rows;
    };
    EXPECT_DOUBLE_EQ(*Summarize(rowsWithRatios({3.0, 0.5, 1.0})).MedianRatio, 1.0);
    EXPECT_DOUBLE_EQ(*Summarize(rowsWithRatios({4.0, 0.5, 1.0, 2.0})).MedianRatio, 1.5);
    EXPECT_EQ(Summarize(rowsWithRatios({})).Both, 1);
}

TEST(CsvTest, FieldsNumbersAndTimes) {
    std::string out;
    CsvRow(out)
        .Text("plain")
        .Text("a,b")
        .Text("say \"hi\"")
        .Text("two\r\nlines")
        .Integer(-42)
        .Number(-0.5, 2)
        .Number(1.0 / 3.0, 3)
        .Number(std::nan(""), 2)
        .Empty()
        .End();
    EXPECT_EQ(out, "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",-42,-0.50,0.333,,\r\n");

    EXPECT_EQ(Iso8601Utc(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(Iso8601Utc(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(Iso8601Utc(-1), "1969-12-31T23:59:59Z");
    EXPECT_EQ(Iso8601Utc(kTickTime), "2026-12-08T04:20:41Z");
}

TEST(SecondCsvFileTest, AHeaderWhenNewRowsAfterAndOneReportPerFailure) {
    test::TempFolder folder;
    SecondRecord record;
    record.UnixSeconds = kTickTime;
    record.Counts[4] = 7;
    const std::string row(kSecondRow);

    SecondCsvFile file(folder.Folder() + "run.csv");
    EXPECT_FALSE(file.Append(record));
    EXPECT_FALSE(file.Append(record));
    EXPECT_EQ(ReadFile(file.Path()), std::string(kSecondsHeader) + row + row);
    // Deleted while running (rotated away): begun anew, with its header.
    std::filesystem::remove(file.Path());
    EXPECT_FALSE(file.Append(record));
    EXPECT_EQ(ReadFile(file.Path()), std::string(kSecondsHeader) + row);

    SecondCsvFile unwritable(folder.Folder() + "missing/run.csv");
    const auto first = unwritable.Append(record);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, "Cannot write the CSV file " + unwritable.Path() +
                          ": No such file or directory. Seconds are lost until it can be "
                          "written again; the measurement goes on.");
    EXPECT_FALSE(unwritable.Append(record));  // reported once
    std::filesystem::create_directory(folder.Folder() + "missing");
    EXPECT_FALSE(unwritable.Append(record));
    std::filesystem::remove_all(folder.Folder() + "missing");
    EXPECT_TRUE(unwritable.Append(record));  // failing again after a success: reported again
}

// A FIFO: no reader (rows dropped), a reader (header, then rows), a reader that stops reading
// (rows wait up to the bound, the rest dropped), a reader that leaves; every row that did not
// arrive is counted, and the end says how many.
TEST(SecondCsvFileTest, AFifoGetsRowsWhileItHasAReaderAndEveryOtherRowIsCounted) {
    std::signal(SIGPIPE, SIG_IGN);  // as the program does: a reader gone is an EPIPE
    test::TempFolder folder;
    const std::string path = folder.Folder() + "run.csv";
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    SecondRecord record;
    record.UnixSeconds = kTickTime;
    record.Counts[4] = 7;
    const std::string row(kSecondRow);
    SecondCsvFile file(path);
    std::uint64_t notArrived = 0;

    const auto first = file.Append(record);
    ASSERT_TRUE(first);
    EXPECT_NE(first->find("is a pipe without a reader"), std::string::npos) << *first;
    EXPECT_FALSE(file.Append(record));
    notArrived += 2;

    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(file.Append(record),
              "The CSV file " + path + " has a reader: the 2 rows before it came were dropped.");
    EXPECT_FALSE(file.Append(record));
    std::string arrived(4096, '\0');
    arrived.resize(static_cast<std::size_t>(::read(reader, arrived.data(), arrived.size())));
    EXPECT_EQ(arrived, std::string(kSecondsHeader) + row + row);

    // Unread: the pipe fills, then rows wait up to the bound; beyond it they are dropped.
    std::vector<std::string> said;
    const std::size_t rows = 2 * SecondCsvFile::kMostWaitingBytes / row.size();
    for (std::size_t i = 0; i < rows; ++i) {
        if (auto message = file.Append(record)) said.push_back(*message);
    }
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("does not keep up"), std::string::npos) << said[0];
    // Whole rows, then the start of the one the full pipe cut (its rest waits).
    std::string unread;
    char chunk[65536];
    for (ssize_t n; (n = ::read(reader, chunk, sizeof chunk)) > 0;) unread.append(chunk, n);
    ::close(reader);
    const std::uint64_t handedBeforeLeaving = unread.size() / row.size();
    std::string expected;
    for (std::uint64_t i = 0; i < handedBeforeLeaving; ++i) expected += row;
    expected += row.substr(0, unread.size() % row.size());
    EXPECT_EQ(unread, expected);
    const auto gone = file.Append(record);
    ASSERT_TRUE(gone);
    EXPECT_NE(gone->find("has gone"), std::string::npos) << *gone;
    notArrived += rows + 1 - handedBeforeLeaving;

    EXPECT_EQ(file.LostRows(), notArrived);
    EXPECT_EQ(file.Finish(0), "The CSV file " + path + " lacks " + std::to_string(notArrived) +
                                  " of its " + std::to_string(rows + 5) +
                                  " seconds: they could not be written.");
}

}  // namespace
}  // namespace quorvex
