// The run's one-page report in each of its formats, read back: the PDF one A4 page whose
// figures are lines, not pictures; the PNG the page at 150 dpi with both receivers' outlines
// on it; the HTML well-formed XHTML whose tables carry the very numbers the CSV files write
// of the same run, its pictures inside. In the window: the History page's Report… and
// --report at the end of the run, their failures said with the file and the reason. And the
// real program drawing it without a display.

#include <QImage>
#include <QPushButton>
#include <QXmlStreamReader>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "app/report_file.h"
#include "core/export/coverage_text.h"
#include "core/export/report_text.h"
#include "program_run.h"
#include "support/child_process.h"
#include "support/position_sky.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using quorvex::test::HearAircraft;
using quorvex::test::ReadFileBytes;

constexpr LatLon kStation{52.3, 4.76};
constexpr std::int64_t kStart = 1'800'000'000;  // on the hour

// A session of one-minute periods: minutes 0, 1 and 3 measured, minute 2 a gap. Each
// measured minute 40 aircraft out to 200 NM are heard by both receivers with levels,
// receiver 2 some 5 dB weaker, 12 beyond 160 NM by receiver 1 only, 4 by receiver 2 only.
class ReportRun {
  public:
    ReportRun() : run_(folder_.Folder(), clock_) {
        run_.SetStation(kStation, 250);
        run_.SetHistoryMinutes(1);
        run_.Start(5, kStart);
        std::uint32_t address = 0x300000;
        for (const int minute : {0, 1, 3}) {
            for (int i = 0; i < 56; ++i) {
                const bool only1 = i >= 40 && i < 52;
                const bool only2 = i >= 52;
                const double nm = only1 ? 165 + 3 * (i - 40) : 10 + 3.5 * (i % 40) + minute;
                HearAircraft(run_, kStation, address++,
                             {9.0 * i + minute, nm, 30000, !only2, !only1},
                             LevelFromBeastByte(static_cast<std::uint8_t>(60 + i)),
                             LevelFromBeastByte(static_cast<std::uint8_t>(34 + i)));
            }
            TickResult result;
            for (int second = 1; second <= 60; ++second) {
                TickInputs inputs;
                inputs.UnixSeconds = kStart + minute * 60 + second;
                run_.Second(inputs, false, result);
            }
        }
        run_.End();
    }

    quorvex::Run& Get() { return run_; }
    // The page a minute after the run's last tick: that minute is after its end, no gap.
    ReportPage Page() {
        return ReportPage(run_,
                          {{"Receiver 1", "/dev/ttyUSB0 at 3000000 baud, *<mode-s>; no CRC"},
                           {"Receiver 2", "TCP Beast from shed.local:30005"},
                           {"Feed", "not connected"}},
                          kStart + 300);
    }

  private:
    quorvex::test::TempFolder folder_;
    SystemClock clock_;
    quorvex::Run run_;
};

// What the HTML says, read as XML.
struct HtmlReport {
    std::string error;  // the parser's, empty when well-formed
    std::map<std::string, std::string> setup;
    std::vector<std::string> verdict;
    std::map<std::string, std::vector<std::vector<std::string>>> tables;  // by id, data rows
    std::vector<QImage> pictures;
};

HtmlReport ReadHtml(const QByteArray& html) {
    HtmlReport report;
    QXmlStreamReader xml(html);
    std::string table, label;
    std::vector<std::string> cells;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            if (name == u"table")
                table = xml.attributes().value(QStringLiteral("id")).toString().toStdString();
            if (name == u"tr") cells.clear();
            if (name == u"th" && table == "setup") label = xml.readElementText().toStdString();
            if (name == u"td") cells.push_back(xml.readElementText().toStdString());
            if (name == u"li") report.verdict.push_back(xml.readElementText().toStdString());
            if (name == u"img") {
                const QString source = xml.attributes().value(QStringLiteral("src")).toString();
                const QString prefix = QStringLiteral("data:image/png;base64,");
                report.pictures.push_back(
                    source.startsWith(prefix)
                        ? QImage::fromData(
                              QByteArray::fromBase64(source.mid(prefix.size()).toLatin1()), "PNG")
                        : QImage());
            }
        } else if (xml.isEndElement() && xml.name() == u"tr" && !cells.empty()) {
            if (table == "setup") {
                report.setup[label] = cells.front();
            } else {
                report.tables[table].push_back(cells);
            }
        }
    }
    if (xml.hasError()) report.error = xml.errorString().toStdString();
    return report;
}

