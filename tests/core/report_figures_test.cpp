// The report's figures in words: its file endings, the gaps of a session whose first period
// began before it and whose last one is still under way, durations, and each kind of
// receiver's set-up.

#include <gtest/gtest.h>

#include "core/export/report_figures.h"
#include "core/settings/profiles.h"

namespace quorvex {
namespace {

TEST(ReportFiguresTest, TheFileEndingChoosesTheFormat) {
    const struct {
        const char* path;
        std::optional<ReportFormat> format;
    } kCases[] = {
        {"run.pdf", ReportFormat::Pdf},   {"/tmp/Run.PDF", ReportFormat::Pdf},
        {"run.png", ReportFormat::Png},   {"a.b.html", ReportFormat::Html},
        {"run.HTML", ReportFormat::Html}, {".pdf", std::nullopt},
        {"run.htm", std::nullopt},        {"run.pdf.txt", std::nullopt},
        {"runpdf", std::nullopt},         {"", std::nullopt},
    };
    for (const auto& c : kCases) EXPECT_EQ(ReportFormatOf(c.path), c.format) << c.path;
}

TEST(ReportFiguresTest, GapsCountOnlyTheSessionsUnmeasuredSeconds) {
    // Hourly periods from 10:00; the session from 10:20 to 12:30.
    const std::int64_t ten = 36000;
    const auto period = [ten](int hour, std::int64_t measured) {
        HistoryRow row;
        row.startUnix = ten + hour * 3600;
        row.periodSeconds = 3600;
        row.measuredSeconds = measured;
        return row;
    };
    const std::int64_t start = ten + 20 * 60;
    const std::int64_t now = ten + 2 * 3600 + 30 * 60;
    const struct {
        std::vector<HistoryRow> rows;
        std::int64_t gap;
    } kCases[] = {
        {{}, 0},
        // Measured throughout: the 20 minutes before the start and the half hour still to
        // come are no gap.
        {{period(0, 2400), period(1, 3600), period(2, 1800)}, 0},
        // The program stopped for the whole second hour, and 5 minutes in the first.
        {{period(0, 2100), period(1, 0), period(2, 1800)}, 300 + 3600},
        // More measured than the span (a tick late at the end) is no negative gap.
        {{period(0, 2401), period(1, 3600), period(2, 1800)}, 0},
    };
    for (const auto& c : kCases) EXPECT_EQ(GapSeconds(c.rows, start, now), c.gap);
}

TEST(ReportFiguresTest, DurationsReadAsHoursMinutesAndSeconds) {
    EXPECT_EQ(DurationText(0), "0 s");
    EXPECT_EQ(DurationText(59), "59 s");
    EXPECT_EQ(DurationText(725), "12 min 05 s");
    EXPECT_EQ(DurationText(93610), "26 h 00 min 10 s");
}

TEST(ReportFiguresTest, EachReceiverKindIsSaidAsItsColumnHasIt) {
    ProfileSettings settings = MakeProfileSettings({"/dev/ttyUSB0"});
    ReceiverProfile& serial = settings.Receiver1;
    serial.Port.SelectIndex(0);
    serial.BaudRate.SelectIndex(4);
    serial.Format.SelectIndex(1);
    EXPECT_EQ(ReceiverSetupText(serial), "/dev/ttyUSB0 at 3000000 baud, *<mode-s>; no CRC");
    serial.Label = "roof";
    EXPECT_EQ(ReceiverSetupText(serial),
              "/dev/ttyUSB0 at 3000000 baud, *<mode-s>; no CRC (profile roof)");

    // Receiver 2 starts on UDP.
    EXPECT_EQ(ReceiverSetupText(settings.Receiver2), "UDP Port 7934, *<mode-s>; no CRC");

    ReceiverProfile& network = settings.Receiver2;
    network.BaudRate.Text = "TCP Beast";
    network.Port.Text = "shed.local:30005";
    EXPECT_EQ(ReceiverSetupText(network), "TCP Beast from shed.local:30005");

    ReceiverProfile none = MakeProfileSettings({}).Receiver1;
    none.Port.Text = " ";
    EXPECT_EQ(ReceiverSetupText(none), "not set up");
}

}  // namespace
}  // namespace quorvex
