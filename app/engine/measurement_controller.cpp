#include "app/engine/measurement_controller.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <iterator>
#include <variant>

#include "core/base/convert_error.h"
#include "core/run/udp_datagram.h"
#include "metrics/metric_values.h"
#include "metrics/metrics_endpoint.h"
#include "metrics/process_figures.h"
#include "metrics/run_figures.h"
#include "net/tcp_receiver.h"
#include "platform/application_errors.h"
#include "platform/ini_file.h"
#include "platform/ui_thread.h"

namespace quorvex::app {
namespace {

constexpr int kTickMs = 1000;

}  // namespace

MeasurementController::MeasurementController(Options options, QObject* parent)
    : QObject(parent),
      paths_(options.Paths),
      run_(paths_.LogFolder, options.LogClock ? *options.LogClock : systemClock_, !paths_.Portable),
      sessions_(paths_.SessionsFolder),
      controls_(MakeProfileSettings(options.Ports, options.UdpPort)),
      udp_(std::make_unique<net::TIdUDPServer>()),
      feed_(std::make_unique<net::FeedConnection>()),
      writeReport_(std::move(options.WriteReport)) {
    ProcessPendingEvents = [] { QCoreApplication::processEvents(); };
    run_.Log().SetTimeSeparator(":");

    for (const SourceId id : kReceivers) {
        auto& receiver = receivers_.emplace_back(std::make_unique<ReceiverInput>(id, run_));
        receiver->OnReceived = [this, id] {
            if (OnNetworkReceived) OnNetworkReceived(id);
        };
        receiver->OnStateChanged = [this] { Changed(); };
    }
    run_.Log().OnError = [](const std::string& message) {
        platform::ShowApplicationError(message);
    };
    // A busy receiver logs thousands of lines a second: they go to the file together once
    // the event loop regains control, one write per batch.
    run_.Log().SetGathering(true);
    run_.Log().OnEntriesWaiting = [this] {
        QTimer::singleShot(0, this, [this] { run_.Log().Flush(); });
    };

    udp_->SetDefaultPort(options.UdpPort);
    ConnectUdpHandler();
    ListenForUdp();

    ConnectFeedHandlers();

    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });

    // Settings written at close by two programs in one folder: the later one's stay.
    const std::string& lockPath = paths_.LockFile;
    if (folderLock_.Open(lockPath) == EWOULDBLOCK) {
        sharedFolderWarning_ = "Another Quorvex is running in " + paths_.SettingsFolder + " (" +
                               lockPath + " is locked): the settings in " + SettingsPath() +
                               " will be those of the one closed last. Each writes a logfile "
                               "of its own.";
    }
    startProblems_ = LoadSettings(controls_, SettingsPath());
    run_.SetStation(controls_.Station, controls_.MaxRangeNm);
}

MeasurementController::~MeasurementController() {
    timer_.stop();
    // No scrape outlives what it reads.
    metrics_.reset();
    // The receivers close their ports and end their threads while the state they count into
    // still stands.
    receivers_.clear();
}

int MeasurementController::UdpPort() const {
    return udp_->DefaultPort();
}

void MeasurementController::ConnectUdpHandler() {
    udp_->SetOnUDPRead(
        [this](net::TIdUDPServer&, net::TMemoryStream& data, net::TIdSocketHandle&) {
            // Receiver 2's datagrams, while a measurement runs, whatever its own transport.
            const std::string_view text = UdpDatagramText(data.Bytes(), running_);
            if (!text.empty()) Input(SourceId::Receiver2).FeedText(text);
        },
        this);
}

bool MeasurementController::ListenForUdp() {
    if (udp_->Active()) return true;
    try {
        udp_->SetActive(true);
        udpBindError_.clear();
        return true;
    } catch (const std::exception& error) {
        // Another program (or a second Quorvex) holds the port: serial receivers and the
        // feed work as usual; Start with receiver 2 on UDP says why it cannot.
        udpBindError_ = error.what();
        return false;
    }
}