// The numbers in `text`, as written.
std::vector<std::string> Numbers(const std::string& text) {
    static const std::regex kNumber(R"(\d+(\.\d+)?)");
    std::vector<std::string> numbers;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kNumber);
         it != std::sregex_iterator(); ++it) {
        numbers.push_back(it->str());
    }
    return numbers;
}

// A CSV text's rows after its header, each as its fields.
std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string>& fields = rows.emplace_back();
        std::istringstream cells(line + ",");
        for (std::string field; std::getline(cells, field, ',');) fields.push_back(field);
    }
    return rows;
}

// The HTML's periods carry the history CSV's start, measured seconds, frames and ranges.
void ExpectPeriodsAsIn(const HtmlReport& html, const std::string& historyCsv) {
    const auto csvRows = CsvRows(historyCsv);
    const auto& periods = html.tables.at("periods");
    ASSERT_EQ(periods.size(), csvRows.size());
    for (std::size_t p = 0; p < periods.size(); ++p) {
        const auto& csv = csvRows[p];
        ASSERT_EQ(csv.size(), 15u);
        const std::vector<std::string> expected = {csv[0],  csv[2],  csv[3],  csv[4],
                                                   csv[11], csv[12], csv[13], csv[14]};
        ASSERT_EQ(periods[p].size(), expected.size());
        for (std::size_t c = 0; c < expected.size(); ++c) {
            EXPECT_EQ(periods[p][c], expected[c].empty() ? "–" : expected[c])
                << "period " << p << ", column " << c;
        }
    }
}

// The report of a ReportRun, written to a scratch folder.
class ReportFileTest : public ::testing::Test {
  protected:
    // The page written to `name` in the folder; its path.
    std::string Written(const std::string& name) {
        const std::string path = folder.Folder() + name;
        EXPECT_EQ(WriteReport(page, path), std::nullopt);
        return path;
    }

    ReportRun run;
    ReportPage page = run.Page();
    quorvex::test::TempFolder folder;
};

TEST_F(ReportFileTest, ThePdfIsOneA4PageOfLinesAndText) {
    const std::string path = Written("report.pdf");

    const std::string pdf = ReadFileBytes(path);
    ASSERT_TRUE(pdf.starts_with("%PDF-"));
    const std::regex kPage(R"(/Type\s*/Page\b(?!s))");
    EXPECT_EQ(
        std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), kPage), std::sregex_iterator()),
        1);
    std::smatch box;
    ASSERT_TRUE(std::regex_search(
        pdf, box, std::regex(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])")));
    // A4 in points: 210 mm and 297 mm at 72 a 25.4 mm inch.
    EXPECT_NEAR(std::stod(box[1]), 595.28, 0.5);
    EXPECT_NEAR(std::stod(box[2]), 841.89, 0.5);
    EXPECT_EQ(pdf.find("/Subtype /Image"), std::string::npos)
        << "the figures are drawn as lines and text, not as pictures";
}

TEST_F(ReportFileTest, ThePngIsThePageAt150DpiWithBothOutlines) {
    const std::string path = Written("report.png");

    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(path), "PNG"));
    EXPECT_EQ(image.size(), QSize(1240, 1754));  // 210 by 297 mm at 150 dpi
    EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 150, 0.5);
    int red = 0, green = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            red += pixel.red() > 200 && pixel.green() < 60 && pixel.blue() < 60;
            green += pixel.green() > 150 && pixel.red() < 60 && pixel.blue() < 60;
        }
    }
    EXPECT_GT(red, 500) << "receiver 1's outline and lines";
    EXPECT_GT(green, 500) << "receiver 2's outline and lines";
}

