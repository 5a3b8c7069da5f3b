#pragma once
// The measurement controller: the object behind the main window. It owns the two serial
// ports and their framers, the UDP listener, the feed client, the one-second timer and the
// main-window state, keeps a plain model of the controls the logic reads and writes, and
// answers the window's handlers. The window mirrors the model into its widgets and applies
// each tick's result; everything else is here, testable without pixels.
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

#include "core/clock.h"
#include "core/main_state.h"
#include "core/measurement.h"
#include "core/profiles.h"
#include "core/second_csv_file.h"
#include "net/client_socket.h"
#include "net/tcp_receiver.h"
#include "net/udp_server.h"
#include "serial/com_data_packet.h"
#include "serial/com_port.h"

namespace quorvex::app {

// What the window shows of a receiver's rejected packets (a pair that is no hexadecimal
// number): how many since the program started, and the last message.
struct RejectedPackets {
    std::uint64_t Count = 0;
    std::string LastMessage;
};

class MeasurementController : public QObject {
  public:
    struct Options {
        std::string AppFolder;            // ends in "/"; settings, profiles and logfiles
        std::vector<std::string> Ports;   // the port lists' devices, in order
        const Clock* LogClock = nullptr;  // the logfile's clock; the system's when null
        int UdpPort = kUdpReceiverPort;   // the port receiver 2's datagrams arrive on
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
    ReceiverProfile& ReceiverControls(int receiver) {
        return receiver == 1 ? controls_.Receiver1 : controls_.Receiver2;
    }
    bool Crc(int receiver) const { return crc_[Index(receiver)]; }
    void SetCrc(int receiver, bool checked) { crc_[Index(receiver)] = checked; }
    bool Running() const { return running_; }
    // The feed's port box and the CRC boxes are disabled from the start until the first
    // Stop (and, like every receiver control, while running).
    bool StoppedOnce() const { return stoppedOnce_; }
    bool HoldDown() const { return hold_; }
    int ChartIndex() const { return chartIndex_; }
    bool ConnectDown() const { return connectDown_; }
    bool Heartbeat() const { return heartbeat_; }
    const RejectedPackets& Rejected(int receiver) const { return rejected_[Index(receiver)]; }
    // While running: the receiver's serial device stopped delivering (unplugged, or its far
    // end closed); the port stays open until Stop.
    bool DeviceGone(int receiver) const {
        const serial::TComPort& port = *ports_[Index(receiver)];
        return running_ && port.Connected() && !port.Receiving();
    }
    // While running with a receiver on the network and no connection standing: what the
    // receiver's column says ("Connecting to HOST:PORT" or why none stands); else empty.
    std::string NetworkTrouble(int receiver) const;
    // The receiver's TCP client while it runs on the network, else nullptr.
    const net::TcpReceiver* Network(int receiver) const { return networks_[Index(receiver)].get(); }
    // How long a network receiver waits before it tries again (tests shorten it).
    void SetNetworkRetryMilliseconds(int ms) { networkRetryMs_ = ms; }

    // The bind failure of the UDP listener, empty while it listens.
    const std::string& UdpBindError() const { return udpBindError_; }
    int UdpPort() const;

    // What a page change shows on the Graph page: the chart's title with the averaging
    // interval, and each receiver's profile name while that receiver has a source.
    struct GraphTexts {
        std::string Title;
        std::string LeftProfile;
        std::string RightProfile;
    };
    GraphTexts PageChangeTexts() const;

    // --- Handlers ------------------------------------------------------------------------
    // A user change of a receiver's port, rate or format list: the list's new selection (or,
    // for receiver 2's editable format box, the typed text) and the profile marked changed.
    void SelectItem(int receiver, ComboModel ReceiverProfile::*list, int index);
    void SetFormatText(int receiver, const std::string& text);
    // The text typed in a network receiver's port list: its host:port.
    void SetPortText(int receiver, const std::string& text);
    void SelectInterval(int index) { controls_.Timer.SelectIndex(index); }

