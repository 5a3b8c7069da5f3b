// The window's own actions: Hold, Clear, the chart window, the page change, Copy, the
// logfile buttons, profiles with the close question, and how rejected packets and errors
// reach the operator without burying the window.

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

#include <filesystem>
#include <map>

#include <unistd.h>

#include "app/error_display.h"
#include "app/feed_panel.h"
#include "app/graph_page.h"
#include "app/rate_chart_setup.h"
#include "app/receiver_panel.h"
#include "net/loopback.h"
#include "platform/ini_file.h"
#include "support/pty.h"
#include "ui/a_led.h"
#include "ui/chart.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using WindowActionsTest = WindowFixture;

constexpr const char* kDf17 = "8D4840D6202CC371C32CE0576098";  // a valid squitter

TEST_F(WindowActionsTest, HoldFreezesTheDisplayAndItsReleaseZeroesTheCounters) {
    MainWindow& w = Open();
    MeasurementController& c = StartOnUdp(w);
    ASSERT_TRUE(c.Running());
    const bool lampBefore = w.HeartbeatLamp()->Value();

    w.Graph()->HoldButton()->click();
    c.Input(SourceId::Receiver2).Framer().FeedText(std::string("*") + kDf17 + ";");
    c.Tick();
    EXPECT_NE(w.HeartbeatLamp()->Value(), lampBefore);                // the heartbeat goes on
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->Bar(4)->value(), 0);   // the display is frozen
    EXPECT_EQ(c.CurrentRun().Counts().Counts2[DfGroup::Df17_19], 1);  // the counting is not

    w.Graph()->HoldButton()->click();  // release
    EXPECT_EQ(c.CurrentRun().Counts().Counts2[DfGroup::Df17_19], 0);
    c.Input(SourceId::Receiver2).Framer().FeedText(std::string("*") + kDf17 + ";");
    c.Tick();
    EXPECT_EQ(w.HeartbeatLamp()->Value(), lampBefore);
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->Bar(4)->value(), 1);
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->FigureLabel()->text(), "1.0 [1.0*] packets/s");

    // Released while stopped, too.
    w.StartButton()->click();
    w.Graph()->HoldButton()->click();
    c.Input(SourceId::Receiver2).Framer().FeedText(std::string("*") + kDf17 + ";");
    w.Graph()->HoldButton()->click();
    EXPECT_EQ(c.CurrentRun().Counts().Counts2[DfGroup::Df17_19], 0);
}

// Counts the paints each watched widget gets.
struct PaintCounts : QObject {
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints[watched];
        return false;
    }
    std::map<QObject*, int> paints;
};

TEST_F(WindowActionsTest, ATickRepaintsItsFiguresAndBarsOnceAndNotTheRestOfTheWindow) {
    MainWindow& w = Open();
    MeasurementController& c = StartOnUdp(w);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (int settle = 0; settle < 2; ++settle) {  // the first seconds fill what was empty
        c.Tick();
        QApplication::processEvents();
    }
    QWidget* bar = w.Receiver(SourceId::Receiver2)->Bar(4);
    QWidget* figure = w.Receiver(SourceId::Receiver2)->FigureLabel();
    QWidget* untouched[] = {w.StartButton(), w.Feed()->ConnectButton(), w.Graph()};
    PaintCounts counts;
    for (QWidget* widget : {bar, figure}) widget->installEventFilter(&counts);
    for (QWidget* widget : untouched) widget->installEventFilter(&counts);

    constexpr int kTicks = 3;
    for (int i = 1; i <= kTicks; ++i) {
        // A different count each second: a new figure and a new bar position every tick.
        for (int k = 0; k < i; ++k) {
            c.Input(SourceId::Receiver2).Framer().FeedText(std::string("*") + kDf17 + ";");
        }
        c.Tick();
        QApplication::processEvents();
    }
    EXPECT_EQ(counts.paints[bar], kTicks);
    EXPECT_EQ(counts.paints[figure], kTicks);
    for (QWidget* widget : untouched) {
        EXPECT_EQ(counts.paints[widget], 0) << widget->objectName().toStdString();
    }
}