void MeasurementController::ConnectFeedHandlers() {
    feed_->OnText = [this](std::string_view text) { run_.TakeFeed(text); };
    // An error or any end of the connection puts the Connect button up, without a message;
    // the feed's column says why.
    feed_->OnChanged = [this] { Changed(); };
}

void MeasurementController::Changed() {
    if (OnControlsChanged) OnControlsChanged();
}

void MeasurementController::SelectItem(SourceId receiver, ComboModel ReceiverProfile::*list,
                                       int index) {
    ReceiverProfile& controls = ReceiverControls(receiver);
    (controls.*list).SelectIndex(index);
    ReceiverControlChanged(controls);
    if (list == &ReceiverProfile::BaudRate) {
        // The port list follows: a typed host:port for a network kind, devices otherwise.
        MatchPortToRate(controls);
        Changed();
    }
}

void MeasurementController::SetPortText(SourceId receiver, const std::string& text) {
    ReceiverProfile& controls = ReceiverControls(receiver);
    ComboModel& port = controls.Port;
    port.Text = text;
    const auto item = std::find(port.Items.begin(), port.Items.end(), text);
    port.ItemIndex = item == port.Items.end() ? -1 : static_cast<int>(item - port.Items.begin());
    ReceiverControlChanged(controls);
}

void MeasurementController::SetFormatText(SourceId receiver, const std::string& text) {
    ReceiverProfile& controls = ReceiverControls(receiver);
    ComboModel& format = controls.Format;
    format.Text = text;
    format.ItemIndex = -1;
    for (std::size_t i = 0; i < format.Items.size(); ++i) {
        if (format.Items[i] == text) format.ItemIndex = static_cast<int>(i);
    }
    ReceiverControlChanged(controls);
}

void MeasurementController::StartStopClicked() {
    QUORVEX_ASSERT_UI_THREAD();
    if (running_) {
        Stop();
    } else {
        Start();
    }
    Changed();
}

void MeasurementController::Start() {
    StartControls start;
    start.Port1 = controls_.Receiver1.Port.Text;
    start.Port2 = controls_.Receiver2.Port.Text;
    start.BaudRate1 = controls_.Receiver1.BaudRate.Text;
    start.BaudRate2 = controls_.Receiver2.BaudRate.Text;
    start.Format1 = controls_.Receiver1.Format.Text;
    start.Format2 = controls_.Receiver2.Format.Text;
    start.TimerIndex = controls_.Timer.ItemIndex;

    std::variant<StartPlan, StartRefusal> decision;
    try {
        decision = PlanStart(start, run_.Measurement().IntervalSeconds);
    } catch (const EConvertError& error) {
        platform::ShowApplicationError(error.what());
        return;
    }
    if (const auto* refusal = std::get_if<StartRefusal>(&decision)) {
        if (OnRefusal) OnRefusal(*refusal);
        return;
    }
    const StartPlan& plan = std::get<StartPlan>(decision);
    const std::string setup = SessionSetup(plan);
    auto candidate = sessions_.FindCandidate(setup);
    if (candidate && !sessions_.Resume() &&
        !(AskContinue && AskContinue(ContinueQuestion(candidate->header)))) {
        candidate.reset();
    }

    if (plan.Receiver2Udp && !ListenForUdp()) {
        if (OnRefusal) {
            OnRefusal({"Quorvex", "Receiver 2 cannot listen on UDP port " +
                                      std::to_string(UdpPort()) + ": " + udpBindError_});
        }
        return;
    }
    const std::optional<ReceiverSetup>* setups[] = {&plan.Receiver1, &plan.Receiver2};
    for (std::size_t i = 0; i < std::size(setups); ++i) {
        if (*setups[i] && !receivers_[i]->Open(**setups[i])) {
            // Nothing stays half started: another receiver would count while stopped.
            CloseReceivers();
            return;
        }
    }
    if (plan.Receiver2Udp) controls_.Receiver2.Port.SelectIndex(-1);

    running_ = true;
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    run_.Start(plan.IntervalSeconds, now);
    sessions_.Begin(run_, setup, std::move(candidate), now);
    runningPlan_ = plan;
    sessions_.SetResume(false);  // a later Start asks
    timer_.start();
}

