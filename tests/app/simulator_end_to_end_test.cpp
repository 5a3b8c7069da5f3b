// The program fed by the simulator for a few seconds: receiver 1 on a pseudo-terminal the
// simulator creates, receiver 2 over UDP, the feed over TCP. What the program counted per
// DF group and feed class over the run equals what the simulator says it sent, in every
// line format, and with every fault the simulator can make on the way; so does the coverage
// CSV it writes at its end, per sector, up to the frames that gave no position.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <map>

#include "app/aircraft_model.h"
#include "app/aircraft_page.h"
#include "app/feed_panel.h"
#include "app/history_page.h"
#include "app/levels_page.h"
#include "app/receiver_panel.h"
#include "support/child_process.h"
#include "support/pty.h"
#include "support/temp_folder.h"
#include "ui/interval_plot.h"
#include "ui/line_plot.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using quorvex::test::ChildProcess;
using quorvex::test::ServeUntil;

struct SimulatedRun {
    char format1, format2;
    const char* faults;  // extra simulator options, or ""
    bool linesEnd;       // the pty closes and the feed resets during the run
    LatLon station{52.0, 5.0};
    const char* reach = "";  // how far the receivers hear; "": without limit
};

constexpr const char* kGroupNames[6] = {"DF0", "DF4_5", "DF11", "DF11_IC", "DF17_19", "DF20_21"};

using SimulatorEndToEndTest = WindowFixture;

// The Aircraft page against what the simulator sent per address: the feed's lines exactly;
// a receiver's frames at most (a reply whose address only its parity spells counts once the
// aircraft has announced itself), and never an aircraft a receiver did not hear. The
// simulator's distant aircraft make the receivers differ.
void ExpectAircraftAsSent(MainWindow& w, const QJsonObject& truth) {
    w.Pages()->setCurrentWidget(w.Aircraft());
    const AircraftModel& model = *w.Aircraft()->Model();
    ASSERT_GT(model.rowCount(), 0);
    const Run& state = w.Controller().CurrentRun();
    std::map<Hearing, int> hearing;
    for (int i = 0; i < model.rowCount(); ++i) {
        const AircraftTableRow& row = model.RowAt(i);
        const TallyRow tallied = state.Tally().Row(row.Address);
        const QString address = QString::fromStdString(AddressText(row.Address));
        SCOPED_TRACE(address.toStdString());
        const auto sent = [&](const char* source) {
            return truth[QLatin1String(source)].toObject()["aircraft"].toObject()[address].toInt();
        };
        EXPECT_EQ(static_cast<int>(tallied[SourceId::Feed].total), sent("feed"));
        EXPECT_LE(static_cast<int>(tallied[SourceId::Receiver1].total), sent("receiver1"));
        EXPECT_LE(static_cast<int>(tallied[SourceId::Receiver2].total), sent("receiver2"));
        ++hearing[row.Who];
    }
    EXPECT_GT(hearing[Hearing::Both], 0);
    EXPECT_GT(hearing[Hearing::Only1] + hearing[Hearing::Only2], 0);
    EXPECT_TRUE(w.Aircraft()->SummaryLabel()->text().startsWith(
        QStringLiteral("Heard in the last 5 minutes: %1 by both").arg(hearing[Hearing::Both])));
#if !defined(__SANITIZE_THREAD__)
    w.show();
    QApplication::processEvents();
    SaveScreenshot(w, QStringLiteral("aircraft-simulated-") + QGuiApplication::platformName());
#endif
}