TEST_F(WindowActionsTest, ChartWindowClearAndPageChange) {
    MainWindow& w = Open();
    MeasurementController& c = StartOnUdp(w);
    ui::TChart* chart = w.Graph()->Chart();

    c.Input(SourceId::Receiver2).Framer().FeedText(std::string("*") + kDf17 + ";");
    c.Tick();
    const ui::TLineSeries& receiver2Rate = RateChartSeries(*chart, ChartSeries::Receiver2Rate);
    EXPECT_EQ(receiver2Rate.Count(), 30u);
    EXPECT_EQ(receiver2Rate.YValues().Last(), 1.0);

    QComboBox* windows = w.Graph()->ChartWindowList();
    windows->setCurrentIndex(4);
    emit windows->activated(4);  // "60 min"
    c.Tick();
    for (int s = 0; s < chart->SeriesCount(); ++s) {
        const auto series = static_cast<ChartSeries>(s);
        const bool shortRate = series == ChartSeries::Receiver1Rate ||
                               series == ChartSeries::Receiver2Rate ||
                               series == ChartSeries::FeedRate;
        EXPECT_EQ(chart->SeriesAt(s).Count(), shortRate ? 0u : 3600u) << s;
    }
    const ui::TLineSeries& receiver2Long = RateChartSeries(*chart, ChartSeries::Receiver2RateLong);
    EXPECT_EQ(receiver2Long.YValues()[3598], 1.0);  // the second before

    w.Graph()->ClearButton()->click();
    c.Tick();
    EXPECT_EQ(receiver2Long.YValues()[3598], 0.0);

    // The wheel neither scrolls nor zooms the chart.
    const double top = chart->LeftAxis().IMaximum(), bottom = chart->LeftAxis().IMinimum();
    QWheelEvent wheel(QPointF(200, 200), QPointF(200, 200), QPoint(), QPoint(0, -360), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &wheel);
    EXPECT_EQ(chart->LeftAxis().IMaximum(), top);
    EXPECT_EQ(chart->LeftAxis().IMinimum(), bottom);

    // The page change writes the title and the profile names; a later interval change
    // reaches the title only at the next page change.
    c.ReceiverControls(SourceId::Receiver2).Label = "roof";
    w.Pages()->setCurrentIndex(1);
    EXPECT_EQ(chart->Title().Text().Lines(), QStringList{"Quorvex (DF11/17) [AVG:5 secs]"});
    EXPECT_EQ(w.Graph()->LeftProfileLabel()->text(), "");       // receiver 1 has no port
    EXPECT_EQ(w.Graph()->RightProfileLabel()->text(), "roof");  // UDP counts as a source
    QComboBox* interval = Find<QComboBox>("intervalList");
    interval->setCurrentIndex(3);
    emit interval->activated(3);
    EXPECT_EQ(chart->Title().Text().Lines(), QStringList{"Quorvex (DF11/17) [AVG:5 secs]"});
    w.Pages()->setCurrentIndex(0);
    w.Pages()->setCurrentIndex(1);
    EXPECT_EQ(chart->Title().Text().Lines(), QStringList{"Quorvex (DF11/17) [AVG:30 secs]"});
}

TEST_F(WindowActionsTest, CopyPutsAPictureOfTheWindowOnTheClipboard) {
    MainWindow& w = Open();
    w.show();
    w.Pages()->setCurrentIndex(1);
    w.Graph()->CopyButton()->click();
    ASSERT_TRUE(errors.empty()) << errors.front();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(kWindowWidth, kWindowHeight) * w.devicePixelRatio());
    EXPECT_FALSE(w.Graph()->CopyStampLabel()->isVisible());
    EXPECT_FALSE(w.Graph()->CopyStampLabel()->text().isEmpty());
}

TEST_F(WindowActionsTest, LogfileButtonsFollowTheLogfile) {
    MainWindow& w = Open();
    w.LoggingButton()->click();
    EXPECT_EQ(w.LoggingButton()->text(), "Stop");
    EXPECT_FALSE(w.NewLogFileButton()->isEnabled());
    const std::string first = w.Controller().CurrentRun().Log().LogPath();
    EXPECT_TRUE(std::filesystem::exists(first));
    w.LoggingButton()->click();
    EXPECT_EQ(w.LoggingButton()->text(), "Start");
    EXPECT_TRUE(w.NewLogFileButton()->isEnabled());
    w.NewLogFileButton()->click();
    EXPECT_TRUE(std::filesystem::exists(w.Controller().CurrentRun().Log().LogPath()));
}