std::string MeasurementController::SessionSetup(const StartPlan& plan) const {
    const auto receiver = [&plan, this](SourceId id) -> std::string {
        const bool present =
            id == SourceId::Receiver1 ? plan.Receiver1.has_value() : plan.Receiver2.has_value();
        if (!present) return "none";
        if (id == SourceId::Receiver2 && plan.Receiver2Udp) {
            return "UDP port " + std::to_string(UdpPort()) + " " + controls_.Receiver2.Format.Text;
        }
        const ReceiverProfile& c =
            id == SourceId::Receiver1 ? controls_.Receiver1 : controls_.Receiver2;
        return c.Port.Text + " " + c.BaudRate.Text + " " + c.Format.Text;
    };
    char station[64] = "none";
    if (controls_.Station) {
        std::snprintf(station, sizeof station, "%.5f,%.5f", controls_.Station->lat,
                      controls_.Station->lon);
    }
    char range[32];
    std::snprintf(range, sizeof range, "%.1f NM", controls_.MaxRangeNm);
    return "receiver 1 " + receiver(SourceId::Receiver1) + "; receiver 2 " +
           receiver(SourceId::Receiver2) + "; station " + station + "; maximum range " + range;
}

void MeasurementController::CloseReceivers() {
    for (const auto& receiver : receivers_) receiver->Close();
}

void MeasurementController::Stop() {
    timer_.stop();
    CloseReceivers();
    run_.End();
    for (const std::string& notice : run_.TakeNotices()) platform::ShowApplicationError(notice);
    if (auto problem = sessions_.End(run_)) platform::ShowApplicationError(*problem);
    running_ = false;
    stoppedOnce_ = true;
    PublishMetrics();
}

void MeasurementController::Tick() {
    QUORVEX_ASSERT_UI_THREAD();
    heartbeat_ = !heartbeat_;
    if (OnHeartbeat) OnHeartbeat(heartbeat_);
    TickInputs inputs;
    inputs.TimerIndex = controls_.Timer.ItemIndex;
    inputs.ChartIndex = chartIndex_;
    const std::string decimal = QLocale().decimalPoint().toStdString();
    inputs.DecimalSeparator = decimal;
    inputs.UnixSeconds = QDateTime::currentSecsSinceEpoch();
    const std::size_t periodsClosed = run_.History().Closed().size();
    run_.Second(inputs, hold_, tick_);
    for (const std::string& notice : run_.TakeNotices()) platform::ShowApplicationError(notice);
    sessions_.Tick(run_);
    if (!hold_ && run_.SecondMeasured()) {
        if (secondsFile_) {
            if (const auto error = secondsFile_->Append(run_.Measurement().Seconds.Newest())) {
                platform::ShowApplicationError(*error);
            }
        }
        if (OnTickResult) OnTickResult(tick_);
    }
    if (++tableTicks_ % kCoverageFileSeconds == 0) {
        for (const auto& error :
             {coverageFile_ ? coverageFile_->WriteMinute(run_.Positions()) : std::nullopt,
              levelFile_ ? levelFile_->WriteMinute(run_.Levels()) : std::nullopt,
              historyFile_ ? historyFile_->WriteMinute(HistoryCsvText(run_.HistoryRows()))
                           : std::nullopt}) {
            if (error) platform::ShowApplicationError(*error);
        }
    }
    // A period of the history closed: the report says so.
    if (!reportPath_.empty() && run_.History().Closed().size() != periodsClosed) {
        if (const auto error = reportFailures_.Tell(WriteReport())) {
            platform::ShowApplicationError(
                *error +
                ". It is written again when the next period closes; the measurement "
                "goes on.");
        }
    }
    if (OnTallyTicked) OnTallyTicked();
    PublishMetrics();
    // Counters were zeroed by the tick: what handlers count while the window catches up
    // belongs to the next second.
    if (ProcessPendingEvents) ProcessPendingEvents();
}

