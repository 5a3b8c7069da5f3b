#pragma once
// TIdUDPServer: the UDP listener through which a network receiver delivers its Mode S text.
//
// Activating it binds every binding (by default one on all local addresses at DefaultPort)
// and starts a listener thread. That thread waits at most 1000 ms at a time for a readable
// socket, receives every datagram waiting (each into a buffer of BufferSize bytes), and
// has OnUDPRead run for each, in order, on the user-interface thread through one
// platform::Synchronize, blocked until the last handler has returned. While datagrams
// stream in it lets at least 20 ms pass between hand-overs, so a sender of a datagram per
// packet costs at most 50 hand-overs a second; the kernel's queue holds what arrives.
//
// A datagram of length 0, or one longer than the buffer, is skipped (never delivered cut
// short) and listening goes on. Datagrams the kernel dropped because a socket's queue was
// full (the program stalled) are counted: DroppedDatagrams. An error raised by the handler goes to
// platform::ShowApplicationError and listening goes on. A failure of the listener thread
// itself (a socket that can no longer be waited on or read) ends the thread; its message is
// shown the same way and kept in ListenerError().
//
// Threads:
// - Every member: the user-interface thread only (the one that called
//   platform::InitialiseMainThread), the owner's thread.
// - OnUDPRead runs on the user-interface thread (ThreadedEvent false, the default), one
//   datagram at a time; the listener thread waits meanwhile, so the stream and the binding
//   it is given are stable for the call, and valid only during it. With ThreadedEvent true
//   it runs on the listener thread instead, at once for each datagram.
// - A binding's peer fields are set just before each call; read them only inside
//   OnUDPRead.
// - Change Bindings, BufferSize, DefaultPort and ThreadedEvent only while inactive: the
//   listener thread works on what was there when it started. With ThreadedEvent true, set
//   OnUDPRead only while inactive too.
// Blocking and shutting down:
// - SetActive(true) binds at once and never waits for the network.
// - SetActive(false), and the destructor, wake the listener thread and join it while
//   serving the hand-overs of every worker (platform::WaitForThread); a delivery still
//   queued then is dropped without calling the handler. The wake-up ends the thread's wait
//   at once, so this returns well within one wait period. Called from inside OnUDPRead,
//   SetActive(false) closes the sockets at once and joins the thread later (the next
//   activation, or the destructor). Do not destroy the listener from inside its own
//   handler (deleteLater is the way).

#include <QObject>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/bound_handler.h"
#include "net/memory_stream.h"
#include "platform/sockets.h"

namespace quorvex::net {

class TIdUDPServer;

// One socket binding: the local address and port to bind (empty IP: every local address),
// the socket while bound, and the sender of the last datagram received on it.
class TIdSocketHandle {
  public:
    const std::string& IP() const { return ip_; }
    void SetIP(std::string ip) { ip_ = std::move(ip); }
    int Port() const { return port_; }
    void SetPort(int port) { port_ = port; }

    platform::SocketHandle Handle() const { return handle_; }
    bool HandleAllocated() const { return handle_ != platform::kInvalidSocket; }

    // Dotted decimal text and port of the sender.
    const std::string& PeerIP() const { return peerIP_; }
    int PeerPort() const { return peerPort_; }

  private:
    friend class TIdUDPServer;
    std::string ip_;
    int port_ = 0;
    platform::SocketHandle handle_ = platform::kInvalidSocket;
    std::string peerIP_;
    int peerPort_ = 0;
};

// The ordered bindings of a listener. References stay valid until Clear.
class TIdSocketHandles {
  public:
    explicit TIdSocketHandles(const int& defaultPort) : defaultPort_(defaultPort) {}

    // A new binding on every local address at the listener's DefaultPort.
    TIdSocketHandle& Add();
    std::size_t Count() const { return items_.size(); }
    TIdSocketHandle& operator[](std::size_t index) { return *items_[index]; }
    const TIdSocketHandle& operator[](std::size_t index) const { return *items_[index]; }
    void Clear() { items_.clear(); }

  private:
    const int& defaultPort_;
    std::vector<std::unique_ptr<TIdSocketHandle>> items_;
};

class TIdUDPServer : public QObject {
  public:
    using TUDPReadEvent =
        std::function<void(TIdUDPServer& sender, TMemoryStream& data, TIdSocketHandle& binding)>;