// The coverage CSV the program wrote at its end against the truth's "coverage", per sector
// and column. Only frames that gave a position are placed: those the decoder skipped (an
// aircraft's before its first pair or fix, about one per aircraft) are in the truth only, as
// are the twin verdicts of frames neither copy of which gave one (the unplaced). A decoded
// position is quantised (about 5 m; the feed's to five decimals), so one within metres of a
// sector's edge may fall in the neighbouring sector: at most kEdgeMoves per column. The
// farthest range agrees to kRangeSlackNm (the CSV's two decimals, the quantisation) where
// the sector lacks no frame; where it lacks one, that may have been the farthest.
void ExpectCoverageAsSent(const std::string& csv, const Coverage& coverage,
                          const QJsonObject& truth) {
    constexpr int kEdgeMoves = 2;
    constexpr double kRangeSlackNm = 0.02;
    const QStringList rows = QString::fromStdString(csv).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + kSectorCount);
    const CoverageSummary summary = coverage.Summary();
    struct Column {
        const char* name;     // in the truth
        int count, farthest;  // in the CSV; farthest -1: none
        std::uint64_t lacking;
    };
    const Column columns[] = {
        {"receiver1", 4, 1, summary.sources[0].decodes.skipped},
        {"receiver2", 5, 2, summary.sources[1].decodes.skipped},
        {"feed", 6, 3, 0},
        {"both", 7, -1, summary.unplaced.both},
        {"only1", 8, -1, summary.unplaced.only1},
        {"only2", 9, -1, summary.unplaced.only2},
    };
    const QJsonObject sent = truth["coverage"].toObject();
    for (const Column& receiver : {columns[0], columns[1]}) {
        const auto heard = truth[QLatin1String(receiver.name)]["aircraft"].toObject().size();
        EXPECT_LE(receiver.lacking, 2 * static_cast<std::uint64_t>(heard))
            << receiver.name << " skipped";
    }
    for (const auto& source : summary.sources) EXPECT_EQ(source.decodes.dropped, 0u);
    for (const Column& column : columns) {
        SCOPED_TRACE(column.name);
        const QJsonValue truthColumn = sent[QLatin1String(column.name)];
        const QJsonArray positions =
            truthColumn.isArray() ? truthColumn.toArray() : truthColumn["positions"].toArray();
        const QJsonArray farthest = truthColumn["farthest"].toArray();
        ASSERT_EQ(positions.size(), kSectorCount);
        std::int64_t lacking = 0;
        std::int64_t moved = 0;
        std::int64_t counted = 0;
        for (int k = 0; k < kSectorCount; ++k) {
            SCOPED_TRACE("sector " + std::to_string(k));
            const QStringList cells = rows[1 + k].split(',');
            ASSERT_EQ(cells.size(), 10);
            ASSERT_EQ(cells[0].toInt(), 10 * k);
            const std::int64_t written = cells[column.count].toLongLong();
            const std::int64_t lacks = positions[k].toInteger() - written;
            lacking += lacks;
            moved += std::max<std::int64_t>(0, -lacks);
            counted += written;
            if (column.farthest < 0) continue;
            const QString range = cells[column.farthest];
            EXPECT_EQ(range.isEmpty(), written == 0);
            if (written == 0) continue;
            const double excess = range.toDouble() - farthest[k].toDouble();
            if (lacks < 0) continue;  // one from the next sector may be the farthest
            EXPECT_LE(lacks == 0 ? std::fabs(excess) : excess, kRangeSlackNm);
        }
        EXPECT_EQ(lacking, static_cast<std::int64_t>(column.lacking));
        EXPECT_LE(moved, kEdgeMoves);
        EXPECT_GT(counted, 0);
    }
}