void MeasurementController::ClearClicked() {
    QUORVEX_ASSERT_UI_THREAD();
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    run_.Clear(now);
    if (running_) sessions_.BeginAnew(run_, now);
}

MeasurementController::GraphTexts MeasurementController::PageChangeTexts() const {
    GraphTexts texts;
    texts.Title = "Quorvex (DF11/17) [AVG:" + controls_.Timer.Text + "]";
    if (HasSource(SourceId::Receiver1)) texts.LeftProfile = controls_.Receiver1.Label;
    if (HasSource(SourceId::Receiver2)) texts.RightProfile = controls_.Receiver2.Label;
    return texts;
}

bool MeasurementController::HasSource(SourceId receiver) const {
    const ReceiverProfile& controls =
        receiver == SourceId::Receiver1 ? controls_.Receiver1 : controls_.Receiver2;
    return controls.Port.Text.find_first_not_of(' ') != std::string::npos ||
           (receiver == SourceId::Receiver2 && controls.BaudRate.Text.starts_with("U"));
}

void MeasurementController::SetHold(bool down) {
    QUORVEX_ASSERT_UI_THREAD();
    if (hold_ && !down) run_.ReleaseHold();
    hold_ = down;
}

void MeasurementController::SelectChartWindow(int index) {
    chartIndex_ = index;
    run_.SetChartSeconds(ChartSecondsForIndex(index, run_.Measurement().ChartSeconds));
}

void MeasurementController::SetConnect(bool down) {
    QUORVEX_ASSERT_UI_THREAD();
    try {
        feed_->SetConnect(down);
    } catch (const std::exception& error) {
        platform::ShowApplicationError(error.what());
    }
}

void MeasurementController::LoadProfile(SourceId receiver, const std::string& path) {
    QUORVEX_ASSERT_UI_THREAD();
    const auto problem = quorvex::LoadProfile(ReceiverControls(receiver), path);
    Changed();
    if (problem) platform::ShowApplicationError(*problem);
}

void MeasurementController::SaveProfile(SourceId receiver, const std::string& path) {
    QUORVEX_ASSERT_UI_THREAD();
    try {
        SaveButtonConfirmed(ReceiverControls(receiver), path);
    } catch (const platform::EIniWriteError& error) {
        platform::ShowApplicationError(error.what());
    }
    Changed();
}

std::vector<std::string> MeasurementController::CloseQuery(const CloseQueryDialogs& dialogs) {
    QUORVEX_ASSERT_UI_THREAD();
    if (ended_) return {};
    CloseQueryDialogs guarded = dialogs;
    guarded.Ended = [this] { return ended_; };
    std::vector<std::string> failures;
    if (auto problem = CreateSettingsFolder()) failures.push_back(std::move(*problem));
    for (std::string& failure : FormCloseQuery(controls_, SettingsPath(), guarded)) {
        failures.push_back(std::move(failure));
    }
    if (ended_) return {};  // a signal came meanwhile; its end has said what failed
    for (std::string& error : WriteTablesAtEnd()) failures.push_back(std::move(error));
    if (!failures.empty()) {
        Changed();
        savedAtEnd_ = false;
    }
    return failures;
}

