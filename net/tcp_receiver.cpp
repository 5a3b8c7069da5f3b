#include "net/tcp_receiver.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <span>
#include <utility>

#include "net/socket_errors.h"
#include "platform/main_thread.h"
#include "platform/ui_thread.h"

namespace quorvex::net {

TcpReceiver::TcpReceiver(QObject* parent)
    : QObject(parent),
      lookup_(this, [this](int code, std::uint32_t address) { LookupDone(code, address); }),
      readNotifier_(new QSocketNotifier(QSocketNotifier::Read, this)),
      writeNotifier_(new QSocketNotifier(QSocketNotifier::Write, this)),
      timer_(new QTimer(this)),
      pause_(new QTimer(this)) {
    timer_->setSingleShot(true);
    pause_->setSingleShot(true);
    connect(readNotifier_, &QSocketNotifier::activated, this, [this] { Readable(); });
    connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { ConnectDone(); });
    connect(timer_, &QTimer::timeout, this, [this] { TimerFired(); });
    connect(pause_, &QTimer::timeout, this, [this] {
        if (phase_ == Phase::kConnected) readNotifier_->setEnabled(true);
    });
}

TcpReceiver::~TcpReceiver() {
    Stop();
}

void TcpReceiver::Start(const std::string& host, int port, quorvex::NetworkKind kind) {
    QUORVEX_ASSERT_UI_THREAD();
    Stop();
    host_ = host;
    port_ = port;
    kind_ = kind;
    running_ = true;
    connections_ = 0;
    lookupFailed_ = false;
    if (port < 1 || port > 65535) {
        trouble_ = "Invalid port " + std::to_string(port);
        return;
    }
    Attempt();
}

void TcpReceiver::Stop() {
    QUORVEX_ASSERT_UI_THREAD();
    ++epoch_;
    Drop();
    timer_->stop();
    running_ = false;
    phase_ = Phase::kIdle;
    trouble_.clear();
    pendingTrouble_.clear();
}

void TcpReceiver::SetRetryMilliseconds(int ms) {
    QUORVEX_ASSERT_UI_THREAD();
    retryMs_ = ms < 1 ? 1 : ms;
}

void TcpReceiver::Attempt() {
    std::uint32_t address = 0;
    if (platform::ParseIPv4(host_, address)) {
        Connect(address);
    } else {
        StartLookup();
    }
}

void TcpReceiver::StartLookup() {
    phase_ = Phase::kLookingUp;
    const int error = lookup_.Start(HostLookup::Target::HostAddress, host_);
    if (error != 0) FailLater(SocketFailureText(error));
}

void TcpReceiver::LookupDone(int code, std::uint32_t address) {
    lookupFailed_ = code != 0;
    if (code != 0) {
        Fail(SocketFailureText(code), retryMs_);
        return;
    }
    Connect(address);
}

void TcpReceiver::Connect(std::uint32_t address) {
    remote_ = {address, static_cast<std::uint16_t>(port_)};
    int error = platform::CreateStreamSocket(handle_);
    if (error != 0) {
        handle_ = platform::kInvalidSocket;
        FailLater(SocketFailureText(error));
        return;
    }
    // A decoder whose host vanishes without a word (a power cut) would otherwise never be
    // noticed: a quiet sky sends nothing either. About 25 s after the last traffic the
    // connection fails and is tried again.
    platform::SetKeepAlive(handle_, 10, 5, 3);
    error = platform::StartConnect(handle_, remote_);
    if (error != 0 && error != platform::kWsaEWouldBlock) {
        FailLater(SocketFailureText(error));
        return;
    }
    // Writable once the connection stands or has failed, also when it stood at once.
    writeNotifier_->setSocket(handle_);
    writeNotifier_->setEnabled(true);
    phase_ = Phase::kConnecting;
    timer_->start(retryMs_);
}

void TcpReceiver::ConnectDone() {
    writeNotifier_->setEnabled(false);
    if (phase_ != Phase::kConnecting) return;
    const int error = platform::ConnectResult(handle_);
    if (error != 0) {
        Fail(SocketFailureText(error), retryMs_);
        return;
    }
    timer_->stop();
    phase_ = Phase::kConnected;
    connected_ = true;
    ++connections_;
    trouble_.clear();
    decoder_.Reset();
    readNotifier_->setSocket(handle_);
    readNotifier_->setEnabled(true);
    if (OnStateChanged) OnStateChanged();
}

void TcpReceiver::Readable() {
    if (phase_ != Phase::kConnected) return;
    const std::uint64_t epoch = epoch_;
    bool received = false;
    bool drained = false;
    std::string lost;
    for (int round = 0; round < kMaxReadsPerNotification && !drained; ++round) {
        std::size_t count = 0;
        const int error = platform::ReceiveBytes(handle_, buffer_.data(), buffer_.size(), count);
        if (error == platform::kWsaEWouldBlock) {
            drained = true;
            break;
        }
        if (error != 0) {
            lost = SocketFailureText(error);
            break;
        }
        if (count == 0) {
            lost = ConnectionClosedText(platform::FormatIPv4(remote_.address), remote_.port);
            break;
        }
        received = true;
        if (!Deliver(count)) return;
        drained = count < buffer_.size();  // a short receive empties the queue
    }
    if (received && OnReceived) {
        OnReceived();
        if (epoch != epoch_) return;
    }
    if (!lost.empty()) {
        Fail(std::move(lost), retryMs_);
    } else if (received && drained) {
        // The sender's next bytes are taken together after a pause, not one wake-up each.
        readNotifier_->setEnabled(false);
        pause_->start(platform::kStreamingReadGap);
    }
}

bool TcpReceiver::Deliver(std::size_t count) {
    const std::uint64_t epoch = epoch_;
    if (kind_ == NetworkKind::Raw) {
        if (OnText) OnText(std::string_view(buffer_.data(), count));
    } else {
        const std::span<const std::uint8_t> bytes(
            reinterpret_cast<const std::uint8_t*>(buffer_.data()), count);
        decoder_.Feed(bytes, [&](const BeastDecoder::Frame& frame) {
            if (OnFrame && epoch == epoch_) OnFrame(frame);
        });
    }
    return epoch == epoch_;
}

void TcpReceiver::TimerFired() {
    switch (phase_) {
        case Phase::kConnecting:
            Fail(kNoAnswer, 0);
            break;
        case Phase::kFailing:
            Fail(std::exchange(pendingTrouble_, {}), retryMs_);
            break;
        case Phase::kWaiting:
            Attempt();
            break;
        case Phase::kIdle:
        case Phase::kLookingUp:
        case Phase::kConnected:
            break;
    }
}

void TcpReceiver::Fail(std::string trouble, int delayMs) {
    ++epoch_;
    Drop();
    trouble_ = std::move(trouble);
    phase_ = Phase::kWaiting;
    timer_->start(delayMs);
    // Last: the handler may Start or Stop, which sets everything anew.
    if (OnStateChanged) OnStateChanged();
}

void TcpReceiver::FailLater(std::string trouble) {
    if (handle_ != platform::kInvalidSocket) {
        platform::CloseSocket(handle_);
        handle_ = platform::kInvalidSocket;
    }
    pendingTrouble_ = std::move(trouble);
    phase_ = Phase::kFailing;
    timer_->start(0);
}

void TcpReceiver::Drop() {
    lookup_.Cancel();
    pause_->stop();
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    if (handle_ != platform::kInvalidSocket) {
        // Nothing to do about a failed close: the descriptor is gone either way.
        platform::CloseSocket(handle_);
        handle_ = platform::kInvalidSocket;
    }
    connected_ = false;
}

}  // namespace quorvex::net