    void StartStopClicked();
    // The one-second tick; the timer calls it while running, tests call it directly.
    void Tick();
    void ClearClicked() {
        ClearHistories(state_.Measurement);
        state_.Tally.Clear();
    }
    void SetHold(bool down);
    void SelectChartWindow(int index);
    // The Connect toggle: down connects the feed, up disconnects (and ends an attempt).
    void SetConnect(bool down);
    void LoggingClicked() { state_.Log.ToggleLogging(); }
    void NewLogFileClicked() { state_.Log.NewLogFile(); }

    // Profiles. Load applies a file (not a user change); Save writes and clears the changed
    // flag. A failed write goes to the application's error display; the flag then stays.
    void LoadProfile(int receiver, const std::string& path);
    void SaveProfile(int receiver, const std::string& path);
    // The close request: questions about changed profiles, then the settings written. False
    // when a write failed (the window then stays open); the message was shown.
    bool CloseQuery(const CloseQueryDialogs& dialogs);
    // From the next tick on, every second is appended to the file at `path` (--csv).
    void SetSecondsFile(const std::string& path) { secondsFile_.emplace(path); }

    std::string SettingsPath() const { return SettingsFilePath(appFolder_); }
    std::string ProfilesFolderPath() const { return ProfilesFolder(appFolder_); }

    // --- What the window applies ---------------------------------------------------------
    std::function<void()> OnControlsChanged;              // the model changed
    std::function<void(const TickResult&)> OnTickResult;  // bars, figures, series
    std::function<void()> OnTallyTicked;          // every tick, held or not: the aircraft changed
    std::function<void(bool value)> OnHeartbeat;  // the heartbeat lamp's value
    std::function<void(const StartRefusal&)> OnRefusal;   // a message box, error icon
    std::function<void(int receiver)> OnNetworkReceived;  // bytes came: the receive lamp
    // Runs the pending window events (the end of a tick); QCoreApplication's by default.
    std::function<void()> ProcessPendingEvents;

    // --- Components, for the lamps and for tests -----------------------------------------
    serial::TComPort& ComPort(int receiver) { return *ports_[Index(receiver)]; }
    serial::TComDataPacket& DataPacket(int receiver) { return *framers_[Index(receiver)]; }
    net::TIdUDPServer& UdpServer() { return *udp_; }
    net::TClientSocket& FeedClient() { return *feed_; }
    MainState& State() { return state_; }
    const TickResult& LastTick() const { return tick_; }
    QTimer& Timer() { return timer_; }

  private:
    static std::size_t Index(int receiver) { return receiver == 1 ? 0 : 1; }
    void Changed();
    void Start();
    void TickMeasurement();  // the tick's work that Hold stops
    void Stop();
    // Sets up and opens one receiver's serial port; false (message shown) when it fails.
    bool OpenReceiver(int receiver, const ReceiverSetup& setup);
    // Starts a receiver's TCP client; it connects, and reconnects, on its own.
    void OpenNetworkReceiver(int receiver, const ReceiverSetup& setup);
    bool ListenForUdp();
    void ClosePorts();
    void ConnectFeedHandlers();
    void ConnectUdpHandler();

    std::string appFolder_;
    SystemClock systemClock_;
    MainState state_;
    ProfileSettings controls_;
    std::array<bool, 2> crc_{false, false};
    std::array<RejectedPackets, 2> rejected_{};
    bool running_ = false;
    bool stoppedOnce_ = false;
    bool hold_ = false;
    int chartIndex_ = 0;
    bool connectDown_ = false;
    bool heartbeat_ = false;
    std::string udpBindError_;

    std::array<std::unique_ptr<serial::TComPort>, 2> ports_;
    std::array<std::unique_ptr<serial::TComDataPacket>, 2> framers_;
    std::array<std::unique_ptr<net::TcpReceiver>, 2> networks_;
    int networkRetryMs_ = net::TcpReceiver::kRetryMilliseconds;
    std::unique_ptr<net::TIdUDPServer> udp_;
    std::unique_ptr<net::TClientSocket> feed_;
    QTimer timer_;
    TickResult tick_;
    std::optional<SecondCsvFile> secondsFile_;
};

}  // namespace quorvex::app