TEST_F(ReportFileTest, TheHtmlCarriesTheNumbersOfTheCsvFilesAndItsPicturesInside) {
    const HtmlReport html =
        ReadHtml(QByteArray::fromStdString(ReadFileBytes(Written("report.html"))));
    ASSERT_EQ(html.error, "");

    // Read back as text: the markup in a receiver's format escaped on the way in.
    EXPECT_EQ(html.setup.at("Receiver 1"), "/dev/ttyUSB0 at 3000000 baud, *<mode-s>; no CRC");
    EXPECT_EQ(html.setup.at("Station"), "52.3, 4.76 (positions out to 250 NM)");
    EXPECT_EQ(html.setup.at("Session"), "2027-01-15T08:00:00Z to 2027-01-15T08:05:00Z (UTC)");
    EXPECT_EQ(html.setup.at("Measured"), "3 min 00 s; gaps 1 min 00 s; periods of 1 min");
    const quorvex::Run& state = run.Get();
    EXPECT_EQ(html.verdict, VerdictLines(state.Positions(), state.Levels()));
    EXPECT_EQ(html.verdict.front().find("not enough"), std::string::npos) << html.verdict.front();

    // The ring table's numbers are the ring CSV's, row by row and written alike.
    const auto ringCsv = CsvRows(RingCsvText(state.Positions()));
    const auto& rings = html.tables.at("rings");
    ASSERT_EQ(rings.size(), ringCsv.size());
    std::size_t shares = 0;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        std::string cells, fields;
        for (const auto& cell : rings[r]) cells += cell + " ";
        for (const auto& field : ringCsv[r]) fields += field + " ";
        EXPECT_EQ(Numbers(cells), Numbers(fields)) << "ring " << r;
        shares += !ringCsv[r][7].empty();
    }
    EXPECT_GE(shares, 2u) << "rings with shares to compare";

    EXPECT_GE(html.tables.at("periods").size(), 4u);
    ExpectPeriodsAsIn(html, HistoryCsvText(state.HistoryRows()));

    // The polar plot, the range and rates over time, the levels: drawn twice as sharp as
    // their place on the page.
    ASSERT_EQ(html.pictures.size(), 4u);
    EXPECT_EQ(html.pictures[0].size(), QSize(760, 760));
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(html.pictures[i].size(), QSize(1440, 480));
}

TEST_F(ReportFileTest, AFileThatCannotBeWrittenIsSaidWithItsReason) {
    const std::string missing = folder.Folder() + "missing/report.pdf";
    const auto error = WriteReport(page, missing);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->starts_with("Cannot write the report " + missing + ": ")) << *error;
    EXPECT_EQ(WriteReport(page, folder.Folder() + "report.txt"),
              "Cannot write the report " + folder.Folder() +
                  "report.txt: its name must end in .pdf, .png or .html");
}

class ReportWindowTest : public WindowFixture {};

TEST_F(ReportWindowTest, ReportAsksForAFileAndWritesTheWindowsRun) {
    MainWindow& w = Open();
    MeasurementController& c = StartOnUdp(w);
    c.Tick();
    std::deque<std::string> paths = {folder.Folder() + "window.html",
                                     folder.Folder() + "missing/window.png"};
    std::vector<QString> suggested;
    w.Dialogs().SaveReport = [&](const QString& name) -> std::optional<std::string> {
        suggested.push_back(name);
        if (paths.empty()) return std::nullopt;
        const std::string path = paths.front();
        paths.pop_front();
        return path;
    };
    auto* report = Find<QPushButton>("historyReportButton");
    ASSERT_NE(report, nullptr);
    report->click();
    ASSERT_EQ(suggested.size(), 1u);
    EXPECT_TRUE(suggested[0].endsWith(QStringLiteral(".pdf"))) << suggested[0].toStdString();
    const HtmlReport html =
        ReadHtml(QByteArray::fromStdString(ReadFileBytes(folder.Folder() + "window.html")));
    EXPECT_EQ(html.error, "");
    EXPECT_EQ(html.setup.at("Receiver 2"),
              "UDP Port " + std::to_string(udpPort) + ", *<mode-s>; no CRC");
    EXPECT_EQ(html.setup.at("Feed"), "not connected");
    EXPECT_TRUE(errors.empty());

    report->click();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with("Cannot write the report " + folder.Folder() +
                                      "missing/window.png: "))
        << errors[0];
    report->click();  // cancelled: nothing written, nothing said
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(ReportWindowTest, DashDashReportIsWrittenAtTheEndAndItsFailureSaid) {
    for (const bool writable : {true, false}) {
        CommandLine commandLine;
        commandLine.ReportFile = folder.Folder() + (writable ? "" : "missing/") + "end.png";
        MainWindow& w = Open({}, commandLine);
        w.AfterShow(commandLine);
        MeasurementController& c = StartOnUdp(w);
        c.Tick();
        const std::vector<std::string> said = c.EndOnSignal();
        if (writable) {
            EXPECT_EQ(said, std::vector<std::string>{});
            EXPECT_TRUE(c.SavedAtEnd());
            EXPECT_FALSE(QImage(QString::fromStdString(commandLine.ReportFile)).isNull());
        } else {
            ASSERT_EQ(said.size(), 1u);
            EXPECT_TRUE(said[0].starts_with("Cannot write the report " + commandLine.ReportFile))
                << said[0];
            EXPECT_FALSE(c.SavedAtEnd());
        }
        window.reset();
    }
}