std::vector<std::string> MeasurementController::EndOnSignal() {
    QUORVEX_ASSERT_UI_THREAD();
    if (ended_) return {};
    ended_ = true;
    std::vector<std::string> lines = ProfilesLeftUnsaved(controls_);
    if (auto problem = CreateSettingsFolder()) lines.push_back(std::move(*problem));
    try {
        SaveSettings(controls_, SettingsPath());
    } catch (const platform::EIniWriteError& error) {
        savedAtEnd_ = false;
        lines.emplace_back(error.what());
    }
    for (std::string& error : WriteTablesAtEnd()) {
        savedAtEnd_ = false;
        lines.push_back(std::move(error));
    }
    // A stall the end broke into is said too (its backlog settled by the end of the run).
    for (std::string& notice : run_.TakeNotices()) lines.push_back(std::move(notice));
    return lines;
}

std::optional<std::string> MeasurementController::CreateSettingsFolder() const {
    return platform::CreateFolder(paths_.SettingsFolder, "settings folder");
}

void MeasurementController::EndProgramOnSignal() {
    if (ended_) return;
    for (const std::string& line : EndOnSignal()) {
        std::fprintf(stderr, "quorvex: %s\n", line.c_str());
    }
    QCoreApplication::exit(savedAtEnd_ ? 0 : 1);
}

void MeasurementController::ApplyRunOptions(const CommandLine& commandLine) {
    if (!commandLine.CsvFile.empty()) SetSecondsFile(commandLine.CsvFile);
    if (commandLine.Station || commandLine.MaxRangeNm) {
        if (commandLine.Station) controls_.Station = commandLine.Station;
        if (commandLine.MaxRangeNm) controls_.MaxRangeNm = *commandLine.MaxRangeNm;
        run_.SetStation(controls_.Station, controls_.MaxRangeNm);
    }
    if (!commandLine.CoverageCsvFile.empty()) SetCoverageFile(commandLine.CoverageCsvFile);
    if (!commandLine.LevelCsvFile.empty()) SetLevelFile(commandLine.LevelCsvFile);
    if (!commandLine.HistoryCsvFile.empty()) SetHistoryFile(commandLine.HistoryCsvFile);
    if (!commandLine.ReportFile.empty()) SetReportFile(commandLine.ReportFile);
    run_.SetHistoryMinutes(commandLine.HistoryMinutes);
    sessions_.SetCheckpointSeconds(commandLine.CheckpointSeconds);
    sessions_.SetResume(commandLine.Resume);
    if (commandLine.Metrics && !metrics_) ServeMetrics(*commandLine.Metrics);
}

void MeasurementController::ServeMetrics(const MetricsAddress& address) {
    auto listening = metrics::MetricsEndpoint::Listen(address.Host, address.Port);
    if (auto* trouble = std::get_if<std::string>(&listening)) {
        savedAtEnd_ = false;
        platform::ShowApplicationError(*trouble + ". The run goes on without metrics.");
        return;
    }
    metrics_ = std::move(std::get<std::unique_ptr<metrics::MetricsEndpoint>>(listening));
    runFigures_ = std::make_unique<metrics::RunFigures>();
    processReader_ = std::make_unique<metrics::ProcessReader>();
    std::fprintf(stderr, "quorvex: metrics on %s\n", metrics_->Url().c_str());
    std::fflush(stderr);
    PublishMetrics();
}

std::optional<std::uint64_t> MeasurementController::UdpDatagramsDropped() const {
    if (!controls_.Receiver2.BaudRate.Text.starts_with("U")) return std::nullopt;
    return udp_->DroppedDatagrams();
}

ReceiverTrouble MeasurementController::ShownTrouble(SourceId receiver) const {
    ReceiverTrouble trouble = Input(receiver).Trouble();
    const std::optional<std::uint64_t> dropped =
        receiver == SourceId::Receiver2 ? UdpDatagramsDropped() : std::nullopt;
    if (!dropped || *dropped == 0) return trouble;
    const std::string text = std::to_string(*dropped) + " datagrams dropped";
    const std::string tip = "The system dropped " + std::to_string(*dropped) +
                            " datagrams: its receive queue was full while the program could not "
                            "read (it stalled or was stopped).";
    if (trouble.Text.empty()) return {text, tip};
    return {trouble.Text + "; " + text, trouble.ToolTip + " " + tip};
}

