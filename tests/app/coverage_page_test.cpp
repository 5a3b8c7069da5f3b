// The Coverage page in the window, fed through the intake: the published position pair and
// frames of an encoder of the tests' own, placed from a station nearby. The ring table and
// summary, the altitude bands, the dots of frames one receiver heard alone, the page without
// a station, its station fields (refused input said in words; good input applied and kept in
// the settings), Copy, Export CSV and Clear; and a picture of a realistic sky.

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include <fstream>
#include <sstream>

#include "app/coverage_page.h"
#include "core/run/run.h"
#include "core/run/udp_datagram.h"
#include "platform/ini_file.h"
#include "support/hex_bytes.h"
#include "support/position_sky.h"
#include "ui/polar_plot.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using quorvex::test::Bytes;
using quorvex::test::HearAircraft;
using quorvex::test::SkyAircraft;

constexpr LatLon kStation{52.3, 4.76};
constexpr SourceId kR1 = SourceId::Receiver1;
constexpr SourceId kR2 = SourceId::Receiver2;
// The plot's traces in drawing order.
constexpr std::size_t kTrace1 = 0, kTrace2 = 1, kFeedTrace = 2;

void Hear(Run& state, std::uint32_t address, const SkyAircraft& a) {
    HearAircraft(state, kStation, address, a);
}

// The published pair heard by both receivers (31 NM at 265.6 degrees, 38,000 ft); 30
// aircraft heard by both from 70.3 to 84.8 NM at 38,000 ft; 6 heard only by receiver 1 from
// 85.3 to 90.3 NM below 10,000 ft; 4 only by receiver 2 from 60.3 to 63.3 NM at 25,000 ft.
void FeedKnownSky(MeasurementController& c) {
    Run& state = c.CurrentRun();
    for (const char* hex : {"8D40621D58C386435CC412692AD6", "8D40621D58C382D690C8AC2863A7"}) {
        for (const SourceId receiver : kReceivers)
            state.TakeFrame(receiver, Bytes(hex), NAN, std::nullopt);
    }
    std::uint32_t address = 0x100000;
    for (int i = 0; i < 30; ++i)
        Hear(state, address++, {0.5 + 12 * i, 70.3 + 0.5 * i, 38000, true, true});
    for (int i = 0; i < 6; ++i)
        Hear(state, address++, {100.5 + 3 * i, 85.3 + i, 5000, true, false});
    for (int i = 0; i < 4; ++i)
        Hear(state, address++, {200.5 + 3 * i, 60.3 + i, 25000, false, true});
    state.End();
}