// The real program without a window and with no display of any kind, fed by the
// simulator's two Beast receivers and ended by SIGTERM: exit code 0, the report it writes at
// the end names the receivers as they were set up and holds the periods of its own history
// CSV, the verdict and its four pictures.
TEST(HeadlessRunTest, TheReportIsDrawnWithoutADisplay) {
    using namespace std::chrono_literals;
    const auto eventually = [](std::chrono::seconds bound, const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + bound;
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    };
    ProgramUnderTest program;
    quorvex::test::ChildProcess sim(
        QUORVEX_SIM_PATH, {"--receiver1=pty:3000000:beast", "--receiver2=tcp-beast:0",
                           "--station=52,5", "--range1=220", "--range2=160", "--aircraft=200",
                           "--gain1=10", "--gain2=7", "--seconds=3", "--seed=3", "--wait-for-go"});
    const auto [pty, port] = SimulatorOutputs(sim);
    ASSERT_FALSE(pty.empty() || port.empty()) << sim.ReadErrors();

    const std::string output = program.File("summary.txt");
    quorvex::test::ChildProcess run(
        program.File("quorvex"),
        {"--no-window", "--receiver1=" + pty + ":3000000:beast",
         "--receiver2=tcp:127.0.0.1:" + port + ":beast", "--station=52,5", "--summary-every=1",
         "--history-csv", program.File("history.csv"), "--report", program.File("report.html")},
        {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
         "LSAN_OPTIONS=suppressions=" QUORVEX_LSAN_SUPPRESSIONS},
        output);
    const auto summaries = [&] {
        const std::string said = ReadFileBytes(output);
        return std::count(said.begin(), said.end(), '\n');
    };
    // Summaries of both receivers: started, receiver 2 connected.
    ASSERT_TRUE(eventually(60s, [&] { return summaries() > 4 || !run.Running(); }));
    ASSERT_TRUE(run.Running()) << run.ReadErrors();
    ASSERT_TRUE(sim.WriteInput("go\n"));
    ASSERT_TRUE(eventually(30s, [&] { return !sim.Running(); }));
    const auto ended = summaries();
    ASSERT_TRUE(eventually(30s, [&] { return summaries() > ended + 6; }));
    ::kill(run.Pid(), SIGTERM);
    ASSERT_TRUE(eventually(60s, [&] { return !run.Running(); }));
    EXPECT_EQ(run.ExitCode(), 0) << run.ReadErrors();
    EXPECT_EQ(run.ReadErrors().find("report"), std::string::npos) << run.ReadErrors();

    const HtmlReport html =
        ReadHtml(QByteArray::fromStdString(ReadFileBytes(program.File("report.html"))));
    ASSERT_EQ(html.error, "");
    EXPECT_EQ(html.setup.at("Receiver 1"), pty + " at 3000000 baud, Beast binary");
    EXPECT_EQ(html.setup.at("Receiver 2"), "TCP Beast from 127.0.0.1:" + port);
    EXPECT_EQ(html.setup.at("Station"), "52, 5 (positions out to 300 NM)");
    ExpectPeriodsAsIn(html, ReadFileBytes(program.File("history.csv")));
    ASSERT_FALSE(html.verdict.empty());
    EXPECT_TRUE(html.verdict[0].starts_with("Of the ")) << html.verdict[0];
    EXPECT_TRUE(std::any_of(html.verdict.begin(), html.verdict.end(), [](const std::string& line) {
        return line.find(" hears the same transmissions ") != std::string::npos;
    }));
    ASSERT_EQ(html.pictures.size(), 4u);
    for (const QImage& picture : html.pictures) EXPECT_FALSE(picture.isNull());
}

}  // namespace
}  // namespace quorvex::app::test
