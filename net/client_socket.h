#pragma once
// TClientSocket: the client of the port-30003 feed, and TClientWinSocket, the socket it owns.
//
// No thread of its own: the socket is non-blocking and its readiness arrives through
// QSocketNotifier on the user-interface thread. A host name is looked up on a short-lived
// helper thread whose result comes back as a queued call; a numeric address is taken at
// once. The states: idle -> looking up the address [-> looking up the service] ->
// connecting -> connected -> idle; Active reads true only while connected.
//
// Every handler runs on the user-interface thread: OnLookup, OnConnecting, OnConnect,
// OnDisconnect, OnRead and OnError. OnDisconnect comes whenever the client goes back to idle
// after an attempt or a connection, whatever the reason (the peer closed or reset it, a
// receive failed, Active was set false, the lookup or the connection attempt failed), so the
// owner always learns that no connection stands. An OnError handler that sets the code to 0
// suppresses the error; otherwise it is raised as ESocketError after the client has closed
// the socket. An error raised while a notification is being handled (by a handler or the
// client itself) goes to platform::ShowApplicationError.
//
// Threads: the user-interface thread only, for every member; nothing here blocks it. Name
// lookups run through a HostLookup (net/host_lookup.h): a lookup still running when the
// attempt is dropped or the socket object goes is forgotten and never calls back.

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

#include "net/bound_handler.h"
#include "net/host_lookup.h"
#include "platform/sockets.h"

class QSocketNotifier;

namespace quorvex::net {

// The kinds of error passed to OnError, with their numeric values.
enum class TErrorEvent {
    eeGeneral = 0,
    eeSend = 1,
    eeReceive = 2,
    eeConnect = 3,
    eeDisconnect = 4,
    eeAccept = 5,
    eeLookup = 6
};

enum class TSocketEvent { seLookup, seConnecting, seConnect, seDisconnect, seWrite, seRead };

enum class TLookupState { lsIdle, lsLookupAddress, lsLookupService };

// The code OnError gets when neither a host nor an address is given.
inline constexpr int kNoAddressCode = 1110;

class TClientWinSocket : public QObject {
  public:
    using EventHook = std::function<void(TClientWinSocket& socket, TSocketEvent event)>;
    using ErrorHook =
        std::function<void(TClientWinSocket& socket, TErrorEvent event, int& errorCode)>;

    explicit TClientWinSocket(QObject* parent = nullptr);
    ~TClientWinSocket() override;
    TClientWinSocket(const TClientWinSocket&) = delete;
    TClientWinSocket& operator=(const TClientWinSocket&) = delete;

    // Every byte the connection holds at this moment, one for one (no conversion); empty if
    // none, if not connected, or after a receive failure (reported to OnError as eeReceive,
    // then the connection is closed; raises "... on API 'recv'" unless the code was cleared).
    // Reading also re-arms the read notification: until then no further OnRead comes.
    std::string ReadPendingText();

    bool Connected() const { return connected_; }
    platform::SocketHandle SocketHandle() const { return handle_; }
    TLookupState LookupState() const { return lookupState_; }
    // The address connected to (or being connected to), dotted decimal, and its port.
    std::string RemoteAddress() const { return platform::FormatIPv4(remote_.address); }
    int RemotePort() const { return remote_.port; }

    // A new connection attempt, unless connected: a host name is looked up, else the
    // numeric address is taken; then the service or port; then a non-blocking connect.
    // An attempt still under way is dropped first, without events.
    void Open(const std::string& host, const std::string& address, const std::string& service,
              int port);
    // Cancels a lookup; if a socket is held: the disconnect event, then the socket closed.
    void Disconnect();

    // The component's hooks.
    void SetHooks(EventHook onEvent, ErrorHook onError);

  private:
    enum class NetworkEvent { Read, Write, Connect, Close };