TEST_F(WindowActionsTest, ProfilesSaveLoadAndTheCloseQuestion) {
    MainWindow& w = Open({"/dev/ttyUSB0", "/dev/ttyUSB1"});
    const std::string profile = folder.Folder() + "profiles/roof.prf";
    std::filesystem::create_directories(folder.path() / "profiles");

    // A user choice marks receiver 1 changed; Save writes it and clears the mark.
    QComboBox* ports = w.Receiver(SourceId::Receiver1)->PortList();
    ports->setCurrentIndex(1);
    emit ports->activated(1);
    savePaths.push_back(profile);
    w.Receiver(SourceId::Receiver1)->SaveButton()->click();
    EXPECT_EQ(platform::IniReadString(profile, "intf", "port", ""), "/dev/ttyUSB1");
    EXPECT_EQ(platform::IniReadInteger(profile, "intf", "baudrate", -2), 3);
    EXPECT_EQ(w.Receiver(SourceId::Receiver1)->ProfileLabel()->text(), "roof");

    // Loaded into receiver 2: selections applied, nothing marked changed.
    openPaths.push_back(profile);
    w.Receiver(SourceId::Receiver2)->LoadButton()->click();
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->PortList()->currentText(), "/dev/ttyUSB1");
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->RateList()->currentText(), "1000000");
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->ProfileLabel()->text(), "roof");

    // A change on receiver 2, then close: the question names the loaded profile; Yes saves
    // it there. The settings name the profiles last loaded.
    QComboBox* rates = w.Receiver(SourceId::Receiver2)->RateList();
    rates->setCurrentIndex(0);
    emit rates->activated(0);
    answers.push_back(true);
    EXPECT_TRUE(w.close());
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0],
              std::make_pair(std::string("roof"),
                             std::string("Profile2 changed. Do you want to update?")));
    EXPECT_EQ(platform::IniReadInteger(profile, "intf", "baudrate", -2), 0);
    const std::string settings = folder.Folder() + "quorvex.ini";
    EXPECT_EQ(platform::IniReadString(settings, "profiles", "profile1", "?"), "");
    EXPECT_EQ(platform::IniReadString(settings, "profiles", "profile2", "?"), profile);
    EXPECT_EQ(platform::IniReadInteger(settings, "timer", "interval", -2), 1);
}

TEST_F(WindowActionsTest, AFailedSettingsWriteIsShownOnceAndTheWindowCloses) {
    MainWindow& w = Open();
    w.show();
    std::filesystem::create_directory(folder.path() / "quorvex.ini");  // cannot be a file
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(refusals, (std::vector<std::pair<std::string, std::string>>{
                            {"quorvex", "Unable to write to " + folder.Folder() +
                                            "quorvex.ini: Is a directory."}}));
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(w.Controller().SavedAtEnd());
}

TEST_F(WindowActionsTest, RejectedPacketsAreCountedWithoutABox) {
    MainWindow& w = Open();
    MeasurementController& c = StartOnUdp(w);
    for (int i = 0; i < 500; ++i)
        c.Input(SourceId::Receiver2).Framer().FeedText("*8D4840D6202CC371C32CE05760ZZ;");
    c.Input(SourceId::Receiver2).Framer().FeedText(std::string("*") + kDf17 + ";");
    c.Tick();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(c.Input(SourceId::Receiver2).Rejected().Count, 500u);
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->RejectedLabel()->text(), "500 packets rejected");
    EXPECT_TRUE(w.Receiver(SourceId::Receiver2)
                    ->RejectedLabel()
                    ->toolTip()
                    .contains("'$ZZ' is not a valid integer"))
        << w.Receiver(SourceId::Receiver2)->RejectedLabel()->toolTip().toStdString();
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->Bar(4)->value(), 1);  // later packets still count
    EXPECT_EQ(w.Receiver(SourceId::Receiver1)->RejectedLabel()->text(), "");
}

