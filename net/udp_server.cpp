#include "net/udp_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <system_error>

#include "net/socket_errors.h"
#include "platform/application_errors.h"
#include "platform/main_thread.h"
#include "platform/ui_thread.h"

namespace quorvex::net {

using platform::SocketHandle;

namespace {

// The most one hand-over carries; a longer queue goes over in several.
constexpr std::size_t kBatchBytes = 256 * 1024;

}  // namespace

TIdSocketHandle& TIdSocketHandles::Add() {
    items_.push_back(std::make_unique<TIdSocketHandle>());
    items_.back()->SetPort(defaultPort_);
    return *items_.back();
}

// What one activation runs: the thread, its wake-up, its buffer and what it listens on.
struct TIdUDPServer::Listener {
    Listener(std::size_t capacity, bool threaded) : buffer(capacity), threadedEvent(threaded) {
        if (!threaded) batchBytes.reserve(kBatchBytes + capacity);
    }

    // A datagram waiting in the batch: where it came in, from whom, where its bytes are.
    struct Received {
        std::size_t binding;
        platform::Ipv4Endpoint peer;
        std::size_t offset;
        std::size_t size;
    };

    platform::SocketReadiness readiness;
    TMemoryStream buffer;
    const bool threadedEvent;
    // Set when deactivating, so a delivery still queued does not reach the handler.
    std::atomic<bool> stopping{false};
    std::vector<SocketHandle> handles;
    std::vector<TIdSocketHandle*> bindings;
    // Per socket the kernel's drop count last seen (listener thread), and the drops seen.
    std::vector<std::uint32_t> dropCounts;
    std::atomic<std::uint64_t> dropped{0};
    // The datagrams received since the last hand-over, in order (not with ThreadedEvent).
    std::vector<std::uint8_t> batchBytes;
    std::vector<Received> batch;
    platform::WorkerThread thread;
};

TIdUDPServer::TIdUDPServer(QObject* parent) : QObject(parent) {}

TIdUDPServer::~TIdUDPServer() {
    try {
        Deactivate();
        JoinRetired();
    } catch (...) {
        // Deactivating raises nothing of its own; a destructor must not throw regardless.
    }
}

void TIdUDPServer::SetActive(bool active) {
    QUORVEX_ASSERT_UI_THREAD();
    if (loading_) {
        loadedActive_ = active;
        return;
    }
    if (active == Active()) return;
    if (active) {
        Activate();
    } else {
        Deactivate();
    }
}

void TIdUDPServer::Loaded() {
    loading_ = false;
    SetActive(loadedActive_);
}

void TIdUDPServer::SetBroadcastEnabled(bool enabled) {
    if (enabled == broadcastEnabled_) return;
    broadcastEnabled_ = enabled;
    if (!Active()) return;
    for (std::size_t i = 0; i < bindings_.Count(); ++i) {
        if (const int error = platform::SetBroadcast(bindings_[i].handle_, enabled)) {
            throw EIdSocketError(error);
        }
    }
}

void TIdUDPServer::Activate() {
    JoinRetired();
    if (bindings_.Count() == 0) {
        if (defaultPort_ < 1) throw EIdNoBindingsSpecified();
        bindings_.Add();
    }
    if (bindings_.Count() > kMaxBindings) throw EIdStackSetSizeExceeded();

    auto listener = std::make_unique<Listener>(
        static_cast<std::size_t>(bufferSize_ > 0 ? bufferSize_ : 0), threadedEvent_);
    try {
        for (std::size_t i = 0; i < bindings_.Count(); ++i) {
            TIdSocketHandle& binding = bindings_[i];
            if (binding.HandleAllocated()) {
                platform::CloseSocket(binding.handle_);
                binding.handle_ = platform::kInvalidSocket;
            }
            SocketHandle handle;
            if (platform::CreateDatagramSocket(handle) != 0) throw EIdInvalidSocket();
            binding.handle_ = handle;

            platform::Ipv4Endpoint local;
            if (!binding.ip_.empty() && !platform::ParseIPv4(binding.ip_, local.address)) {
                throw EIdSocketError(platform::kWsaEAddrNotAvail);
            }
            if (binding.port_ < 0 || binding.port_ > 65535) {
                throw EIdSocketError(platform::kWsaEAddrNotAvail);
            }
            local.port = static_cast<std::uint16_t>(binding.port_);
            const int bindError = platform::BindSocket(handle, local);
            if (bindError == platform::kWsaEAddrInUse) throw EIdCouldNotBindSocket();
            if (bindError != 0) throw EIdSocketError(bindError);
            if (const int error = platform::LocalEndpoint(handle, local)) {
                throw EIdSocketError(error);
            }
            binding.ip_ = platform::FormatIPv4(local.address);
            binding.port_ = local.port;
            if (const int error = platform::SetBroadcast(handle, broadcastEnabled_)) {
                throw EIdSocketError(error);
            }
            // A receiver sends up to some 20,000 datagrams a second; the default queue of
            // about a hundred would drop them whenever the interface thread pauses for a few
            // milliseconds. A larger queue only holds more while a delivery is pending.
            platform::SetReceiveBufferSize(handle, receiveQueueBytes_);
            if (const int error = platform::EnableDropCount(handle)) throw EIdSocketError(error);
            listener->handles.push_back(handle);
            listener->dropCounts.push_back(0);
            listener->bindings.push_back(&binding);
        }
    } catch (...) {
        CloseBindings();
        throw;
    }

    Listener& running = *listener;
    try {
        running.thread.Start([this, &running] { Listen(running); });
    } catch (const std::system_error& error) {
        CloseBindings();
        throw EIdSocketError(platform::SocketErrorFromErrno(error.code().value()));
    }
    current_ = &bindings_[0];
    listenerError_.clear();
    listener_ = std::move(listener);
}

std::uint64_t TIdUDPServer::DroppedDatagrams() const {
    QUORVEX_ASSERT_UI_THREAD();
    return droppedBefore_ + (listener_ != nullptr ? listener_->dropped.load() : 0);
}

void TIdUDPServer::Deactivate() {
    if (current_ == nullptr) return;
    listener_->stopping = true;
    listener_->readiness.Wake();
    if (delivering_) {
        // Its thread waits for this delivery and receives nothing after it.
        droppedBefore_ += listener_->dropped.load();
        // Called from the handler: the listener thread waits for this very delivery, so it
        // is joined later. Once the delivery is over it sees the stop and touches no socket.
        retired_.push_back(std::move(listener_));
    } else {
        platform::WaitForThread(listener_->thread);
        droppedBefore_ += listener_->dropped.load();
        listener_.reset();
    }
    CloseBindings();
    current_ = nullptr;
}

void TIdUDPServer::JoinRetired() {
    if (delivering_) return;
    for (const auto& listener : retired_) platform::WaitForThread(listener->thread);
    retired_.clear();
}

void TIdUDPServer::CloseBindings() {
    for (std::size_t i = 0; i < bindings_.Count(); ++i) {
        TIdSocketHandle& binding = bindings_[i];
        if (binding.HandleAllocated()) {
            // A datagram socket has nothing to shut down; the call only mirrors a stream's
            // close, and its failure means nothing.
            platform::ShutdownSending(binding.handle_);
            platform::CloseSocket(binding.handle_);
        }
        // The bound address and port stay, so activating again listens where it listened.
        binding.handle_ = platform::kInvalidSocket;
        binding.peerIP_.clear();
        binding.peerPort_ = 0;
    }
}

void TIdUDPServer::Listen(Listener& listener) {
    using Clock = std::chrono::steady_clock;
    try {
        std::vector<bool> readable;
        // Built once: no allocation per hand-over on the way to the handler.
        const std::function<void()> deliverBatch = [this, &listener] { DeliverBatch(listener); };
        Clock::time_point lastHandOver{};
        while (!listener.readiness.Woken()) {
            if (const int error = listener.readiness.Wait(listener.handles, kWaitMs, readable)) {
                throw EIdSocketError(error);
            }
            if (std::find(readable.begin(), readable.end(), true) == readable.end()) continue;
            if (!listener.threadedEvent) {
                const auto early = lastHandOver + platform::kStreamingReadGap - Clock::now();
                if (early.count() > 0) {
                    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(early);
                    std::vector<bool> none;
                    listener.readiness.Wait({}, static_cast<int>(rest.count()), none);
                    if (listener.readiness.Woken()) break;
                    readable.assign(readable.size(), true);  // any of them may hold more now
                }
            }
            int failure = 0;
            for (std::size_t i = 0; i < listener.handles.size() && failure == 0; ++i) {
                if (readable[i]) failure = ReceiveWaiting(listener, i);
            }
            if (!listener.batch.empty()) {
                platform::Synchronize(deliverBatch);
                lastHandOver = Clock::now();
            }
            if (failure != 0) throw EIdSocketError(failure);
        }
    } catch (const std::exception& error) {
        const std::string message = error.what();
        platform::Synchronize([this, &listener, &message] {
            if (listener.stopping) return;
            listenerError_ = message;
            platform::ShowApplicationError(message);
        });
    }
}

int TIdUDPServer::ReceiveWaiting(Listener& listener, std::size_t socket) {
    for (;;) {
        if (listener.readiness.Woken()) return 0;
        if (!listener.threadedEvent && listener.batchBytes.size() >= kBatchBytes) return 0;
        std::size_t received = 0;
        platform::Ipv4Endpoint peer;
        listener.buffer.SetSize(listener.buffer.Storage().size());
        std::uint32_t& seen = listener.dropCounts[socket];
        std::uint32_t drops = seen;
        const int error = platform::ReceiveDatagram(
            listener.handles[socket], listener.buffer.Storage(), received, peer, &drops);
        // The kernel's count wraps at 2^32: the difference does too.
        listener.dropped += static_cast<std::uint32_t>(drops - seen);
        seen = drops;
        if (error == platform::kWsaEWouldBlock) return 0;
        // Too long for the buffer, or empty: skipped, never delivered cut short.
        if (error == platform::kWsaEMsgSize) continue;
        if (error != 0) return error;
        if (received == 0) continue;
        if (listener.threadedEvent) {
            listener.buffer.SetSize(received);
            TIdSocketHandle& binding = *listener.bindings[socket];
            binding.peerIP_ = platform::FormatIPv4(peer.address);
            binding.peerPort_ = peer.port;
            Deliver(listener, binding);
            // One datagram a round in this mode, so a busy socket cannot starve the others.
            return 0;
        }
        const auto bytes = listener.buffer.Storage().first(received);
        listener.batch.push_back({socket, peer, listener.batchBytes.size(), received});
        listener.batchBytes.insert(listener.batchBytes.end(), bytes.begin(), bytes.end());
    }
}

void TIdUDPServer::DeliverBatch(Listener& listener) {
    for (const Listener::Received& item : listener.batch) {
        if (listener.stopping) break;
        std::copy_n(listener.batchBytes.begin() + static_cast<std::ptrdiff_t>(item.offset),
                    item.size, listener.buffer.Storage().begin());
        listener.buffer.SetSize(item.size);
        TIdSocketHandle& binding = *listener.bindings[item.binding];
        binding.peerIP_ = platform::FormatIPv4(item.peer.address);
        binding.peerPort_ = item.peer.port;
        Deliver(listener, binding);
    }
    listener.batch.clear();
    listener.batchBytes.clear();
}

void TIdUDPServer::Deliver(Listener& listener, TIdSocketHandle& binding) {
    if (listener.stopping) return;
    if (listener.threadedEvent) {
        CallHandler(listener, binding);
        return;
    }
    current_ = &binding;
    delivering_ = true;
    struct Idle {
        TIdUDPServer& server;
        ~Idle() {
            server.delivering_ = false;
            if (server.current_ != nullptr) server.current_ = &server.bindings_[0];
        }
    } idle{*this};
    CallHandler(listener, binding);
}

void TIdUDPServer::CallHandler(Listener& listener, TIdSocketHandle& binding) {
    try {
        onUDPRead_(*this, listener.buffer, binding);
    } catch (const std::exception& error) {
        // The handler's failure is the operator's to see; the listener carries on.
        const std::string message = error.what();
        platform::Synchronize([&message] { platform::ShowApplicationError(message); });
    }
}

}  // namespace quorvex::net