    void Event(TSocketEvent event);
    // OnError with kind and code; returns the code as the handler left it.
    int Error(TErrorEvent event, int code);
    void ContinueAfterAddress();
    void StartConnect();
    void StartLookup(TLookupState state, const std::string& name);
    void LookupDone(int code, std::uint32_t value);
    void CancelLookup();
    void DropAttempt();
    void CloseHandle();
    void HandleNetworkEvent(NetworkEvent event, int error);
    void Readable();
    void Writable();
    // Runs a step begun by the event loop: a failure closes the socket and is shown.
    template <typename Step>
    void FromEventLoop(Step&& step);

    platform::SocketHandle handle_ = platform::kInvalidSocket;
    // Changes with every socket, so a late notification for an earlier one is ignored.
    std::uint64_t generation_ = 0;
    bool connected_ = false;
    platform::Ipv4Endpoint remote_;
    TLookupState lookupState_ = TLookupState::lsIdle;
    HostLookup lookup_;
    int savedPort_ = 0;
    std::string savedService_;
    QSocketNotifier* readNotifier_;
    QSocketNotifier* writeNotifier_;
    EventHook onEvent_;
    ErrorHook onError_;
};

class TClientSocket : public QObject {
  public:
    using TSocketNotifyEvent = std::function<void(TClientSocket& sender, TClientWinSocket& socket)>;
    using TSocketErrorEvent = std::function<void(TClientSocket& sender, TClientWinSocket& socket,
                                                 TErrorEvent errorEvent, int& errorCode)>;

    static constexpr const char* kDefaultHost = "127.0.0.1";
    static constexpr int kDefaultPort = 30003;

    explicit TClientSocket(QObject* parent = nullptr);
    ~TClientSocket() override;
    TClientSocket(const TClientSocket&) = delete;
    TClientSocket& operator=(const TClientSocket&) = delete;

    // True only while a connection stands. Setting true starts a connection attempt, false
    // closes the connection; acted on only when the value differs from Active (so false
    // during a lookup or an attempt does nothing: the attempt goes on). Raises ESocketError
    // for failures of the request itself ("Can't create new socket", a connect refused at
    // once by the system, ...).
    bool Active() const { return active_; }
    void SetActive(bool active);

    // While the owner is being created from its stored configuration, SetActive only
    // remembers the value; Loaded applies it.
    void BeginLoading() { loading_ = true; }
    void Loaded();

    // Host, Address and Port raise "Can't change value while socket is active" while Active.
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& host);
    const std::string& Address() const { return address_; }
    void SetAddress(const std::string& address);
    int Port() const { return port_; }
    void SetPort(int port);
    const std::string& Service() const { return service_; }
    void SetService(const std::string& service) { service_ = service; }

    TClientWinSocket& Socket() { return *socket_; }

    // `context`: the object the handler reaches; the handler is not called once it is gone.
    void SetOnLookup(TSocketNotifyEvent handler, QObject* context = nullptr);
    void SetOnConnecting(TSocketNotifyEvent handler, QObject* context = nullptr);
    void SetOnConnect(TSocketNotifyEvent handler, QObject* context = nullptr);
    void SetOnDisconnect(TSocketNotifyEvent handler, QObject* context = nullptr);
    void SetOnRead(TSocketNotifyEvent handler, QObject* context = nullptr);
    void SetOnError(TSocketErrorEvent handler, QObject* context = nullptr);

  private:
    using NotifyHandler = BoundHandler<void(TClientSocket&, TClientWinSocket&)>;

    void CheckInactive() const;
    void SocketEvent(TClientWinSocket& socket, TSocketEvent event);

    std::string host_ = kDefaultHost;
    std::string address_;
    int port_ = kDefaultPort;
    std::string service_;
    bool active_ = false;
    bool loading_ = false;
    bool loadedActive_ = false;
    NotifyHandler onLookup_, onConnecting_, onConnect_, onDisconnect_, onRead_;
    BoundHandler<void(TClientSocket&, TClientWinSocket&, TErrorEvent, int&)> onError_;
    TClientWinSocket* socket_;
};

}  // namespace quorvex::net
