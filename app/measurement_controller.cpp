#include "app/measurement_controller.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <exception>

#include "core/convert_error.h"
#include "core/intake.h"
#include "platform/application_errors.h"
#include "platform/ini_file.h"
#include "platform/ui_thread.h"

namespace quorvex::app {
namespace {

constexpr int kTickMs = 1000;

Receiver SourceOf(int receiver) {
    return receiver == 1 ? Receiver::R1 : Receiver::R2;
}

}  // namespace

MeasurementController::MeasurementController(Options options, QObject* parent)
    : QObject(parent),
      appFolder_(options.AppFolder),
      state_(options.AppFolder, options.LogClock ? *options.LogClock : systemClock_),
      controls_(MakeProfileSettings(options.Ports, options.UdpPort)),
      udp_(std::make_unique<net::TIdUDPServer>()),
      feed_(std::make_unique<net::TClientSocket>()) {
    ProcessPendingEvents = [] { QCoreApplication::processEvents(); };
    state_.Log.SetTimeSeparator(":");

    for (int receiver : {1, 2}) {
        auto& port = ports_[Index(receiver)];
        auto& framer = framers_[Index(receiver)];
        port = std::make_unique<serial::TComPort>();
        port->SetBaudRate(serial::TBaudRate::brCustom);
        framer = std::make_unique<serial::TComDataPacket>();
        framer->SetStartString(":");
        framer->SetStopString(";");
        framer->SetComPort(port.get());
        framer->OnPacket = [this, receiver](serial::TComDataPacket*, const std::string& packet) {
            ReceiverPacket(state_, SourceOf(receiver), packet, crc_[Index(receiver)]);
        };
    }
    // A garbled packet is counted and remembered, never shown in a box of its own: at
    // thousands of frames a second that would bury the window.
    state_.OnRejectedPacket = [this](Receiver source, const std::string& message) {
        RejectedPackets& rejected = rejected_[source == Receiver::R1 ? 0 : 1];
        ++rejected.Count;
        rejected.LastMessage = message;
    };
    state_.Log.OnError = [](const std::string& message) {
        platform::ShowApplicationError(message);
    };
    // A busy receiver logs thousands of lines a second: they go to the file together once
    // the event loop regains control, one open-append-close per batch.
    state_.Log.SetGathering(true);
    state_.Log.OnEntriesWaiting = [this] {
        QTimer::singleShot(0, this, [this] { state_.Log.Flush(); });
    };

    udp_->SetDefaultPort(options.UdpPort);
    ConnectUdpHandler();
    ListenForUdp();

    ConnectFeedHandlers();

    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });

    LoadSettings(controls_, SettingsPath());
}

MeasurementController::~MeasurementController() {
    timer_.stop();
    // The framers let go of their ports first, then the ports close and end their threads.
    for (auto& framer : framers_) framer.reset();
    for (auto& port : ports_) port.reset();
}

int MeasurementController::UdpPort() const {
    return udp_->DefaultPort();
}