TEST(ErrorDisplayTest, SameMessageIsCountedIntoTheOpenBox) {
    EXPECT_EQ(ErrorBoxText("Select different ports!"), "Select different ports!");
    EXPECT_EQ(ErrorBoxText("Address and port are already in use."),
              "Address and port are already in use.");
    EXPECT_EQ(ErrorBoxText("'' is not a valid integer value"), "'' is not a valid integer value.");

    ErrorDisplay display(QStringLiteral("quorvex"));
    for (int i = 0; i < 3; ++i) display.Show("Cannot open clipboard");
    display.Show("Unable to open com port");
    const std::vector<QMessageBox*> boxes = display.OpenBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0]->windowTitle(), "quorvex");
    EXPECT_EQ(boxes[0]->icon(), QMessageBox::Critical);
    EXPECT_FALSE(boxes[0]->isModal());
    EXPECT_TRUE(boxes[0]->text().startsWith("Cannot open clipboard."))
        << boxes[0]->text().toStdString();
    EXPECT_TRUE(boxes[0]->text().contains("3 times"));
    boxes[0]->close();
    QApplication::processEvents();
    display.Show("Cannot open clipboard");  // a closed box is not reused
    EXPECT_EQ(display.OpenBoxes().size(), 2u);
    EXPECT_FALSE(display.OpenBoxes()[1]->text().contains("times"));
}

}  // namespace
}  // namespace quorvex::app::test

namespace quorvex::app::test {
namespace {

// However the feed's far end fails (refuses, closes, resets), the Connect button comes up
// without a message and the feed's column says why. From the command line (--connect) the
// feed is tried again until it connects; by hand the reason stays until the next Connect.
TEST_F(WindowActionsTest, TheFeedSaysWhyItEndedAndACommandLineConnectTriesAgain) {
    enum class Peer { Refuses, Closes, Resets };
    struct Case {
        Peer peer;
        bool commandLine;
        const char* reason;  // before the address the server listens on, if any
    };
    for (const Case& run : {Case{Peer::Refuses, true, "Connection refused"},
                            Case{Peer::Closes, true, "Connection closed by 127.0.0.1:"},
                            Case{Peer::Resets, true, "Connection reset by peer"},
                            Case{Peer::Closes, false, "Connection closed by 127.0.0.1:"},
                            Case{Peer::Refuses, false, "Connection refused"}}) {
        SCOPED_TRACE(run.reason + std::string(run.commandLine ? ", --connect" : ", by hand"));
        CommandLine commandLine;
        commandLine.Connect = run.commandLine;
        MainWindow& w = Open({}, commandLine);
        MeasurementController& c = w.Controller();
        QPushButton* connectButton = w.Feed()->ConnectButton();
        auto* trouble = Find<QLabel>("feedTroubleLabel");
        ASSERT_NE(trouble, nullptr);
        c.SetFeedRetryMilliseconds(100);
        const int port = net::test::ClosedPort();
        c.FeedClient().SetPort(port);
        auto server = run.peer == Peer::Refuses ? nullptr : net::test::Listener(port);
        if (run.commandLine) {
            w.AfterShow(commandLine);
        } else {
            connectButton->click();
        }
        EXPECT_TRUE(connectButton->isChecked());
        if (server) {
            const auto connection = AcceptServing(*server);
            ASSERT_TRUE(connection);
            ASSERT_TRUE(quorvex::test::ServeUntil([&] { return c.FeedClient().Active(); }));
            EXPECT_TRUE(trouble->text().isEmpty());
            if (run.peer == Peer::Resets) {
                connection->Reset();
            } else {
                connection->Close();
            }
        }
        // As soon as it shows: from the command line the next attempt follows shortly.
        std::string shown;
        bool buttonDown = true;
        ASSERT_TRUE(quorvex::test::ServeUntil([&] {
            shown = trouble->text().toStdString();
            buttonDown = connectButton->isChecked();
            return !shown.empty();
        }));
        EXPECT_FALSE(buttonDown);
        std::string expected = run.reason;
        if (expected.ends_with(':')) expected += std::to_string(port);
        if (run.commandLine) expected += "; trying again every 1 s";
        EXPECT_EQ(shown, expected);

        // The far end takes connections again: tried again from the command line; by hand
        // the next Connect.
        if (!server) server = net::test::Listener(port);
        if (!run.commandLine) {
            connectButton->click();
            EXPECT_TRUE(trouble->text().isEmpty());
        }
        const auto again = AcceptServing(*server);
        ASSERT_TRUE(again);
        ASSERT_TRUE(quorvex::test::ServeUntil([&] { return c.FeedClient().Active(); }));
        EXPECT_TRUE(connectButton->isChecked());
        EXPECT_TRUE(trouble->text().isEmpty());
        EXPECT_TRUE(errors.empty()) << errors.front();
        window.reset();
    }
}

}  // namespace
}  // namespace quorvex::app::test
