#include "app/engine/receiver_input.h"

#include <cmath>
#include <exception>

#include "core/base/convert_error.h"
#include "net/beast_decoder.h"
#include "net/socket_errors.h"
#include "net/tcp_receiver.h"
#include "platform/application_errors.h"
#include "platform/ui_thread.h"

namespace quorvex::app {

ReceiverInput::ReceiverInput(SourceId id, Run& run)
    : id_(id),
      run_(run),
      networkRetryMs_(net::TcpReceiver::kRetryMilliseconds),
      serialRetryMs_(net::TcpReceiver::kRetryMilliseconds) {
    QObject::connect(&serialRetry_, &QTimer::timeout, &serialRetry_, [this] { RetrySerial(); });
    port_.SetBaudRate(serial::TBaudRate::brCustom);
    framer_.SetStartString(":");
    framer_.SetStopString(";");
    framer_.OnPacket = [this](const std::string& packet) { Packet(packet); };
    // The port tells of a chunk before its links (the framer among them) take it.
    port_.OnRxBuf = [this](serial::TComPort*, const char*, int) { NewChunk(); };
    beastLink_.OnRxBuf = [this](serial::TComPort*, const char* chunk, int count) {
        lineDecoder_.Feed(std::span(reinterpret_cast<const std::uint8_t*>(chunk),
                                    static_cast<std::size_t>(count)),
                          [this](const net::BeastDecoder::Frame& frame) { TakeBeast(frame); });
    };
    portLink_.SetComPort(&port_);
}

ReceiverInput::~ReceiverInput() {
    if (beastLinked_) port_.UnRegisterLink(&beastLink_);
}

void ReceiverInput::LinkPort(bool beast) {
    if (beast == beastLinked_) return;
    if (beast) {
        portLink_.SetComPort(nullptr);
        port_.RegisterLink(&beastLink_);
    } else {
        port_.UnRegisterLink(&beastLink_);
        portLink_.SetComPort(&port_);
    }
    beastLinked_ = beast;
}

void ReceiverInput::Packet(std::string_view packet) {
    // A garbled packet is counted and remembered, never shown in a box of its own: at
    // thousands of frames a second that would bury the window.
    if (const auto bad = ReadPacket(id_, packet, crc_, Arrival(), reception_)) {
        ++rejected_.Count;
        rejected_.LastMessage = InvalidIntegerMessage(bad->text());
        return;
    }
    run_.Take(reception_);
}

bool ReceiverInput::Open(const ReceiverSetup& setup) {
    QUORVEX_ASSERT_UI_THREAD();
    openFailed_ = false;
    if (setup.Serial) {
        try {
            port_.SetPort(setup.Serial->Port);
            port_.SetCustomBaudRate(setup.Serial->BaudRate);
            LinkPort(setup.BeastLine);
            lineDecoder_.Reset();
            framer_.SetStartString(std::string(1, setup.StartString));
            crc_ = setup.CrcOption;
            port_.OpenPort();
            serialWanted_ = true;
            deviceAway_ = false;
            devicesLost_ = 0;
            reopenTrouble_.clear();
            serialRetry_.start(serialRetryMs_);
            return true;
        } catch (const std::exception& error) {
            openFailed_ = true;
            platform::ShowApplicationError(error.what());
            return false;
        }
    }
    LinkPort(false);
    framer_.SetStartString(std::string(1, setup.StartString));
    crc_ = setup.CrcOption;
    if (setup.Network) OpenNetwork(*setup.Network);
    return true;
}

void ReceiverInput::OpenNetwork(const NetworkSetup& setup) {
    auto network = std::make_unique<net::TcpReceiver>();
    network->SetRetryMilliseconds(networkRetryMs_);
    if (setup.Kind == NetworkKind::Beast) {
        network->OnFrame = [this](const net::BeastDecoder::Frame& frame) { TakeBeast(frame); };
    } else {
        network->OnText = [this](std::string_view text) { FeedText(text); };
    }
    network->OnReceived = [this] {
        NewChunk();  // the next frames come with the next receive
        if (OnReceived) OnReceived();
    };
    network->OnStateChanged = [this] {
        if (OnStateChanged) OnStateChanged();
    };
    network->Start(setup.Host, setup.Port, setup.Kind);
    network_ = std::move(network);
}

void ReceiverInput::Close() {
    QUORVEX_ASSERT_UI_THREAD();
    network_.reset();
    serialRetry_.stop();
    serialWanted_ = false;
    deviceAway_ = false;
    if (!port_.Connected()) return;
    try {
        port_.ClosePort();
    } catch (const std::exception& error) {
        platform::ShowApplicationError(error.what());
    }
}

void ReceiverInput::RetrySerial() {
    QUORVEX_ASSERT_UI_THREAD();
    if (!serialWanted_) return;
    if (!deviceAway_) {
        if (!PortDown()) return;
        ++devicesLost_;
        deviceAway_ = true;
        if (OnStateChanged) OnStateChanged();
    }
    try {
        // Released first: a device that comes back under the same name is a new one.
        port_.ClosePort();
        port_.OpenPort();
    } catch (const std::exception& error) {
        // Said as the trouble's tip; the loss itself was said when it began.
        reopenTrouble_ = error.what();
        return;
    }
    deviceAway_ = false;
    reopenTrouble_.clear();
    lineDecoder_.Reset();
    if (OnDeviceBack) OnDeviceBack();
    if (OnStateChanged) OnStateChanged();
}

std::optional<std::uint64_t> ReceiverInput::LostConnections() const {
    if (network_ != nullptr) return network_->Connections() - (network_->Connected() ? 1 : 0);
    if (serialWanted_) return devicesLost_ + (PortDown() ? 1 : 0);
    return std::nullopt;
}

std::string ReceiverInput::NetworkTrouble() const {
    if (network_ == nullptr || network_->Connected()) return {};
    // The address is in the port list just above.
    if (network_->Trouble().empty()) return "Connecting";
    return net::RetryingText(network_->Trouble(), network_->RetryMilliseconds());
}

ReceiverTrouble ReceiverInput::Trouble() const {
    if (std::string network = NetworkTrouble(); !network.empty()) {
        return {network, network};
    }
    if (DeviceGone()) {
        std::string tip = "The serial device " + port_.Port() +
                          " was unplugged or closed at its far end. It is opened again as "
                          "soon as it is back, tried every " +
                          std::to_string((serialRetryMs_ + 999) / 1000) + " s.";
        if (!reopenTrouble_.empty()) tip += " The last try: " + reopenTrouble_;
        return {"No data: the device went away", tip};
    }
    if (beastLinked_ && port_.Connected() && lineDecoder_.Frames() == 0 &&
        lineDecoder_.SkippedBytes() > 0) {
        return {"No Beast frames in " + std::to_string(lineDecoder_.SkippedBytes()) + " bytes",
                "The line carries no Beast binary frames: a receiver that sends hex text lines "
                "needs its text format in the format list."};
    }
    if (rejected_.Count == 0) return {};
    return {std::to_string(rejected_.Count) + " packets rejected",
            "Last: " + rejected_.LastMessage};
}

}  // namespace quorvex::app
