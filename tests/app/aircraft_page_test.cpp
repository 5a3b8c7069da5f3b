// The Aircraft page in the window: fed by receiver 2 over UDP, refreshed only while it
// shows, its sort order and selection kept from tick to tick, aircraft leaving after five
// silent minutes; the CSV exports of both pages and the --csv file of a run. Qt's model
// tester watches the table model and its sorting proxy through every change and aborts on
// a broken model contract (a wrong row range, data read during an insertion, and the like).

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>

#include <fstream>
#include <sstream>

#include "app/aircraft_model.h"
#include "app/aircraft_page.h"
#include "app/graph_page.h"
#include "bench/core/sample_frames.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using WindowAircraftTest = WindowFixture;

constexpr std::uint32_t kA = 0x4840D6, kB = 0x3C6586, kC = 0xA1B2C3, kD = 0x71BE10;

// A DF 17 squitter of `address` in the "*" format.
std::string Squitter(std::uint32_t address) {
    const std::uint8_t rest[] = {static_cast<std::uint8_t>(address >> 16),
                                 static_cast<std::uint8_t>(address >> 8),
                                 static_cast<std::uint8_t>(address),
                                 0x20,
                                 0x2C,
                                 0xC3,
                                 0x71,
                                 0xC3,
                                 0x2C,
                                 0xE0};
    return "*" + bench::MakeFrame(0x8D, rest, 0, DfGroup::Df17_19).transmitted + ";";
}