void MeasurementController::ConnectUdpHandler() {
    udp_->SetOnUDPRead(
        [this](net::TIdUDPServer&, net::TMemoryStream& data, net::TIdSocketHandle&) {
            const std::string_view text = UdpDatagramText(data.Bytes(), running_);
            if (!text.empty()) framers_[1]->FeedText(text);
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
    feed_->SetOnRead(
        [this](net::TClientSocket&, net::TClientWinSocket& socket) {
            FeedTextReceived(state_, socket.ReadPendingText());
        },
        this);
    // An error or any end of the connection puts the Connect button up, without a message.
    feed_->SetOnError(
        [this](net::TClientSocket&, net::TClientWinSocket&, net::TErrorEvent, int& errorCode) {
            errorCode = 0;
            if (connectDown_) {
                connectDown_ = false;
                Changed();
            }
        },
        this);
    feed_->SetOnDisconnect(
        [this](net::TClientSocket&, net::TClientWinSocket&) {
            if (connectDown_) {
                connectDown_ = false;
                Changed();
            }
        },
        this);
}

void MeasurementController::Changed() {
    if (OnControlsChanged) OnControlsChanged();
}

void MeasurementController::SelectItem(int receiver, ComboModel ReceiverProfile::*list, int index) {
    ReceiverProfile& controls = ReceiverControls(receiver);
    (controls.*list).SelectIndex(index);
    ReceiverControlChanged(controls);
    if (list == &ReceiverProfile::BaudRate) {
        // The port list follows: a typed host:port for a network kind, devices otherwise.
        MatchPortToRate(controls);
        Changed();
    }
}

void MeasurementController::SetPortText(int receiver, const std::string& text) {
    ReceiverProfile& controls = ReceiverControls(receiver);
    ComboModel& port = controls.Port;
    port.Text = text;
    const auto item = std::find(port.Items.begin(), port.Items.end(), text);
    port.ItemIndex = item == port.Items.end() ? -1 : static_cast<int>(item - port.Items.begin());
    ReceiverControlChanged(controls);
}

void MeasurementController::SetFormatText(int receiver, const std::string& text) {
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
        decision = PlanStart(start, state_.Measurement.IntervalSeconds);
    } catch (const EConvertError& error) {
        platform::ShowApplicationError(error.what());
        return;
    }
    if (const auto* refusal = std::get_if<StartRefusal>(&decision)) {
        if (OnRefusal) OnRefusal(*refusal);
        return;
    }
    const StartPlan& plan = std::get<StartPlan>(decision);

    if (plan.Receiver2Udp && !ListenForUdp()) {
        if (OnRefusal) {
            OnRefusal({"Quorvex", "Receiver 2 cannot listen on UDP port " +
                                      std::to_string(UdpPort()) + ": " + udpBindError_});
        }
        return;
    }
    if (plan.Receiver1 && plan.Receiver1->Serial && !OpenReceiver(1, *plan.Receiver1)) return;
    if (plan.Receiver2) {
        if (plan.Receiver2->Network) {
            OpenNetworkReceiver(2, *plan.Receiver2);
        } else if (plan.Receiver2->Serial) {
            if (!OpenReceiver(2, *plan.Receiver2)) {
                // Nothing stays half started: receiver 1 would count while stopped.
                ClosePorts();
                return;
            }
        } else {
            framers_[1]->SetStartString(std::string(1, plan.Receiver2->StartString));
            crc_[1] = plan.Receiver2->CrcOption;
        }
    }
    if (plan.Receiver2Udp) controls_.Receiver2.Port.SelectIndex(-1);
    if (plan.Receiver1 && plan.Receiver1->Network) OpenNetworkReceiver(1, *plan.Receiver1);

    running_ = true;
    StartMeasurement(state_.Measurement, plan.IntervalSeconds);
    state_.Tally.Clear();
    timer_.start();
}

bool MeasurementController::OpenReceiver(int receiver, const ReceiverSetup& setup) {
    serial::TComPort& port = *ports_[Index(receiver)];
    try {
        port.SetPort(setup.Serial->Port);
        port.SetCustomBaudRate(setup.Serial->BaudRate);
        framers_[Index(receiver)]->SetStartString(std::string(1, setup.StartString));
        crc_[Index(receiver)] = setup.CrcOption;
        port.OpenPort();
        return true;
    } catch (const std::exception& error) {
        platform::ShowApplicationError(error.what());
        return false;
    }
}

void MeasurementController::OpenNetworkReceiver(int receiver, const ReceiverSetup& setup) {
    const std::size_t i = Index(receiver);
    framers_[i]->SetStartString(std::string(1, setup.StartString));
    crc_[i] = setup.CrcOption;
    auto network = std::make_unique<net::TcpReceiver>();
    network->SetRetryMilliseconds(networkRetryMs_);
    const bool beast = setup.Network->Kind == NetworkKind::Beast;
    if (beast) {
        network->OnFrame = [this, receiver](std::string_view hex, std::uint8_t signal) {
            const double level = net::SignalDbfs(signal);  // -infinity: none measured
            ReceiverPacket(state_, SourceOf(receiver), hex, true,
                           std::isfinite(level) ? static_cast<float>(level) : kNoLevel);
        };
    } else {
        network->OnText = [this, i](std::string_view text) { framers_[i]->FeedText(text); };
    }
    network->OnReceived = [this, receiver] {
        if (OnNetworkReceived) OnNetworkReceived(receiver);
    };
    network->OnStateChanged = [this] {
        if (OnControlsChanged) OnControlsChanged();
    };
    network->Start(setup.Network->Host, setup.Network->Port,
                   beast ? net::TcpReceiverKind::Beast : net::TcpReceiverKind::Raw);
    networks_[i] = std::move(network);
}

std::string MeasurementController::NetworkTrouble(int receiver) const {
    const net::TcpReceiver* network = networks_[Index(receiver)].get();
    if (!running_ || network == nullptr || network->Connected()) return {};
    // The address is in the port list just above.
    if (network->Trouble().empty()) return "Connecting";
    return network->Trouble() + "; trying again every " +
           std::to_string((network->RetryMilliseconds() + 999) / 1000) + " s";
}

void MeasurementController::ClosePorts() {
    for (auto& network : networks_) network.reset();
    for (auto& port : ports_) {
        if (!port->Connected()) continue;
        try {
            port->ClosePort();
        } catch (const std::exception& error) {
            platform::ShowApplicationError(error.what());
        }
    }
}

void MeasurementController::Stop() {
    timer_.stop();
    ClosePorts();
    running_ = false;
    stoppedOnce_ = true;
}

void MeasurementController::Tick() {
    QUORVEX_ASSERT_UI_THREAD();
    heartbeat_ = !heartbeat_;
    if (OnHeartbeat) OnHeartbeat(heartbeat_);
    if (!hold_) TickMeasurement();
    TickTally(state_);
    if (OnTallyTicked) OnTallyTicked();
    // Counters were zeroed by the tick: what handlers count while the window catches up
    // belongs to the next second.
    if (ProcessPendingEvents) ProcessPendingEvents();
}

void MeasurementController::TickMeasurement() {
    TickInputs inputs;
    inputs.TimerIndex = controls_.Timer.ItemIndex;
    inputs.ChartIndex = chartIndex_;
    const QString separator = QLocale().decimalPoint();
    const std::string decimal = separator.toStdString();
    inputs.DecimalSeparator = decimal;
    inputs.UnixSeconds = QDateTime::currentSecsSinceEpoch();
    quorvex::Tick(state_, inputs, tick_);
    if (secondsFile_) {
        if (const auto error = secondsFile_->Append(state_.Measurement.Seconds.Newest())) {
            platform::ShowApplicationError(*error);
        }
    }
    if (OnTickResult) OnTickResult(tick_);
}

MeasurementController::GraphTexts MeasurementController::PageChangeTexts() const {
    const auto hasText = [](const std::string& text) {
        return text.find_first_not_of(' ') != std::string::npos;
    };
    GraphTexts texts;
    texts.Title = "Quorvex (DF11/17) [AVG:" + controls_.Timer.Text + "]";
    if (hasText(controls_.Receiver1.Port.Text)) texts.LeftProfile = controls_.Receiver1.Label;
    if (hasText(controls_.Receiver2.Port.Text) ||
        controls_.Receiver2.BaudRate.Text.starts_with("U")) {
        texts.RightProfile = controls_.Receiver2.Label;
    }
    return texts;
}

void MeasurementController::SetHold(bool down) {
    QUORVEX_ASSERT_UI_THREAD();
    if (hold_ && !down) HoldReleased(state_);
    hold_ = down;
}

void MeasurementController::SelectChartWindow(int index) {
    chartIndex_ = index;
    state_.Measurement.ChartSeconds = ChartSecondsForIndex(index, state_.Measurement.ChartSeconds);
}

void MeasurementController::SetConnect(bool down) {
    QUORVEX_ASSERT_UI_THREAD();
    connectDown_ = down;
    try {
        if (down) {
            feed_->SetActive(true);
        } else {
            feed_->SetActive(false);
            // Up also ends a lookup or connection attempt still under way.
            if (!feed_->Active()) feed_->Socket().Disconnect();
        }
    } catch (const std::exception& error) {
        connectDown_ = false;
        Changed();
        platform::ShowApplicationError(error.what());
    }
}

void MeasurementController::LoadProfile(int receiver, const std::string& path) {
    QUORVEX_ASSERT_UI_THREAD();
    quorvex::LoadProfile(ReceiverControls(receiver), path);
    Changed();
}

void MeasurementController::SaveProfile(int receiver, const std::string& path) {
    QUORVEX_ASSERT_UI_THREAD();
    try {
        SaveButtonConfirmed(ReceiverControls(receiver), path);
    } catch (const platform::EIniWriteError& error) {
        platform::ShowApplicationError(error.what());
    }
    Changed();
}

bool MeasurementController::CloseQuery(const CloseQueryDialogs& dialogs) {
    QUORVEX_ASSERT_UI_THREAD();
    try {
        FormCloseQuery(controls_, SettingsPath(), dialogs);
        return true;
    } catch (const platform::EIniWriteError& error) {
        Changed();
        platform::ShowApplicationError(error.what());
        return false;
    }
}

}  // namespace quorvex::app