std::vector<std::string> Row(const QTableWidget& table, int row) {
    std::vector<std::string> cells;
    for (int column = 0; column < table.columnCount(); ++column) {
        cells.push_back(table.item(row, column)->text().toStdString());
    }
    return cells;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class CoveragePageTest : public WindowFixture {
  protected:
    MainWindow& OpenAt(std::optional<LatLon> station) {
        CommandLine commandLine;
        commandLine.Station = station;
        MainWindow& w = Open({}, commandLine);
        w.AfterShow(commandLine);
        return w;
    }
};

TEST_F(CoveragePageTest, TableSummaryBandsAndDotsFollowTheCoverage) {
    MainWindow& w = OpenAt(kStation);
    CoveragePage& page = *w.CoverageView();
    FeedKnownSky(w.Controller());
    w.Controller().Tick();
    EXPECT_EQ(page.RingTable()->rowCount(), 0) << "not showing: not refreshed";

    w.Pages()->setCurrentWidget(&page);
    EXPECT_FALSE(page.NoStationLabel()->isVisible());
    ASSERT_EQ(page.RingTable()->rowCount(), 6);
    using Cells = std::vector<std::string>;
    EXPECT_EQ(Row(*page.RingTable(), 0), (Cells{"0–50 NM", "1", "1", "1", "0", "0", "", ""}));
    EXPECT_EQ(Row(*page.RingTable(), 1),
              (Cells{"50–100 NM", "36", "34", "30", "6", "4", "90 % (77–96)", "85 % (71–93)"}));
    EXPECT_EQ(Row(*page.RingTable(), 5), (Cells{"250–300 NM", "0", "0", "0", "0", "0", "", ""}));

    // Per band: the summary's ranges and the plot's outlines; the decodes over all bands.
    // Slices of 5 degrees: 0.5 degrees is in slice 0, 115.5 in 23, 265.6 in 53.
    const struct {
        int band;
        std::string summary;
        float slice0Of1, slice23Of1, slice53Of2;
        std::size_t dots1, dots2;
    } bands[] = {
        {0,
         "Receiver 1: farthest 90 NM at 115°, 95 % within 90 NM, 37 positions\n"
         "Receiver 2: farthest 85 NM at 348°, 95 % within 85 NM, 35 positions\n",
         70.3F, 90.3F, 31.0F, 6, 4},
        {1,
         "Receiver 1: farthest 90 NM at 115°, 95 % within 90 NM, 6 positions\n"
         "Receiver 2: no positions\n",
         -1.0F, 90.3F, -1.0F, 6, 0},
        {3,
         "Receiver 1: no positions\n"
         "Receiver 2: farthest 63 NM at 209°, 95 % within 63 NM, 4 positions\n",
         -1.0F, -1.0F, -1.0F, 0, 4},
    };
    page.DotsBox()->setChecked(true);
    for (const auto& b : bands) {
        page.BandList()->setCurrentIndex(b.band);
        emit page.BandList()->activated(b.band);
        EXPECT_EQ(page.SummaryLabel()->text().toStdString(),
                  b.summary +
                      "Feed: no positions\n"
                      "Decodes dropped (skipped): receiver 1 0 (37), receiver 2 0 (35), feed 0")
            << b.band;
        const auto outline1 = page.Plot()->Outline(kTrace1);
        const auto outline2 = page.Plot()->Outline(kTrace2);
        ASSERT_EQ(outline1.size(), 72u);
        EXPECT_NEAR(outline1[0], b.slice0Of1, 0.01) << b.band;
        EXPECT_NEAR(outline1[23], b.slice23Of1, 0.01) << b.band;
        EXPECT_NEAR(outline2[53], b.slice53Of2, 0.02) << b.band;
        EXPECT_EQ(page.Plot()->Outline(kFeedTrace)[0], -1.0F);
        EXPECT_EQ(page.Plot()->DotPositions(0).size(), b.dots1) << b.band;
        EXPECT_EQ(page.Plot()->DotPositions(1).size(), b.dots2) << b.band;
    }
    EXPECT_NEAR(page.Plot()->DotPositions(1)[0].x(), 200.5, 0.01) << "bearing";
    EXPECT_NEAR(page.Plot()->DotPositions(1)[0].y(), 60.3, 0.01) << "range";
    EXPECT_EQ(page.RingTable()->item(1, 1)->text(), "36") << "the rings' frames: all altitudes";

    page.ClearButton()->click();
    EXPECT_EQ(Row(*page.RingTable(), 1), (Cells{"50–100 NM", "0", "0", "0", "0", "0", "", ""}));
    EXPECT_TRUE(page.Plot()->DotPositions(1).empty());
    EXPECT_EQ(w.Controller().CurrentRun().Positions().station(), kStation)
        << "Clear keeps the station";
}

TEST_F(CoveragePageTest, WithoutAStationThePageSaysHowToSetOne) {
    MainWindow& w = OpenAt(std::nullopt);
    CoveragePage& page = *w.CoverageView();
    w.show();
    w.Pages()->setCurrentWidget(&page);
    EXPECT_TRUE(page.NoStationLabel()->isVisible());
    EXPECT_EQ(page.NoStationLabel()->text(),
              "Range and bearing need the station's location. Enter its latitude and longitude "
              "under Station and press Apply, or start Quorvex with --station LAT,LON.");
    EXPECT_EQ(page.Plot()->Message(), "No station location set");
    EXPECT_EQ(page.LatitudeEdit()->text(), "");
    EXPECT_EQ(page.MaxRangeEdit()->text(), "300");
    EXPECT_EQ(w.Controller().EndOnSignal(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(w.Controller().SettingsPath()).find("[Station]"), std::string::npos)
        << "no station: no section";
}

TEST_F(CoveragePageTest, StationFieldsRefuseBadInputInWordsAndKeepGoodInput) {
    MainWindow& w = OpenAt(std::nullopt);
    CoveragePage& page = *w.CoverageView();
    w.show();
    w.Pages()->setCurrentWidget(&page);
    const struct {
        const char *lat, *lon, *range, *error;
    } refused[] = {
        {"", "4.76", "300",
         "The latitude \"\" is no number of degrees from -90 to 90 (such as 52.3)."},
        {"90.5", "4.76", "300",
         "The latitude \"90.5\" is no number of degrees from -90 to 90 (such as 52.3)."},
        {"52,3", "4.76", "300",
         "The latitude \"52,3\" is no number of degrees from -90 to 90 (such as 52.3)."},
        {"52.3", "east", "300",
         "The longitude \"east\" is no number of degrees from -180 to 180 (such as -4.5)."},
        {"52.3", "-180.01", "300",
         "The longitude \"-180.01\" is no number of degrees from -180 to 180 (such as -4.5)."},
        {"52.3", "4.76", "0.5", "The maximum range \"0.5\" is no number of NM from 1 to 1000."},
        {"52.3", "4.76", "nan", "The maximum range \"nan\" is no number of NM from 1 to 1000."},
    };
    for (const auto& r : refused) {
        page.LatitudeEdit()->setText(QString::fromUtf8(r.lat));
        page.LongitudeEdit()->setText(QString::fromUtf8(r.lon));
        page.MaxRangeEdit()->setText(QString::fromUtf8(r.range));
        page.ApplyButton()->click();
        EXPECT_TRUE(page.StationErrorLabel()->isVisible()) << r.error;
        EXPECT_EQ(page.StationErrorLabel()->text().toStdString(), r.error);
        EXPECT_EQ(w.Controller().CurrentRun().Positions().station(), std::nullopt) << r.error;
    }
    EXPECT_TRUE(errors.empty()) << "no box for a typing error";

    page.LatitudeEdit()->setText(" 52.3");
    page.LongitudeEdit()->setText("4.76 ");
    page.MaxRangeEdit()->setText("250");
    page.ApplyButton()->click();
    EXPECT_FALSE(page.StationErrorLabel()->isVisible());
    EXPECT_FALSE(page.NoStationLabel()->isVisible());
    EXPECT_EQ(w.Controller().CurrentRun().Positions().station(), kStation);
    EXPECT_EQ(w.Controller().CurrentRun().Positions().maxRangeNm(), 250.0);
    EXPECT_EQ(page.RingTable()->rowCount(), 5);
    EXPECT_EQ(page.Plot()->Rings().back(), 250.0);
    EXPECT_EQ(w.Controller().EndOnSignal(), std::vector<std::string>{});
    const std::string settings = w.Controller().SettingsPath();
    EXPECT_EQ(platform::IniReadString(settings, "Station", "location", ""), "52.3,4.76");
    EXPECT_EQ(platform::IniReadString(settings, "Station", "maxrange", ""), "250");
}

TEST_F(CoveragePageTest, CopyPutsThePlotOnTheClipboardAndExportWritesSectorsAndRings) {
    MainWindow& w = OpenAt(kStation);
    CoveragePage& page = *w.CoverageView();
    w.show();
    w.Pages()->setCurrentWidget(&page);
    FeedKnownSky(w.Controller());
    w.Controller().Tick();

    QGuiApplication::clipboard()->clear();
    page.CopyButton()->click();
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(),
              page.Plot()->size() * page.Plot()->devicePixelRatio());

    const std::string path = folder.Folder() + "coverage.csv";
    csvPaths = {path};
    page.ExportButton()->click();
    const std::string text = ReadFile(path);
    EXPECT_TRUE(text.starts_with("sector_start_deg,receiver1_max_nm,")) << text;
    EXPECT_NE(text.find("\r\n260,81.30,81.30,,2,2,0,2,0,0\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n110,90.30,,,2,0,0,0,2,0\r\n"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with(
        "350,,,,0,0,0,0,0,0\r\n"
        "\r\n"
        "ring_from_nm,ring_to_nm,by1_positions,by2_positions,both_positions,only1_positions,"
        "only2_positions,share1_pct,share1_low_pct,share1_high_pct,share2_pct,share2_low_pct,"
        "share2_high_pct\r\n"
        "0,50,1,1,1,0,0,,,,,,\r\n"
        "50,100,36,34,30,6,4,90.0,76.9,96.0,85.0,70.9,92.9\r\n"
        "100,150,0,0,0,0,0,,,,,,\r\n"
        "150,200,0,0,0,0,0,,,,,,\r\n"
        "200,250,0,0,0,0,0,,,,,,\r\n"
        "250,300,0,0,0,0,0,,,,,,\r\n"))
        << text;
}

// A sky like the demo's (HearDemoSky): the outlines follow the receivers' reach, the dots
// are the last of the frames receiver 1 heard alone, and the page's picture is saved for a
// person to look at.
TEST_F(CoveragePageTest, ARealisticSkyShowsTwoOutlines) {
    MainWindow& w = OpenAt(kStation);
    MeasurementController& c = w.Controller();
    quorvex::test::HearDemoSky(c.CurrentRun(), kStation, 5000);
    CoveragePage& page = *w.CoverageView();
    page.DotsBox()->setChecked(true);
    w.show();
    w.Pages()->setCurrentWidget(&page);
    c.Tick();
    QApplication::processEvents();
    SaveScreenshot(w, QStringLiteral("coverage-page"));

    const auto outline1 = page.Plot()->Outline(kTrace1);
    const auto outline2 = page.Plot()->Outline(kTrace2);
    const auto feed = page.Plot()->Outline(kFeedTrace);
    for (int slice = 0; slice < 72; ++slice) {
        const auto s = static_cast<std::size_t>(slice);
        EXPECT_LT(outline1[s], 220.0F) << slice;
        EXPECT_LT(outline2[s], slice >= 48 && slice < 60 ? 60.0F : 160.0F) << slice;
        EXPECT_LT(feed[s], 250.0F) << slice;
    }
    EXPECT_GT(*std::min_element(outline1.begin(), outline1.end()), 160.0F);
    EXPECT_EQ(page.Plot()->DotPositions(0).size(), kRecentOnlyPositions) << "the last ones only";
    EXPECT_EQ(page.Plot()->DotPositions(1).size(), 0u);
}

}  // namespace
}  // namespace quorvex::app::test
