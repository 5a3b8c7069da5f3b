// The command line: the forms it accepts, the ones it refuses with their reasons, and what
// it selects in the receivers' lists.

#include "app/engine/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace quorvex::app {
namespace {

using Args = std::vector<std::string>;

const std::string kChoices =
    " (RATE one of 115200, 833333, 921600, 1000000, 3000000; FORMAT one of @ * : beast)";

TEST(CommandLineTest, AcceptedForms) {
    const struct {
        Args args;
        std::optional<ReceiverOption> receiver1, receiver2;
    } cases[] = {
        {{"--receiver1=/dev/pts/3:115200::"},
         ReceiverOption{"/dev/pts/3", 115200, false, ':', {}},
         {}},
        {{"--receiver1", "/dev/ttyUSB0:3000000:@"},
         ReceiverOption{"/dev/ttyUSB0", 3000000, false, '@', {}},
         {}},
        {{"--receiver2", "udp:*"}, {}, ReceiverOption{"", 0, true, '*', {}}},
        // A device path may hold ":"; the rate and the format are the last two fields.
        {{"--receiver2=a:b:833333:*", "--receiver1=a:1000000:@"},
         ReceiverOption{"a", 1000000, false, '@', {}},
         ReceiverOption{"a:b", 833333, false, '*', {}}},
        // A decoder's TCP output; the port may be left out, an IPv6 address needs brackets.
        {{"--receiver1=tcp:decoder.local:31002:raw", "--receiver2=tcp:[::1]:beast"},
         ReceiverOption{"decoder.local:31002", 0, false, '*', NetworkKind::Raw},
         ReceiverOption{"[::1]", 0, false, '*', NetworkKind::Beast}},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseCommandLine(c.args);
        ASSERT_TRUE(std::holds_alternative<CommandLine>(parsed)) << c.args[0];
        const CommandLine& line = std::get<CommandLine>(parsed);
        EXPECT_EQ(line.Receiver1, c.receiver1) << c.args[0];
        EXPECT_EQ(line.Receiver2, c.receiver2) << c.args[0];
    }

    const auto flags = ParseCommandLine({"--start",
                                         "--connect",
                                         "--log",
                                         "--port-device",
                                         "/dev/pts/7",
                                         "--port-device=/dev/pts/8",
                                         "--csv",
                                         "run.csv",
                                         "--station",
                                         " 52.3 , -4.5",
                                         "--max-range=250.5",
                                         "--coverage-csv=cover.csv",
                                         "--no-window",
                                         "--summary-every",
                                         "300",
                                         "--level-csv",
                                         "levels.csv",
                                         "--history-csv=history.csv",
                                         "--history-every",
                                         "15",
                                         "--report=A4.PDF"});
    ASSERT_TRUE(std::holds_alternative<CommandLine>(flags));
    const CommandLine& line = std::get<CommandLine>(flags);
    EXPECT_TRUE(line.Start && line.Connect && line.Log && !line.Help && !line.Version);
    EXPECT_EQ(line.PortDevices, (Args{"/dev/pts/7", "/dev/pts/8"}));
    EXPECT_EQ(line.CsvFile, "run.csv");
    EXPECT_EQ(line.Station, (LatLon{52.3, -4.5}));
    EXPECT_EQ(line.MaxRangeNm, 250.5);
    EXPECT_EQ(line.CoverageCsvFile, "cover.csv");
    EXPECT_TRUE(line.NoWindow);
    EXPECT_EQ(line.SummarySeconds, 300);
    EXPECT_EQ(line.LevelCsvFile, "levels.csv");
    EXPECT_EQ(line.HistoryCsvFile, "history.csv");
    EXPECT_EQ(line.HistoryMinutes, 15);
    EXPECT_EQ(line.ReportFile, "A4.PDF");
    EXPECT_NE(UsageText().find("  --station LAT,LON "), std::string::npos);
    EXPECT_NE(UsageText().find("  --no-window "), std::string::npos);
    EXPECT_NE(UsageText().find("  --summary-every N "), std::string::npos);
    EXPECT_NE(UsageText().find("  --coverage-csv FILE "), std::string::npos);
    EXPECT_NE(UsageText().find("  --report FILE "), std::string::npos);
}

TEST(CommandLineTest, RefusedFormsSayWhy) {
    const struct {
        Args args;
        std::string message;
    } cases[] = {
        {{"--receiver1=udp:*"},
         "\"udp:*\" is not a receiver set-up: --receiver1 takes DEVICE:RATE:FORMAT, "
         "tcp:HOST:PORT:raw, tcp:HOST:PORT:beast" +
             kChoices + "."},
        {{"--receiver2=/dev/ttyS0:9600:*"},
         "\"/dev/ttyS0:9600:*\" is not a receiver set-up: --receiver2 takes DEVICE:RATE:FORMAT, "
         "tcp:HOST:PORT:raw, tcp:HOST:PORT:beast or "
         "udp:FORMAT" +
             kChoices + "."},
        {{"--receiver1=/dev/ttyS0:115200:#"},
         "\"/dev/ttyS0:115200:#\" is not a receiver set-up: --receiver1 takes "
         "DEVICE:RATE:FORMAT, tcp:HOST:PORT:raw, tcp:HOST:PORT:beast" +
             kChoices + "."},
        {{"--receiver2"},
         "--receiver2 takes DEVICE:RATE:FORMAT, tcp:HOST:PORT:raw, tcp:HOST:PORT:beast or "
         "udp:FORMAT" +
             kChoices + "."},
        {{"--receiver1=/dev/a:115200:*", "--receiver2=/dev/a:921600:@"},
         "--receiver1 and --receiver2 name the same device \"/dev/a\"."},
        {{"--receiver1=tcp:decoder:99999:raw"},
         "\"tcp:decoder:99999:raw\" is not a receiver set-up: --receiver1 takes "
         "DEVICE:RATE:FORMAT, tcp:HOST:PORT:raw, tcp:HOST:PORT:beast" +
             kChoices + "."},
        {{"--start=yes"}, "--start takes no value."},
        {{"--port-device="}, "--port-device takes a device path."},
        {{"--csv"}, "--csv takes a file path."},
        {{"--station"}, "--station takes LAT,LON in decimal degrees (such as 52.3,-4.5)."},
        {{"--max-range"},
         "--max-range takes the maximum range in NM, from 1 to 1000 (such as 250)."},
        {{"--max-range", "1000.5"},
         "\"1000.5\" is not a maximum range: --max-range takes the maximum range in NM, from 1 to "
         "1000 (such as 250)."},
        {{"--station=52.3N,4.5E"},
         "\"52.3N,4.5E\" is not a station location: --station takes LAT,LON in decimal degrees "
         "(such as 52.3,-4.5)."},
        {{"--station", "91,0"},
         "\"91,0\" is not a station location: --station takes LAT,LON in decimal degrees "
         "(such as 52.3,-4.5)."},
        {{"--coverage-csv="}, "--coverage-csv takes a file path."},
        {{"--report"}, "--report takes a file path ending in .pdf, .png or .html."},
        {{"--report", "run.htm"}, "--report: \"run.htm\" must end in .pdf, .png or .html."},
        {{"--history-every=1441"},
         "\"1441\" is not a history period: --history-every takes a whole number of minutes "
         "from 1 to 1440."},
        {{"--history-every"}, "--history-every takes a whole number of minutes from 1 to 1440."},
        {{"--no-window", "--summary-every=0"},
         "\"0\" is not a summary period: --summary-every takes a whole number of seconds from 1 "
         "to 86400."},
        {{"--no-window", "--summary-every", "1m"},
         "\"1m\" is not a summary period: --summary-every takes a whole number of seconds from "
         "1 to 86400."},
        {{"--no-window", "--summary-every"},
         "--summary-every takes a whole number of seconds from 1 to 86400."},
        {{"--summary-every=60"}, "--summary-every goes with --no-window."},
        {{"--start", "-x"}, "Unknown option \"-x\"; quorvex --help lists the options."},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseCommandLine(c.args);
        ASSERT_TRUE(std::holds_alternative<CommandLineError>(parsed)) << c.args[0];
        EXPECT_EQ(std::get<CommandLineError>(parsed).Message, c.message);
    }
}

TEST(CommandLineTest, ApplyingSelectsWhatItNamesWithoutMarkingAProfileChanged) {
    const auto parsed = ParseCommandLine({"--receiver1=/dev/pts/3:921600::", "--receiver2=udp:@"});
    ASSERT_TRUE(std::holds_alternative<CommandLine>(parsed));
    const CommandLine& line = std::get<CommandLine>(parsed);
    Args ports = {"/dev/ttyUSB0"};
    for (const std::string& device : ExtraPortDevices(line)) ports.push_back(device);
    ProfileSettings settings = MakeProfileSettings(ports);
    // The settings' profile had receiver 1 on the network.
    settings.Receiver1.BaudRate.SelectIndex(5);
    settings.Receiver1.Port.Text = "decoder:30002";
    MatchPortToRate(settings.Receiver1);
    ApplyCommandLine(line, settings);

    const ReceiverProfile& r1 = settings.Receiver1;
    const ReceiverProfile& r2 = settings.Receiver2;
    EXPECT_EQ(r1.Port.Text, "/dev/pts/3");
    EXPECT_EQ(r1.Port.ItemIndex, 1);
    EXPECT_FALSE(r1.Port.Editable);
    EXPECT_EQ(r1.BaudRate.Text, "921600");
    EXPECT_EQ(r1.Format.ItemIndex, 2);
    EXPECT_EQ(r2.Port.ItemIndex, -1) << "UDP leaves the port list alone";
    EXPECT_EQ(r2.BaudRate.Text, "UDP Port 7934");
    EXPECT_EQ(r2.Format.Text, "@<counter><mode-s>;");
    EXPECT_FALSE(r1.Changed || r2.Changed);
}

TEST(CommandLineTest, MetricsAddressesAcceptedAndRefused) {
    const struct {
        std::string text;
        std::optional<MetricsAddress> address;
    } cases[] = {
        {"9718", MetricsAddress{"127.0.0.1", 9718}},
        {"0", MetricsAddress{"127.0.0.1", 0}},
        {"0.0.0.0:65535", MetricsAddress{"0.0.0.0", 65535}},
        {"[::1]:9718", MetricsAddress{"::1", 9718}},
        {"65536", std::nullopt},
        {"-1", std::nullopt},
        {"9718x", std::nullopt},
        {"", std::nullopt},
        {"127.0.0.1:", std::nullopt},
        {":9718", std::nullopt},
        {"::1:9718", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseCommandLine({"--metrics", c.text});
        if (c.address) {
            ASSERT_TRUE(std::holds_alternative<CommandLine>(parsed)) << c.text;
            EXPECT_EQ(std::get<CommandLine>(parsed).Metrics, c.address) << c.text;
        } else {
            ASSERT_TRUE(std::holds_alternative<CommandLineError>(parsed)) << c.text;
            EXPECT_EQ(std::get<CommandLineError>(parsed).Message,
                      "\"" + c.text +
                          "\" is not a metrics address: --metrics takes [HOST:]PORT, such as "
                          "9718 or 127.0.0.1:9718 (PORT 0 to 65535; 0: any free port).");
        }
    }
    EXPECT_FALSE(std::get<CommandLine>(ParseCommandLine({})).Metrics);
    EXPECT_NE(UsageText().find("  --metrics [HOST:]PORT "), std::string::npos);
}

}  // namespace
}  // namespace quorvex::app