    static constexpr int kDefaultPort = 7934;
    static constexpr int kDefaultBufferSize = 8192;
    // How long the listener thread waits for a datagram before it looks again.
    static constexpr int kWaitMs = 1000;
    // The most sockets one wait covers.
    static constexpr std::size_t kMaxBindings = 64;
    // The kernel receive queue asked for on each binding (granted up to net.core.rmem_max).
    static constexpr int kReceiveQueueBytes = 4 * 1024 * 1024;

    explicit TIdUDPServer(QObject* parent = nullptr);
    ~TIdUDPServer() override;
    TIdUDPServer(const TIdUDPServer&) = delete;
    TIdUDPServer& operator=(const TIdUDPServer&) = delete;

    // True while the bindings are bound and the listener runs. Setting the current value
    // again does nothing. Raises EIdNoBindingsSpecified, EIdInvalidSocket,
    // EIdCouldNotBindSocket, EIdStackSetSizeExceeded or EIdSocketError when activating
    // fails; nothing then stays bound.
    bool Active() const { return current_ != nullptr; }
    void SetActive(bool active);

    // While the owner is being created from its stored configuration, SetActive only
    // remembers the value; Loaded applies it.
    void BeginLoading() { loading_ = true; }
    void Loaded();

    int DefaultPort() const { return defaultPort_; }
    void SetDefaultPort(int port) { defaultPort_ = port; }
    TIdSocketHandles& Bindings() { return bindings_; }
    int BufferSize() const { return bufferSize_; }
    void SetBufferSize(int size) { bufferSize_ = size; }
    // Re-applied to the bound sockets at once while active.
    bool BroadcastEnabled() const { return broadcastEnabled_; }
    void SetBroadcastEnabled(bool enabled);
    bool ThreadedEvent() const { return threadedEvent_; }
    void SetThreadedEvent(bool threaded) { threadedEvent_ = threaded; }

    // `context`: the object the handler reaches; the handler is not called once it is gone.
    void SetOnUDPRead(TUDPReadEvent handler, QObject* context = nullptr) {
        onUDPRead_.Set(std::move(handler), context);
    }

    // The binding of the datagram being delivered (the first binding while idle); null while
    // inactive.
    TIdSocketHandle* Binding() const { return current_; }

    // The message of the failure that ended the listener thread of this activation; empty
    // while it runs.
    const std::string& ListenerError() const { return listenerError_; }

    // The receive queue asked for on each binding from the next activation (tests make it
    // small); kReceiveQueueBytes unless set.
    void SetReceiveQueueBytes(int bytes) { receiveQueueBytes_ = bytes; }
    // Datagrams the kernel dropped on the bindings since this listener was made, over every
    // activation. The kernel tells a drop with the next datagram queued after it, so a drop
    // is counted once a later datagram has been received.
    std::uint64_t DroppedDatagrams() const;

  private:
    struct Listener;

    void Activate();
    void Deactivate();
    void CloseBindings();
    void JoinRetired();
    void Listen(Listener& listener);
    // Listener thread: receives what waits on socket `socket` (with ThreadedEvent, one
    // datagram, delivered at once); returns a socket error, 0 when that is all for now.
    int ReceiveWaiting(Listener& listener, std::size_t socket);
    // User-interface thread: the batch's datagrams to the handler, in order, one at a time.
    void DeliverBatch(Listener& listener);
    void Deliver(Listener& listener, TIdSocketHandle& binding);
    void CallHandler(Listener& listener, TIdSocketHandle& binding);

    int defaultPort_ = kDefaultPort;
    TIdSocketHandles bindings_{defaultPort_};
    int bufferSize_ = kDefaultBufferSize;
    bool broadcastEnabled_ = false;
    bool threadedEvent_ = false;
    bool loading_ = false;
    bool loadedActive_ = false;
    BoundHandler<void(TIdUDPServer&, TMemoryStream&, TIdSocketHandle&)> onUDPRead_;

    TIdSocketHandle* current_ = nullptr;
    std::unique_ptr<Listener> listener_;
    // Listeners stopped from inside their own delivery, joined at the next chance.
    std::vector<std::unique_ptr<Listener>> retired_;
    bool delivering_ = false;
    std::string listenerError_;
    int receiveQueueBytes_ = kReceiveQueueBytes;
    std::uint64_t droppedBefore_ = 0;  // by the listeners of earlier activations
};

}  // namespace quorvex::net