void Hear(MeasurementController& c, std::uint32_t address, int frames) {
    for (int i = 0; i < frames; ++i)
        c.Input(SourceId::Receiver2).Framer().FeedText(Squitter(address));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The addresses in the order the table shows them.
std::vector<std::uint32_t> Shown(AircraftPage& page) {
    std::vector<std::uint32_t> shown;
    const QSortFilterProxyModel& sorted = *page.SortedModel();
    for (int row = 0; row < sorted.rowCount(); ++row) {
        shown.push_back(
            page.Model()->RowAt(sorted.mapToSource(sorted.index(row, 0)).row()).Address);
    }
    return shown;
}

TEST_F(WindowAircraftTest, ThePageFollowsTheTallyWhileItShowsAndKeepsOrderAndSelection) {
    MainWindow& w = Open();
    MeasurementController& c = StartOnUdp(w);
    ASSERT_TRUE(c.Running());
    AircraftPage& page = *w.Aircraft();
    const QAbstractItemModelTester modelTester(
        page.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QAbstractItemModelTester sortedTester(
        page.SortedModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    Hear(c, kA, 3);
    Hear(c, kB, 1);
    Hear(c, kC, 2);
    c.Tick();
    EXPECT_EQ(page.Model()->rowCount(), 0);  // not showing: not refreshed

    w.Pages()->setCurrentWidget(&page);
    page.Table()->sortByColumn(AircraftModel::PerMinute2, Qt::DescendingOrder);
    EXPECT_EQ(Shown(page), (std::vector{kA, kC, kB}));
    EXPECT_TRUE(page.SummaryLabel()->text().startsWith(
        "Heard in the last 5 minutes: 0 by both, 0 only by 1, 3 only by 2, 0 by the feed only"));
    page.Table()->selectRow(1);  // kC

    Hear(c, kB, 5);
    Hear(c, kD, 1);
    c.Tick();
    EXPECT_EQ(Shown(page), (std::vector{kB, kA, kC, kD}));
    const QModelIndexList selected = page.Table()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().row(), 2);
    EXPECT_EQ(page.Model()->RowAt(page.SortedModel()->mapToSource(selected.front()).row()).Address,
              kC);

    // The table as it shows, exported; then the seconds behind the chart.
    const std::string aircraftPath = folder.Folder() + "aircraft.csv";
    csvPaths = {aircraftPath, folder.Folder() + "seconds.csv", folder.Folder() + "no/such.csv"};
    page.ExportButton()->click();
    const std::string exported = ReadFile(aircraftPath);
    EXPECT_EQ(exported, page.TableCsv());
    EXPECT_EQ(exported.substr(exported.find('\n') + 1, 7), "3C6586,");
    w.Graph()->ExportButton()->click();
    const std::string seconds = ReadFile(folder.Folder() + "seconds.csv");
    EXPECT_TRUE(seconds.starts_with("time,receiver1_DF0,"));
    EXPECT_EQ(std::count(seconds.begin(), seconds.end(), '\n'), 3);  // header, two seconds
    EXPECT_TRUE(errors.empty());
    w.Graph()->ExportButton()->click();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors.front().starts_with("Cannot write " + folder.Folder() + "no/such.csv: "))
        << errors.front();

    // Five silent minutes on, and after Clear, no aircraft is left.
    for (int s = 0; s < kAircraftTableSeconds - 2; ++s) c.Tick();
    EXPECT_EQ(page.Model()->rowCount(), 4);
    c.Tick();  // five minutes since the first second
    EXPECT_EQ(Shown(page), (std::vector{kB, kD}));
    c.Tick();
    EXPECT_EQ(page.Model()->rowCount(), 0);
    Hear(c, kA, 1);
    c.Tick();
    EXPECT_EQ(page.Model()->rowCount(), 1);
    w.Graph()->ClearButton()->click();
    c.Tick();
    EXPECT_EQ(page.Model()->rowCount(), 0);
}

// More addresses than the tally keeps: the page says how many it dropped, until Clear.
TEST_F(WindowAircraftTest, ThePageSaysHowManyAircraftTheBoundDropped) {
    MainWindow& w = Open();
    MeasurementController& c = StartOnUdp(w);
    AircraftPage& page = *w.Aircraft();
    w.Pages()->setCurrentWidget(&page);
    auto* dropped = Find<QLabel>("aircraftDroppedLabel");
    ASSERT_NE(dropped, nullptr);
    EXPECT_TRUE(dropped->isHidden());

    const std::uint32_t heard = kTallyMaxAddresses + 400;
    for (std::uint32_t a = 0; a < heard; ++a) Hear(c, 0x100000 + a, 1);
    c.Tick();
    ASSERT_LT(c.CurrentRun().Tally().size(), heard);
    EXPECT_EQ(page.Model()->rowCount(), static_cast<int>(c.CurrentRun().Tally().size()));
    EXPECT_FALSE(dropped->isHidden());
    EXPECT_EQ(dropped->text().toStdString(),
              std::to_string(heard - c.CurrentRun().Tally().size()) +
                  " aircraft dropped since Start or Clear: the table keeps at most the " +
                  std::to_string(kTallyMaxAddresses) + " heard most recently");

    w.Graph()->ClearButton()->click();
    c.Tick();
    EXPECT_TRUE(dropped->isHidden());
}

TEST_F(WindowAircraftTest, TheCsvOptionAppendsEverySecondAndReportsAFailureOnce) {
    const std::string path = folder.Folder() + "run.csv";
    for (const bool writable : {true, false}) {
        CommandLine commandLine;
        commandLine.CsvFile = writable ? path : folder.Folder() + "no/run.csv";
        MainWindow& w = Open({}, commandLine);
        w.AfterShow(commandLine);
        MeasurementController& c = StartOnUdp(w);
        Hear(c, kA, 2);
        c.Tick();
        c.Tick();
        EXPECT_TRUE(c.Running());
        if (writable) {
            const std::string text = ReadFile(path);
            std::vector<std::string> lines;
            std::istringstream in(text);
            for (std::string line; std::getline(in, line);) lines.push_back(line);
            ASSERT_EQ(lines.size(), 3u) << text;
            EXPECT_TRUE(lines[0].starts_with("time,"));
            // Receiver 2's DF 17 column is the twelfth counter, after the time.
            EXPECT_TRUE(lines[1].find(",0,0,0,0,2,0,0,0,0,") != std::string::npos) << lines[1];
            EXPECT_TRUE(errors.empty());
        } else {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_TRUE(errors.front().starts_with("Cannot write the CSV file ")) << errors.front();
        }
        window.reset();
    }
}

// An installed program's exports start beside its logfiles; a folder that cannot be made
// there is said, and the dialog still lets the export go elsewhere.
TEST_F(WindowAircraftTest, AnExportStartsInTheCsvFolderAndSaysWhenItCannotBeMade) {
    std::ofstream(folder.Folder() + "plain") << "x";
    programPaths = platform::ResolveProgramPaths(folder.Folder(), false,
                                                 {folder.Folder(), "", folder.Folder() + "plain"});
    MainWindow& w = Open();
    csvPaths = {folder.Folder() + "seconds.csv"};
    w.Graph()->ExportButton()->click();
    EXPECT_EQ(errors, std::vector<std::string>{"Cannot create the CSV folder " + folder.Folder() +
                                               "plain/quorvex/: Not a directory"});
    ASSERT_EQ(csvSuggested.size(), 1u);
    EXPECT_TRUE(csvSuggested[0].startsWith(
        QString::fromStdString(folder.Folder() + "plain/quorvex/quorvex-seconds-")));
    EXPECT_TRUE(ReadFile(folder.Folder() + "seconds.csv").starts_with("time,"));
}

}  // namespace
}  // namespace quorvex::app::test
