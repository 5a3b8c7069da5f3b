#include "net/client_socket.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <exception>

#include "net/socket_errors.h"
#include "platform/application_errors.h"
#include "platform/ui_thread.h"
#include "translation/resource_strings.h"

namespace quorvex::net {

using translation::LoadResString;
using translation::ResString;

namespace {

// How a connection attempt ended, as opposed to a failure of the request itself. Windows
// Sockets always reports these through the connect notification; the system may report
// them at once.
bool IsConnectOutcome(int code) {
    return code == platform::kWsaEConnRefused || code == platform::kWsaETimedOut ||
           code == platform::kWsaEConnReset || code == 10051 /* network unreachable */ ||
           code == 10065 /* no route to host */;
}

}  // namespace

TClientWinSocket::TClientWinSocket(QObject* parent)
    : QObject(parent),
      lookup_(this,
              [this](int code, std::uint32_t value) {
                  FromEventLoop([&] { LookupDone(code, value); });
              }),
      readNotifier_(new QSocketNotifier(QSocketNotifier::Read, this)),
      writeNotifier_(new QSocketNotifier(QSocketNotifier::Write, this)) {
    connect(readNotifier_, &QSocketNotifier::activated, this,
            [this] { FromEventLoop([this] { Readable(); }); });
    connect(writeNotifier_, &QSocketNotifier::activated, this,
            [this] { FromEventLoop([this] { Writable(); }); });
}

TClientWinSocket::~TClientWinSocket() {
    onEvent_ = nullptr;
    onError_ = nullptr;
    try {
        DropAttempt();
    } catch (...) {
        // A failed close while going away has no one left to tell.
    }
}

void TClientWinSocket::SetHooks(EventHook onEvent, ErrorHook onError) {
    onEvent_ = std::move(onEvent);
    onError_ = std::move(onError);
}

template <typename Step>
void TClientWinSocket::FromEventLoop(Step&& step) {
    try {
        step();
    } catch (const std::exception& error) {
        platform::ShowApplicationError(error.what());
    }
}

void TClientWinSocket::Event(TSocketEvent event) {
    if (onEvent_) onEvent_(*this, event);
}

int TClientWinSocket::Error(TErrorEvent event, int code) {
    if (onError_) onError_(*this, event, code);
    return code;
}

void TClientWinSocket::Open(const std::string& host, const std::string& address,
                            const std::string& service, int port) {
    if (connected_) return;
    DropAttempt();
    platform::SocketHandle handle;
    if (platform::CreateStreamSocket(handle) != 0) {
        throw ESocketError(LoadResString(ResString::SocketCannotCreate));
    }
    handle_ = handle;
    ++generation_;
    remote_ = {};
    try {
        Event(TSocketEvent::seLookup);
        savedPort_ = port;
        savedService_ = service;
        std::uint32_t numeric = 0;
        if (!host.empty()) {
            if (platform::ParseIPv4(host, numeric)) {
                remote_.address = numeric;
                ContinueAfterAddress();
            } else {
                StartLookup(TLookupState::lsLookupAddress, host);
            }
        } else if (!address.empty()) {
            // Not a dotted address: the broadcast address, which no connection reaches.
            remote_.address = platform::ParseIPv4(address, numeric) ? numeric : 0xFFFFFFFFu;
            ContinueAfterAddress();
        } else {
            const int code = Error(TErrorEvent::eeLookup, kNoAddressCode);
            Disconnect();
            if (code != 0) throw ESocketError(LoadResString(ResString::SocketNoAddress));
        }
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TClientWinSocket::ContinueAfterAddress() {
    if (!savedService_.empty()) {
        StartLookup(TLookupState::lsLookupService, savedService_);
    } else {
        remote_.port = static_cast<std::uint16_t>(savedPort_);
        StartConnect();
    }
}

void TClientWinSocket::StartConnect() {
    lookupState_ = TLookupState::lsIdle;
    readNotifier_->setSocket(handle_);
    writeNotifier_->setSocket(handle_);
    const std::uint64_t generation = generation_;
    Event(TSocketEvent::seConnecting);
    if (generation != generation_) return;  // the handler ended the attempt
    const int error = platform::StartConnect(handle_, remote_);
    if (error == 0 || error == platform::kWsaEWouldBlock) {
        // Writable once the connection stands or has failed; also when it stood at once.
        writeNotifier_->setEnabled(true);
        return;
    }
    if (IsConnectOutcome(error)) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, error] {
                FromEventLoop([&] {
                    if (generation == generation_) HandleNetworkEvent(NetworkEvent::Connect, error);
                });
            },
            Qt::QueuedConnection);
        return;
    }
    throw ESocketError(WindowsSocketErrorMessage(error, "connect"));
}