bool MeasurementController::SourceUp(SourceId source) {
    if (source == SourceId::Feed) return feed_->Client().Active();
    ReceiverInput& input = Input(source);
    if (const net::TcpReceiver* network = input.Network()) return network->Connected();
    if (input.ComPort().Connected()) return !input.DeviceGone();
    return source == SourceId::Receiver2 && running_ && udp_->Active() &&
           controls_.Receiver2.BaudRate.Text.starts_with("U");
}

void MeasurementController::PublishMetrics() {
    if (!metrics_) return;
    metrics::MetricValues values;
    runFigures_->Gather(run_, values);
    for (const SourceId receiver : kReceivers) {
        const std::size_t r = SourceIndex(receiver);
        values.rejectedPackets[r] = Input(receiver).Rejected().Count;
        values.connectionsLost[r] = Input(receiver).LostConnections().value_or(0);
    }
    values.connectionsLost[SourceIndex(SourceId::Feed)] = feed_->Lost();
    values.udpDatagramsDropped = UdpDatagramsDropped().value_or(0);
    for (const SourceId source : {SourceId::Receiver1, SourceId::Receiver2, SourceId::Feed}) {
        values.up[SourceIndex(source)] = SourceUp(source);
    }
    values.version = std::string(kVersionText.substr(kVersionText.rfind(' ') + 1));
    values.process = processReader_->Read();
    metrics_->Publish(metrics::MetricFamilies(values));
}

void MeasurementController::PressRunButtons(const CommandLine& commandLine) {
    if (commandLine.Log && !run_.Log().Logging()) {
        LoggingClicked();
        Changed();
    }
    if (commandLine.Connect && !ConnectDown()) {
        SetFeedRetry(true);
        SetConnect(true);
        Changed();
    }
    if (commandLine.Start && !running_) StartStopClicked();
}

std::vector<std::string> MeasurementController::WriteTablesAtEnd() {
    // The run ends: no frame waiting for its twin can still get one.
    run_.End();
    std::vector<std::string> errors;
    if (auto problem = sessions_.End(run_)) errors.push_back(std::move(*problem));
    if (coverageFile_) {
        if (auto error = coverageFile_->WriteAtEnd(run_.Positions())) errors.push_back(*error);
    }
    if (levelFile_) {
        if (auto error = levelFile_->WriteAtEnd(run_.Levels())) errors.push_back(*error);
    }
    if (historyFile_) {
        if (auto error = historyFile_->WriteAtEnd(HistoryCsvText(run_.HistoryRows()))) {
            errors.push_back(*error);
        }
    }
    if (!reportPath_.empty()) {
        if (auto error = WriteReport()) errors.push_back(*error + ".");
    }
    // Output that never reached its file: the run's files are not whole.
    if (secondsFile_) {
        if (auto lost = secondsFile_->Finish()) errors.push_back(std::move(*lost));
    }
    if (const std::uint64_t lost = run_.Log().LostEntries()) {
        errors.push_back("The logfile lacks " + std::to_string(lost) +
                         " entries: they could not be written.");
    }
    return errors;
}

std::optional<std::string> MeasurementController::WriteReport() const {
    if (!writeReport_) return "Cannot write the report " + reportPath_ + ": nothing here draws it";
    return writeReport_(*this, reportPath_);
}

void MeasurementController::SetStation(const LatLon& station) {
    SetStation(station, controls_.MaxRangeNm);
}

void MeasurementController::SetStation(const LatLon& station, double maxRangeNm) {
    controls_.Station = station;
    controls_.MaxRangeNm = maxRangeNm;
    run_.SetStation(station, maxRangeNm);
    // What the session gathers from now on is placed from the new station: a later start
    // continues it only with that one.
    if (running_ && runningPlan_) sessions_.SetSetup(SessionSetup(*runningPlan_));
}

}  // namespace quorvex::app
