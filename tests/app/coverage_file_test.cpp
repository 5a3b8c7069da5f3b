// --station, --max-range and --coverage-csv in the window: the station kept in the settings, the
// sector table written every minute and at the end (frames still waiting for their twin then count
// as heard by one receiver only), failures said as the other files' are.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using quorvex::test::ReadFileBytes;

class CoverageFileTest : public WindowFixture {
  protected:
    MeasurementController& StartWith(const std::string& coveragePath) {
        CommandLine commandLine;
        commandLine.Station = LatLon{52.3, 4.76};
        commandLine.MaxRangeNm = 250;
        commandLine.CoverageCsvFile = coveragePath;
        MainWindow& w = Open({}, commandLine);
        w.AfterShow(commandLine);
        MeasurementController& c = StartOnUdp(w);
        // A published pair (odd, then even): the even frame is 30.99 NM away at 265.6 degrees.
        c.Input(SourceId::Receiver2).Framer().FeedText("*8D40621D58C386435CC412692AD6;");
        c.Input(SourceId::Receiver2).Framer().FeedText("*8D40621D58C382D690C8AC2863A7;");
        for (int i = 0; i < MeasurementController::kCoverageFileSeconds; ++i) c.Tick();
        return c;
    }

    static std::string Row(const std::string& text, const std::string& start) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with(start + ",")) return line;
        }
        return "";
    }
};

TEST_F(CoverageFileTest, WrittenEveryMinuteAndAtTheEndWithTheStationKept) {
    const std::string path = folder.Folder() + "coverage.csv";
    MeasurementController& c = StartWith(path);
    EXPECT_EQ(Row(ReadFileBytes(path), "260"), "260,,30.99,,0,1,0,0,0,0\r");
    EXPECT_EQ(c.EndOnSignal(), std::vector<std::string>{});
    EXPECT_TRUE(c.SavedAtEnd());
    EXPECT_EQ(Row(ReadFileBytes(path), "260"), "260,,30.99,,0,1,0,0,0,1\r")
        << "the frame still waiting for its twin counts as heard by receiver 2 only";
    EXPECT_EQ(platform::IniReadString(c.SettingsPath(), "Station", "location", ""), "52.3,4.76");
    EXPECT_EQ(platform::IniReadString(c.SettingsPath(), "Station", "maxrange", ""), "250");
    EXPECT_EQ(c.CurrentRun().Positions().maxRangeNm(), 250.0);
    EXPECT_TRUE(errors.empty());

    c.ClearClicked();
    EXPECT_EQ(c.CurrentRun().Positions().Summary().sources[1].positions, 0u);
}

TEST_F(CoverageFileTest, AStopSettlesTheFramesWaitingForTheirTwin) {
    MeasurementController& c = StartWith(folder.Folder() + "coverage.csv");
    EXPECT_EQ(c.CurrentRun().Positions().Summary().frames, TwinCounts{});
    c.StartStopClicked();
    EXPECT_FALSE(c.Running());
    EXPECT_EQ(c.CurrentRun().Positions().Summary().frames, (TwinCounts{0, 0, 2}))
        << "no twin comes after a Stop: both frames were heard by receiver 2 only";
}

TEST_F(CoverageFileTest, FailuresAreSaidOnceAMinuteAndAtTheEnd) {
    const std::string path = folder.Folder() + "no/coverage.csv";
    MeasurementController& c = StartWith(path);
    const std::string reason =
        "Cannot write the coverage CSV file " + path + ": No such file or directory";
    EXPECT_EQ(errors, std::vector<std::string>{
                          reason + ". It is tried again every minute; the measurement goes on."});
    EXPECT_EQ(c.EndOnSignal(),
              std::vector<std::string>{reason + ". It keeps the table written last."});
    EXPECT_FALSE(c.SavedAtEnd());
}

}  // namespace
}  // namespace quorvex::app::test