// The simulator sends nothing before the window has started (--wait-for-go), and keeps its
// outputs open a second after its run, so everything its truth counts could be read.
TEST_F(SimulatorEndToEndTest, CountsEqualTheSimulatorsGroundTruth) {
    const SimulatedRun runs[] = {
        {'*', '*', "", false, {52.0, 5.0}, "--range1=220 --range2=160 --shadow2=240-300:60"},
        {'@', ':', "", false, {-33.9, 151.2}},
        {':', '@', "", false, {40.6, -73.8}},
        {'*', '*',
         "--fault=garbled:50 --fault=bad-hex:40 --fault=nul:30 --fault=overlong:60 "
         "--fault=empty-datagram:20 --fault=oversized-datagram:25",
         false},
        {'*', '*', "--fault=pty-close:300 --fault=feed-reset:150", true},
    };
    for (const SimulatedRun& run : runs) {
        SCOPED_TRACE(std::string("formats ") + run.format1 + " and " + run.format2 + " " +
                     run.faults);
        errors.clear();
        const int feedPort = quorvex::test::FreeTcpPort();
        const std::string truthPath = folder.Folder() + "truth.json";
        std::vector<std::string> arguments = {
            std::string("--receiver1=pty:3000000:") + run.format1,
            "--receiver2=udp:127.0.0.1:" + std::to_string(udpPort) + ":" + run.format2,
            "--feed=" + std::to_string(feedPort),
            "--seconds=3",
            "--seed=11",
            "--truth=" + truthPath,
            "--wait-for-go",
            "--station=" + std::to_string(run.station.lat) + "," + std::to_string(run.station.lon)};
        for (const QString& option : QString::fromLatin1(run.faults + std::string(" ") + run.reach)
                                         .split(' ', Qt::SkipEmptyParts)) {
            arguments.push_back(option.toStdString());
        }
        ChildProcess sim(QUORVEX_SIM_PATH, arguments);
        std::string pty;
        ASSERT_TRUE(ServeUntil([&] {
            // Standard error is where it names its devices.
            const std::string& said = sim.ReadErrors(std::chrono::milliseconds(10));
            const std::size_t at = said.find("receiver1: pty ");
            const std::size_t end = said.find('\n', at);
            if (at == std::string::npos || end == std::string::npos) return false;
            pty = said.substr(at + 15, end - at - 15);
            return true;
        })) << sim.ReadErrors();

        CommandLine commandLine;
        commandLine.Receiver1 = ReceiverOption{pty, 3000000, false, run.format1, {}};
        commandLine.Receiver2 = ReceiverOption{"", 0, true, run.format2, {}};
        commandLine.Station = run.station;
        commandLine.CoverageCsvFile = folder.Folder() + "coverage.csv";
        MainWindow& w = Open({pty}, commandLine);
        w.AfterShow(commandLine);
        MeasurementController& c = w.Controller();
        c.FeedClient().SetPort(feedPort);
        w.Feed()->ConnectButton()->click();
        w.StartButton()->click();
        ASSERT_TRUE(c.Running()) << (errors.empty() ? "" : errors.front());
        c.Timer().stop();
        ASSERT_TRUE(sim.WriteInput("go\n"));
        const auto runEnds = std::chrono::steady_clock::now() + std::chrono::seconds(3);

        // Ticks while the simulator runs, totals over whole ticks.
        std::array<std::int64_t, IntervalCounts::kCounterCount> counted{};
        const auto tick = [&] {
            c.Tick();
            for (int row = 0; row < IntervalCounts::kCounterCount; ++row) {
                counted[static_cast<std::size_t>(row)] +=
                    c.CurrentRun().Measurement().CountHistory[static_cast<std::size_t>(row)].back();
            }
        };
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, tick);
        ticker.start(700);
        // A closed device and a reset feed show in their columns while the simulator runs.
        QPushButton* connected = w.Feed()->ConnectButton();
        const auto linesEnded = [&] {
            return c.Input(SourceId::Receiver1).DeviceGone() && !connected->isChecked();
        };
        // At its end the simulator closes everything too: only before that is it a fault.
        const bool linesEndedEarly =
            ServeUntil(linesEnded, std::chrono::duration_cast<std::chrono::milliseconds>(
                                       runEnds - std::chrono::steady_clock::now()));
        if (linesEndedEarly) {
            tick();
            EXPECT_TRUE(
                w.Receiver(SourceId::Receiver1)->RejectedLabel()->text().contains("went away"));
        }
        ASSERT_TRUE(ServeUntil([&] { return !sim.Running(); }, std::chrono::seconds(20)));
        ticker.stop();
        const auto drained = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        ServeUntil([&] { return std::chrono::steady_clock::now() > drained; });
        tick();
        ASSERT_EQ(sim.ExitCode(), 0) << sim.ReadErrors();

        QFile file(QString::fromStdString(truthPath));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        const QJsonObject truth = QJsonDocument::fromJson(lines.back()).object();
        for (int receiver : {1, 2}) {
            const QJsonObject sent =
                truth[QStringLiteral("receiver%1").arg(receiver)].toObject()["groups"].toObject();
            for (int g = 0; g < 6; ++g) {
                EXPECT_EQ(counted[static_cast<std::size_t>((receiver - 1) * 6 + g)],
                          sent[QString::fromLatin1(kGroupNames[g])].toInt())
                    << "receiver " << receiver << " " << kGroupNames[g];
            }
        }
        const QJsonObject types = truth["feed"].toObject()["types"].toObject();
        const auto type = [&types](const char* t) { return types[QString::fromLatin1(t)].toInt(); };
        EXPECT_GT(type("3"), 0);
        EXPECT_EQ(counted[12], type("5") + type("6"));
        EXPECT_EQ(counted[13], type("8"));
        EXPECT_EQ(counted[14], type("1") + type("2") + type("3") + type("4") + type("7"));
        // Faults leave the program running, without a box; what ended shows where it ended.
        EXPECT_TRUE(c.Running());
        EXPECT_TRUE(errors.empty()) << errors.front();
        EXPECT_EQ(linesEndedEarly, run.linesEnd);
        if (std::string(run.faults).empty()) ExpectAircraftAsSent(w, truth);
        EXPECT_EQ(c.EndOnSignal(), std::vector<std::string>{});
        ExpectCoverageAsSent(quorvex::test::ReadFileBytes(commandLine.CoverageCsvFile),
                             c.CurrentRun().Positions(), truth);

#if !defined(__SANITIZE_THREAD__)  // painting runs on Qt's own, unchecked thread pool
        if (std::string(run.faults).empty() && run.format1 == '*') {
            w.show();
            w.Pages()->setCurrentIndex(1);
            QApplication::processEvents();
            SaveScreenshot(w, QStringLiteral("graph-simulated-") + QGuiApplication::platformName());
        }
#endif
        window.reset();
    }
}

