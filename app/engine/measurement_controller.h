#pragma once
// The measurement controller: the object behind the main window. It owns the receivers (one
// ReceiverInput each, with its transport and framer), the UDP listener, the feed client, the
// one-second timer and the main-window state, keeps a plain model of the controls the logic reads
// and writes, and answers the window's handlers. The window mirrors the model into its widgets and
// applies each tick's result; everything else is here, testable without pixels.
//
// Threads: the user-interface thread only, every member and every callback. The ports' and
// the listener's worker threads reach it only through their hand-over to that thread.

#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/engine/command_line.h"
#include "app/engine/receiver_input.h"
#include "app/engine/session_keeper.h"
#include "core/base/clock.h"
#include "core/base/source_id.h"
#include "core/export/coverage_csv.h"
#include "core/export/level_csv.h"
#include "core/export/second_csv_file.h"
#include "core/export/table_file.h"
#include "core/run/measurement.h"
#include "core/run/run.h"
#include "core/settings/profiles.h"
#include "net/feed_connection.h"
#include "net/udp_server.h"
#include "platform/append_file.h"
#include "platform/program_paths.h"

namespace quorvex::metrics {
class MetricsEndpoint;
class ProcessReader;
class RunFigures;
}  // namespace quorvex::metrics

namespace quorvex::app {

class MeasurementController;

// Writes the one-page report of the controller's run to the file at `path`; the message when
// it cannot ("Cannot write the report FILE: REASON"). Drawing it needs widgets, so the
// front-end that can draw gives it (app/report_file.h).
using ReportWriter = std::function<std::optional<std::string>(
    const MeasurementController& controller, const std::string& path)>;

class MeasurementController : public QObject {
  public:
    struct Options {
        platform::ProgramPaths Paths;     // settings, lock file, profiles and logfiles
        std::vector<std::string> Ports;   // the port lists' devices, in order
        const Clock* LogClock = nullptr;  // the logfile's clock; the system's when null
        int UdpPort = kUdpReceiverPort;   // the port receiver 2's datagrams arrive on
        ReportWriter WriteReport;         // what writes --report; none: it cannot be written
    };

    explicit MeasurementController(Options options, QObject* parent = nullptr);
    ~MeasurementController() override;
    MeasurementController(const MeasurementController&) = delete;
    MeasurementController& operator=(const MeasurementController&) = delete;

    // --- The model of the controls -------------------------------------------------------
    // Port, rate and format lists of both receivers, their profile labels and paths, and the
    // "Filter" list.
    ProfileSettings& Controls() { return controls_; }
    const ProfileSettings& Controls() const { return controls_; }
    ReceiverProfile& ReceiverControls(SourceId receiver) {
        return receiver == SourceId::Receiver1 ? controls_.Receiver1 : controls_.Receiver2;
    }
    // A receiver: its transport, framer, CRC option and troubles.
    ReceiverInput& Input(SourceId receiver) { return *receivers_[SourceIndex(receiver)]; }
    const ReceiverInput& Input(SourceId receiver) const {
        return *receivers_[SourceIndex(receiver)];
    }
    bool Running() const { return running_; }
    // The feed's port box and the CRC boxes are disabled from the start until the first
    // Stop (and, like every receiver control, while running).
    bool StoppedOnce() const { return stoppedOnce_; }
    bool HoldDown() const { return hold_; }
    int ChartIndex() const { return chartIndex_; }
    bool ConnectDown() const { return feed_->Down(); }
    bool Heartbeat() const { return heartbeat_; }
    // How long a network receiver waits before it tries again (tests shorten it).
    void SetNetworkRetryMilliseconds(int ms) {
        for (const auto& receiver : receivers_) receiver->SetNetworkRetryMilliseconds(ms);
    }

    // What the start could not read (the settings file, a profile it names), said once the
    // window shows; the defaults stood in.
    const std::vector<std::string>& StartProblems() const { return startProblems_; }
    // The bind failure of the UDP listener, empty while it listens.
    const std::string& UdpBindError() const { return udpBindError_; }
    // What to tell when another running Quorvex uses the same settings; empty when none does.
    // The lock file (quorvex.lock, beside the settings) is held for the controller's life.
    const std::string& SharedFolderWarning() const { return sharedFolderWarning_; }
    int UdpPort() const;

    // What a page change shows on the Graph page: the chart's title with the averaging
    // interval, and each receiver's profile name while that receiver has a source.
    struct GraphTexts {
        std::string Title;
        std::string LeftProfile;
        std::string RightProfile;
    };
    GraphTexts PageChangeTexts() const;
    // The receiver has a source: a port (device or host:port) in its list, or (receiver 2)
    // the UDP listener.
    bool HasSource(SourceId receiver) const;

