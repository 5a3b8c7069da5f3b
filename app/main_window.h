#pragma once
// The main window: the "Control", "Graph", "About", "Aircraft", "Coverage", "Levels" and
// "History" pages (with the run's report) over the
// measurement controller. It mirrors the controller's model of the controls into the widgets,
// passes every user action to the controller, and applies each tick's bars, figures and chart.
//
// User-interface thread only.

#include <QWidget>

#include <memory>

#include "app/engine/command_line.h"
#include "app/engine/measurement_controller.h"
#include "app/window_dialogs.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace quorvex::ui {
class TALed;
}

namespace quorvex::app {

class AircraftPage;
class CoveragePage;
class FeedPanel;
class GraphPage;
class HistoryPage;
class LevelsPage;
class ReceiverPanel;

// The smallest window; the Control page keeps the layout it has there at every size.
inline constexpr int kWindowWidth = 616;
inline constexpr int kWindowHeight = 584;

class MainWindow : public QWidget {
  public:
    // Reads the settings and profiles, then applies the command line's receiver set-up.
    MainWindow(MeasurementController::Options options, const CommandLine& commandLine,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Once the window shows: the bind failure of the UDP listener, if any, and the
    // command line's Start, Connect and logfile presses.
    void AfterShow(const CommandLine& commandLine);

    // The end SIGINT or SIGTERM asks for: nobody is asked, the settings are written, what
    // was not saved goes to standard error, and every event loop (an open dialog's too) is
    // left, the program's with exit code 1 when a write failed.
    void EndOnSignal();

    MeasurementController& Controller() { return *controller_; }
    // Replaced by tests with scripted answers.
    WindowDialogs& Dialogs() { return dialogs_; }

    // The Copy action: a picture of the window, stamped with the time, on the clipboard.
    void CopyToClipboard();
    // The Coverage page's Copy: a picture of its plot on the clipboard.
    void CopyPlotToClipboard();

    QTabWidget* Pages() const { return pages_; }
    QWidget* ControlPage() const { return controlPage_; }
    ReceiverPanel* Receiver(SourceId receiver) const {
        return receiver == SourceId::Receiver1 ? receiver1_ : receiver2_;
    }
    FeedPanel* Feed() const { return feed_; }
    GraphPage* Graph() const { return graph_; }
    AircraftPage* Aircraft() const { return aircraft_; }
    CoveragePage* CoverageView() const { return coverage_; }
    LevelsPage* LevelsView() const { return levels_; }
    HistoryPage* HistoryView() const { return history_; }
    QPushButton* StartButton() const { return start_; }
    QComboBox* IntervalList() const { return interval_; }
    ui::TALed* HeartbeatLamp() const { return heartbeat_; }
    QPushButton* NewLogFileButton() const { return newLog_; }
    QPushButton* LoggingButton() const { return logging_; }
    QLabel* AboutText() const { return about_; }
    QLabel* AboutFilesText() const { return aboutFiles_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* MakeControlPage();
    QWidget* MakeAboutPage();
    // Tab goes down the feed column, then each receiver's column, then to Start.
    void OrderTabStops();
    // The place, size and table columns of the settings applied; and read back before the
    // settings are written.
    void RestoreWindowSettings();
    void StoreWindowSettings();
    void Bind();
    void BindReceiver(SourceId receiver);
    void ShowControls();
    void ShowTick(const TickResult& tick);
    void PageChanged();
    void RefreshAircraft();
    void RefreshCoverage();
    void RefreshLevels();
    void RefreshHistory();
    // Asks for a file (a name with `stem` and the time suggested) and writes `text` to it.
    void ExportCsv(const QString& stem, const std::string& text);
    // Asks for a file and writes the run's report to it, in the format its name ends in.
    void SaveReport();
    // Where a file a dialog saves starts: a name with `stem`, the time and `suffix` in the
    // CSV folder, made where missing.
    QString SuggestedPath(const QString& stem, const QString& suffix) const;

    std::unique_ptr<MeasurementController> controller_;
    WindowDialogs dialogs_;
    QTabWidget* pages_;
    QWidget* controlPage_;
    FeedPanel* feed_;
    ReceiverPanel* receiver1_;
    ReceiverPanel* receiver2_;
    AircraftPage* aircraft_;
    CoveragePage* coverage_;
    LevelsPage* levels_;
    HistoryPage* history_;
    QComboBox* interval_;
    ui::TALed* heartbeat_;
    QPushButton* newLog_;
    QPushButton* logging_;
    QPushButton* start_;
    GraphPage* graph_;
    QLabel* about_;
    QLabel* aboutFiles_;
};

}  // namespace quorvex::app