// The demo's set-up (scripts/run --demo): both receivers on Beast, receiver 1 on the
// simulator's pseudo-terminal, receiver 2 on its TCP server with 3 dB less gain and a shorter
// reach. A few seconds in, the Levels page says receiver 2 hears the same transmissions
// weaker, in every ring where both heard positions.
TEST_F(SimulatorEndToEndTest, TheDemoShowsTheLevelDifference) {
    const LatLon station{52.0, 5.0};
    ChildProcess sim(QUORVEX_SIM_PATH,
                     {"--receiver1=pty:3000000:beast", "--receiver2=tcp-beast:0", "--station=52,5",
                      "--range1=220", "--range2=160", "--shadow2=240-300:60", "--aircraft=400",
                      "--gain1=10", "--gain2=7", "--seconds=6", "--seed=3", "--wait-for-go"});
    std::string pty, port;
    ASSERT_TRUE(ServeUntil([&] {
        const std::string said = sim.ReadErrors(std::chrono::milliseconds(10));
        const auto after = [&said](const std::string& what) {
            const std::size_t at = said.find(what);
            const std::size_t end = said.find('\n', at);
            return at == std::string::npos || end == std::string::npos
                       ? std::string()
                       : said.substr(at + what.size(), end - at - what.size());
        };
        pty = after("receiver1: pty ");
        const std::string address = after("receiver2: tcp-beast ");
        port = address.substr(address.rfind(':') + 1);
        return !pty.empty() && !address.empty();
    })) << sim.ReadErrors();

    CommandLine commandLine;
    commandLine.Receiver1 = ReceiverOption{pty, 3000000, false, 'b', {}};
    commandLine.Receiver2 = ReceiverOption{"127.0.0.1:" + port, 0, false, '*', NetworkKind::Beast};
    commandLine.Station = station;
    MainWindow& w = Open({pty}, commandLine);
    w.AfterShow(commandLine);
    MeasurementController& c = w.Controller();
    w.StartButton()->click();
    ASSERT_TRUE(c.Running()) << (errors.empty() ? "" : errors.front());
    c.Timer().stop();
    ASSERT_TRUE(ServeUntil([&] { return c.Input(SourceId::Receiver2).NetworkTrouble().empty(); }));
    ASSERT_TRUE(sim.WriteInput("go\n"));
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&c] { c.Tick(); });
    ticker.start(1000);
    ASSERT_TRUE(ServeUntil([&] { return !sim.Running(); }, std::chrono::seconds(30)));
    ticker.stop();
#if !defined(__SANITIZE_THREAD__)  // painting runs on Qt's own, unchecked thread pool
    w.show();
#endif
    w.Pages()->setCurrentWidget(w.LevelsView());
    c.Tick();

    const LevelComparison& levels = c.CurrentRun().Levels();
    const DeltaSummary all = levels.All().deltas.Summarize();
    ASSERT_TRUE(all.medianDb && all.intervalDb);
    EXPECT_LT(all.intervalDb->second, -1.5) << "3 dB less gain, less sensitive with its reach";
    const QString sentence = w.LevelsView()->SentenceLabel()->text();
    EXPECT_TRUE(sentence.startsWith(QStringLiteral("Receiver 2 hears the same transmissions ")) &&
                sentence.contains(QStringLiteral(" dB weaker (95 %: ")))
        << sentence.toStdString();
    EXPECT_FALSE(w.LevelsView()->RingPlot()->Points().empty());
    EXPECT_TRUE(errors.empty()) << errors.front();
#if !defined(__SANITIZE_THREAD__)
    SaveScreenshot(w, QStringLiteral("levels-simulated-") + QGuiApplication::platformName());
#endif

    // The History page draws the session's one period: receiver 1 reaches farther.
    w.Pages()->setCurrentWidget(w.HistoryView());
    c.Tick();
    const std::vector<ui::LineSeries>& range = w.HistoryView()->RangePlot()->Series();
    ASSERT_EQ(range.size(), 4U);
    const std::vector<HistoryRow> rows = c.CurrentRun().HistoryRows();
    ASSERT_FALSE(rows.empty());
    ASSERT_TRUE(range[0].values.back() && range[1].values.back());
    EXPECT_EQ(range[0].values.back(), rows.back().maxNm[0]);
    EXPECT_GT(*range[0].values.back(), *range[1].values.back()) << "220 against 160 NM";
#if !defined(__SANITIZE_THREAD__)
    SaveScreenshot(w, QStringLiteral("history-simulated-") + QGuiApplication::platformName());
#endif
}

}  // namespace
}  // namespace quorvex::app::test