    // --- Handlers ------------------------------------------------------------------------
    // A user change of a receiver's port, rate or format list: the list's new selection (or,
    // for receiver 2's editable format box, the typed text) and the profile marked changed.
    void SelectItem(SourceId receiver, ComboModel ReceiverProfile::*list, int index);
    void SetFormatText(SourceId receiver, const std::string& text);
    // The text typed in a network receiver's port list: its host:port.
    void SetPortText(SourceId receiver, const std::string& text);
    void SelectInterval(int index) { controls_.Timer.SelectIndex(index); }

    void StartStopClicked();
    // The one-second tick; the timer calls it while running, tests call it directly.
    void Tick();
    // The Graph page's Clear: the histories and everything the run gathered.
    void ClearClicked();
    // The Coverage page's Clear: the coverage gathered so far.
    void ClearCoverageClicked() { run_.ClearCoverage(); }
    void SetHold(bool down);
    void SelectChartWindow(int index);
    // The Connect toggle: down connects the feed, up disconnects (and ends an attempt).
    void SetConnect(bool down);
    // Scripted runs (--connect): while connected is wanted, the feed is tried again after
    // every end (the wait shortened by tests). Why it ended shows either way (FeedTrouble).
    void SetFeedRetry(bool retry) { feed_->SetRetry(retry); }
    void SetFeedRetryMilliseconds(int ms) { feed_->SetRetryMilliseconds(ms); }
    std::string FeedTrouble() const { return feed_->Trouble(); }
    // Receiver 2's datagrams the kernel dropped since the program started (the listener's
    // queue full); none while receiver 2 is not on UDP.
    std::optional<std::uint64_t> UdpDatagramsDropped() const;
    // What a receiver's column says of its troubles: its input's, and for receiver 2 on UDP
    // the datagrams the kernel dropped.
    ReceiverTrouble ShownTrouble(SourceId receiver) const;
    std::uint64_t FeedConnectionsLost() const { return feed_->Lost(); }
    void LoggingClicked() { run_.Log().ToggleLogging(); }
    void NewLogFileClicked() { run_.Log().NewLogFile(); }

    // Profiles. Load applies a file (not a user change); one that cannot be read is said on
    // the application's error display. Save writes and clears the changed flag. A failed
    // write goes to the application's error display; the flag then stays.
    void LoadProfile(SourceId receiver, const std::string& path);
    void SaveProfile(SourceId receiver, const std::string& path);
    // The close request: questions about changed profiles, then the settings written. The
    // window closes whatever happens; the messages of failed writes are returned for it to
    // show. Nothing is asked or written once EndOnSignal has run.
    std::vector<std::string> CloseQuery(const CloseQueryDialogs& dialogs);
    // The end SIGINT or SIGTERM asks for, once: no question; the settings written. Returns
    // the lines a person needs to know (a changed profile left unsaved, a failed write).
    std::vector<std::string> EndOnSignal();
    // EndOnSignal for the program: what it returns goes to standard error, and every event
    // loop is left, the program's with exit code 1 when a write failed. Once.
    void EndProgramOnSignal();
    bool Ended() const { return ended_; }
    // False once a write at the end (the settings, a profile) failed, or the metrics could
    // not listen: the exit code says so.
    bool SavedAtEnd() const { return savedAtEnd_; }
    // From the next tick on, every second is appended to the file at `path` (--csv).
    void SetSecondsFile(const std::string& path) { secondsFile_.emplace(path); }
    // The station's location (--station, the Coverage page) and, from the page, the maximum
    // range: kept in the settings, and the coverage gathered so far is forgotten.
    void SetStation(const LatLon& station);
    void SetStation(const LatLon& station, double maxRangeNm);
    // The coverage's sector table is written to `path` every kCoverageFileSeconds ticks and at
    // the end (--coverage-csv).
    static constexpr int kCoverageFileSeconds = 60;
    void SetCoverageFile(const std::string& path) { coverageFile_.emplace(path); }
    // Likewise the level comparison (--level-csv) and the session's history (--history-csv).
    void SetLevelFile(const std::string& path) { levelFile_.emplace(path); }
    void SetHistoryFile(const std::string& path) { historyFile_.emplace(path, "history CSV file"); }
    // The report (--report) is written to `path` whenever a period of the history closes and
    // at the end.
    void SetReportFile(const std::string& path) { reportPath_ = path; }

    // A Start whose setup (receivers, station, maximum range) is that of the latest session
    // asks whether to continue it: true continues. Unset: a new session begins.
    std::function<bool(const std::string& question)> AskContinue;
    // The session on disk: its checkpoints, and whether Start continues without asking.
    SessionKeeper& Sessions() { return sessions_; }
    const SessionKeeper& Sessions() const { return sessions_; }