void TClientWinSocket::StartLookup(TLookupState state, const std::string& name) {
    const bool address = state == TLookupState::lsLookupAddress;
    lookupState_ = state;
    const int error = lookup_.Start(
        address ? HostLookup::Target::HostAddress : HostLookup::Target::TcpService, name);
    if (error != 0) {
        lookupState_ = TLookupState::lsIdle;
        throw ESocketError(WindowsSocketErrorMessage(
            error, address ? "WSAASyncGetHostByName" : "WSAASyncGetServByName"));
    }
}

void TClientWinSocket::LookupDone(int code, std::uint32_t value) {
    const TLookupState state = lookupState_;
    if (code != 0) {
        const int left = Error(TErrorEvent::eeLookup, code);
        Disconnect();
        if (left != 0) throw ESocketError(WindowsSocketErrorMessage(left, "ASync Lookup"));
        return;
    }
    try {
        if (state == TLookupState::lsLookupAddress) {
            remote_.address = value;
            ContinueAfterAddress();
        } else {
            remote_.port = static_cast<std::uint16_t>(value);
            StartConnect();
        }
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TClientWinSocket::CancelLookup() {
    lookup_.Cancel();
    lookupState_ = TLookupState::lsIdle;
}

void TClientWinSocket::DropAttempt() {
    CancelLookup();
    if (handle_ != platform::kInvalidSocket) CloseHandle();
}

void TClientWinSocket::CloseHandle() {
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    const int error = platform::CloseSocket(handle_);
    handle_ = platform::kInvalidSocket;
    ++generation_;
    remote_ = {};
    connected_ = false;
    if (error != 0) throw ESocketError(WindowsSocketErrorMessage(error, "closesocket"));
}

void TClientWinSocket::Disconnect() {
    CancelLookup();
    if (handle_ == platform::kInvalidSocket) return;
    // Closed before the event, so a handler may start a new connection at once.
    std::exception_ptr closeError;
    try {
        CloseHandle();
    } catch (...) {
        closeError = std::current_exception();
    }
    Event(TSocketEvent::seDisconnect);
    if (closeError) std::rethrow_exception(closeError);
}

void TClientWinSocket::HandleNetworkEvent(NetworkEvent event, int error) {
    if (error != 0) {
        TErrorEvent kind = TErrorEvent::eeGeneral;
        switch (event) {
            case NetworkEvent::Read:
                kind = TErrorEvent::eeReceive;
                break;
            case NetworkEvent::Write:
                kind = TErrorEvent::eeSend;
                break;
            case NetworkEvent::Connect:
                kind = TErrorEvent::eeConnect;
                break;
            case NetworkEvent::Close:
                kind = TErrorEvent::eeDisconnect;
                break;
        }
        const int code = Error(kind, error);
        // A failed attempt leaves nothing worth keeping, and a reset connection is dead:
        // either way the socket goes and the client is idle again.
        if (event == NetworkEvent::Connect || event == NetworkEvent::Close) Disconnect();
        if (code != 0) {
            throw ESocketError(
                translation::FormatMessage(LoadResString(ResString::SocketAsyncError), {code}));
        }
        return;
    }
    switch (event) {
        case NetworkEvent::Read:
            Event(TSocketEvent::seRead);
            break;
        case NetworkEvent::Write:
            Event(TSocketEvent::seWrite);
            break;
        case NetworkEvent::Connect:
            connected_ = true;
            readNotifier_->setEnabled(true);
            Event(TSocketEvent::seConnect);
            break;
        case NetworkEvent::Close:
            Disconnect();
            break;
    }
}

void TClientWinSocket::Writable() {
    writeNotifier_->setEnabled(false);
    if (connected_) {
        HandleNetworkEvent(NetworkEvent::Write, 0);
        return;
    }
    HandleNetworkEvent(NetworkEvent::Connect, platform::ConnectResult(handle_));
}

void TClientWinSocket::Readable() {
    // Re-armed by the next ReadPendingText, as a receive re-enables the notification.
    readNotifier_->setEnabled(false);
    std::size_t pending = 0;
    int error = platform::BytesPending(handle_, pending);
    bool ended = false;
    if (error == 0 && pending == 0) error = platform::ProbeStreamEnd(handle_, ended);
    if (error == platform::kWsaEWouldBlock) {
        readNotifier_->setEnabled(true);  // nothing there after all
    } else if (error != 0) {
        HandleNetworkEvent(NetworkEvent::Close, error);
    } else if (ended) {
        HandleNetworkEvent(NetworkEvent::Close, 0);
    } else {
        HandleNetworkEvent(NetworkEvent::Read, 0);
    }
}

std::string TClientWinSocket::ReadPendingText() {
    QUORVEX_ASSERT_UI_THREAD();
    if (!connected_) return {};
    std::size_t pending = 0;
    int error = platform::BytesPending(handle_, pending);
    std::string text;
    if (error == 0 && pending > 0) {
        text.resize(pending);
        std::size_t received = 0;
        error = platform::ReceiveBytes(handle_, text.data(), pending, received);
        text.resize(received);
    }
    if (error == 0 || error == platform::kWsaEWouldBlock) {
        readNotifier_->setEnabled(true);
        return text;
    }
    const int code = Error(TErrorEvent::eeReceive, error);
    Disconnect();
    if (code != 0) throw ESocketError(WindowsSocketErrorMessage(code, "recv"));
    return {};
}

TClientSocket::TClientSocket(QObject* parent)
    : QObject(parent), socket_(new TClientWinSocket(this)) {
    socket_->SetHooks(
        [this](TClientWinSocket& socket, TSocketEvent event) { SocketEvent(socket, event); },
        [this](TClientWinSocket& socket, TErrorEvent event, int& code) {
            onError_(*this, socket, event, code);
        });
}

TClientSocket::~TClientSocket() {
    socket_->SetHooks(nullptr, nullptr);
    try {
        socket_->Disconnect();
    } catch (...) {
        // A failed close while going away has no one left to tell.
    }
}

void TClientSocket::SetActive(bool active) {
    QUORVEX_ASSERT_UI_THREAD();
    if (loading_) {
        loadedActive_ = active;
        return;
    }
    if (active == active_) return;
    if (active) {
        socket_->Open(host_, address_, service_, port_);
    } else {
        socket_->Disconnect();
    }
}

void TClientSocket::Loaded() {
    loading_ = false;
    SetActive(loadedActive_);
}

void TClientSocket::CheckInactive() const {
    if (active_) throw ESocketError(LoadResString(ResString::SocketCantChangeWhileActive));
}

void TClientSocket::SetHost(const std::string& host) {
    if (host == host_) return;
    CheckInactive();
    host_ = host;
}

void TClientSocket::SetAddress(const std::string& address) {
    if (address == address_) return;
    CheckInactive();
    address_ = address;
}

void TClientSocket::SetPort(int port) {
    if (port == port_) return;
    CheckInactive();
    port_ = port;
}

void TClientSocket::SetOnLookup(TSocketNotifyEvent handler, QObject* context) {
    onLookup_.Set(std::move(handler), context);
}
void TClientSocket::SetOnConnecting(TSocketNotifyEvent handler, QObject* context) {
    onConnecting_.Set(std::move(handler), context);
}
void TClientSocket::SetOnConnect(TSocketNotifyEvent handler, QObject* context) {
    onConnect_.Set(std::move(handler), context);
}
void TClientSocket::SetOnDisconnect(TSocketNotifyEvent handler, QObject* context) {
    onDisconnect_.Set(std::move(handler), context);
}
void TClientSocket::SetOnRead(TSocketNotifyEvent handler, QObject* context) {
    onRead_.Set(std::move(handler), context);
}
void TClientSocket::SetOnError(TSocketErrorEvent handler, QObject* context) {
    onError_.Set(std::move(handler), context);
}

void TClientSocket::SocketEvent(TClientWinSocket& socket, TSocketEvent event) {
    switch (event) {
        case TSocketEvent::seLookup:
            onLookup_(*this, socket);
            break;
        case TSocketEvent::seConnecting:
            onConnecting_(*this, socket);
            break;
        case TSocketEvent::seConnect:
            active_ = true;
            onConnect_(*this, socket);
            break;
        case TSocketEvent::seDisconnect:
            active_ = false;
            onDisconnect_(*this, socket);
            break;
        case TSocketEvent::seRead:
            onRead_(*this, socket);
            break;
        case TSocketEvent::seWrite:
            break;
    }
}

}  // namespace quorvex::net