    // The command line's files and station (--csv, --station, --max-range, --coverage-csv,
    // --level-csv, --history-csv, --history-every, --checkpoint-every, --resume), once the
    // front-end is up.
    void ApplyRunOptions(const CommandLine& commandLine);
    // The metrics endpoint (--metrics), listening from now on; its address is said on
    // standard error. One that cannot listen is said on the application's error display, and
    // the run goes on without it (the exit code then says so).
    void ServeMetrics(const MetricsAddress& address);
    // The endpoint while it listens, else nullptr.
    const metrics::MetricsEndpoint* Metrics() const { return metrics_.get(); }
    // The figures gathered and handed to the endpoint, as each tick does; nothing without one.
    void PublishMetrics();
    // Then its presses, in this order: the logfile's Start (--log), Connect (--connect, the
    // feed then tried again after every end), Start (--start).
    void PressRunButtons(const CommandLine& commandLine);

    const platform::ProgramPaths& Paths() const { return paths_; }
    const std::string& SettingsPath() const { return paths_.SettingsFile; }
    const std::string& ProfilesFolderPath() const { return paths_.ProfilesFolder; }

    // --- What the window applies ---------------------------------------------------------
    std::function<void()> OnControlsChanged;              // the model changed
    std::function<void(const TickResult&)> OnTickResult;  // bars, figures, series
    std::function<void()> OnTallyTicked;          // every tick, held or not: the aircraft changed
    std::function<void(bool value)> OnHeartbeat;  // the heartbeat lamp's value
    std::function<void(const StartRefusal&)> OnRefusal;        // a message box, error icon
    std::function<void(SourceId receiver)> OnNetworkReceived;  // bytes came: the receive lamp
    // Runs the pending window events (the end of a tick); QCoreApplication's by default.
    std::function<void()> ProcessPendingEvents;

    // --- Components, for the lamps and for tests -----------------------------------------
    net::TIdUDPServer& UdpServer() { return *udp_; }
    net::TClientSocket& FeedClient() { return feed_->Client(); }
    const net::TClientSocket& FeedClient() const { return feed_->Client(); }
    // The measurement and what it accumulated.
    Run& CurrentRun() { return run_; }
    const Run& CurrentRun() const { return run_; }
    const TickResult& LastTick() const { return tick_; }
    QTimer& Timer() { return timer_; }

  private:
    void Changed();
    void Start();
    void Stop();
    bool ListenForUdp();
    void CloseReceivers();
    // What a session's checkpoint must match to be continued by this Start.
    std::string SessionSetup(const StartPlan& plan) const;
    void ConnectFeedHandlers();
    void ConnectUdpHandler();
    // The run ends: the coverage and level files' last writes; the messages of those that
    // failed.
    std::vector<std::string> WriteTablesAtEnd();
    // The settings file's folder, created where missing before the settings are written;
    // the message when it cannot be.
    std::optional<std::string> CreateSettingsFolder() const;
    // Whether a source is connected, or its port open; receiver 2 on UDP while listening.
    bool SourceUp(SourceId source);
    // The report written to reportPath_; the message when it could not be.
    std::optional<std::string> WriteReport() const;

    platform::ProgramPaths paths_;
    SystemClock systemClock_;
    Run run_;
    SessionKeeper sessions_;
    std::optional<StartPlan> runningPlan_;  // what the last Start set up
    ProfileSettings controls_;
    bool running_ = false;
    bool stoppedOnce_ = false;
    bool hold_ = false;
    int chartIndex_ = 0;
    bool heartbeat_ = false;
    std::string udpBindError_;
    platform::LockedFile folderLock_;
    std::string sharedFolderWarning_;
    std::vector<std::string> startProblems_;
    bool ended_ = false;
    bool savedAtEnd_ = true;

    std::vector<std::unique_ptr<ReceiverInput>> receivers_;  // receiver 1, receiver 2
    std::unique_ptr<net::TIdUDPServer> udp_;
    std::unique_ptr<net::FeedConnection> feed_;
    QTimer timer_;
    TickResult tick_;
    std::optional<SecondCsvFile> secondsFile_;
    std::optional<CoverageCsvFile> coverageFile_;
    std::optional<LevelCsvFile> levelFile_;
    std::optional<TableFile> historyFile_;
    int tableTicks_ = 0;
    ReportWriter writeReport_;
    std::string reportPath_;  // empty: no report
    RepeatedFailure reportFailures_;
    std::unique_ptr<metrics::MetricsEndpoint> metrics_;
    std::unique_ptr<metrics::RunFigures> runFigures_;
    std::unique_ptr<metrics::ProcessReader> processReader_;
};

}  // namespace quorvex::app
