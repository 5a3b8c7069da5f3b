#pragma once
// BSD sockets for the network components (the UDP listener, the TCP feed client, the TCP
// receiver of a decoder's output, and their host lookups).
//
// Every failure comes back as a Windows Sockets error code (10004 "interrupted" to 10066
// "directory not empty", 11001 to 11004 for name lookups), mapped from errno, so that the
// components' messages and their tables keep their meaning. A code below 10000 is an errno
// value that has no Windows Sockets counterpart, passed on unchanged. Functions return 0 on
// success, else the code; nothing here throws.
//
// Sockets are IPv4, non-blocking and close-on-exec. No socket option is set beyond what a
// function names.
//
// Threads: every function may be called from any thread and acts only on the socket it is
// given; two threads must not use one socket at a time, and a socket is closed only once no
// other thread can be waiting on it. LookupHostIPv4 and LookupTcpService may block for as
// long as the resolver takes: never call them on the user-interface thread.
// SocketReadiness: Wait on one thread at a time; Wake from any thread.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex::platform {

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

// The Windows Sockets codes that callers test by name.
inline constexpr int kWsaEWouldBlock = 10035;
inline constexpr int kWsaEMsgSize = 10040;
inline constexpr int kWsaEAddrInUse = 10048;
inline constexpr int kWsaEAddrNotAvail = 10049;
inline constexpr int kWsaEConnReset = 10054;
inline constexpr int kWsaENoBufs = 10055;
inline constexpr int kWsaETimedOut = 10060;
inline constexpr int kWsaEConnRefused = 10061;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;
inline constexpr int kWsaNoData = 11004;

// errno in the Windows Sockets code space (0 stays 0).
int SocketErrorFromErrno(int errnoValue);
// The calling thread's errno, mapped.
int LastSocketError();
// The operating system's text for a code of the space above ("Connection refused" for
// 10061); empty for a code it has no text for.
std::string SocketErrorSystemText(int code);

// An IPv4 address and port, both in host byte order.
struct Ipv4Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// "a.b.c.d".
std::string FormatIPv4(std::uint32_t address);
// Four decimal numbers joined by full stops, nothing else; false for any other text.
bool ParseIPv4(std::string_view text, std::uint32_t& address);

int CreateDatagramSocket(SocketHandle& handle);
int CreateStreamSocket(SocketHandle& handle);
int CloseSocket(SocketHandle handle);
int ShutdownSending(SocketHandle handle);
int BindSocket(SocketHandle handle, const Ipv4Endpoint& local);
int LocalEndpoint(SocketHandle handle, Ipv4Endpoint& local);
// SO_BROADCAST as a 4-byte integer: -1 when enabled, 0 when not.
int SetBroadcast(SocketHandle handle, bool enabled);
// Asks for a kernel receive queue of `bytes` (the kernel may grant less: net.core.rmem_max).
int SetReceiveBufferSize(SocketHandle handle, int bytes);
// TCP keepalive: after `idleSeconds` without traffic a probe every `intervalSeconds`, and
// after `probes` unanswered ones the connection fails (a receive then reports it), so a
// peer that vanished without a word is noticed.
int SetKeepAlive(SocketHandle handle, int idleSeconds, int intervalSeconds, int probes);

// SO_RXQ_OVFL: each datagram received carries the count of datagrams the kernel dropped on
// the socket (its receive queue full) before it was queued.
int EnableDropCount(SocketHandle handle);

// One datagram into `buffer`. A datagram longer than the buffer is consumed and fails with
// kWsaEMsgSize (nothing of it is kept); no datagram waiting fails with kWsaEWouldBlock.
// With `drops` set and EnableDropCount on, a datagram received (or skipped for its size)
// that carries the kernel's drop count writes it there: datagrams dropped on the socket
// since it was made, modulo 2^32; nothing is written while none was dropped.
int ReceiveDatagram(SocketHandle handle, std::span<std::uint8_t> buffer, std::size_t& received,
                    Ipv4Endpoint& peer, std::uint32_t* drops = nullptr);

// Starts a connection. 0 when it stands at once; kWsaEWouldBlock while it is being set up
// (the socket becomes writable when it is done, and ConnectResult tells how it ended).
int StartConnect(SocketHandle handle, const Ipv4Endpoint& remote);
int ConnectResult(SocketHandle handle);
// How many bytes a stream socket can deliver without blocking.
int BytesPending(SocketHandle handle, std::size_t& count);
// At most `size` bytes; kWsaEWouldBlock when none are there.
int ReceiveBytes(SocketHandle handle, char* buffer, std::size_t size, std::size_t& received);
// Looks, without taking anything, whether the peer has ended the stream: 0 with `ended` true
// after an orderly close, 0 with `ended` false while data waits, kWsaEWouldBlock when
// nothing is there, the error (a reset: kWsaEConnReset) when the connection failed.
int ProbeStreamEnd(SocketHandle handle, bool& ended);

// Name lookups through the system resolver; they block (see above).
int LookupHostIPv4(const std::string& host, std::uint32_t& address);
// A service name of protocol "tcp" (or a port number) to its port.
int LookupTcpService(const std::string& service, std::uint16_t& port);

// A bounded wait for readable sockets that another thread can cut short.
class SocketReadiness {
  public:
    SocketReadiness();
    ~SocketReadiness();
    SocketReadiness(const SocketReadiness&) = delete;
    SocketReadiness& operator=(const SocketReadiness&) = delete;

    // Waits at most `timeoutMs` until one of `sockets` is readable or Wake was called.
    // `readable[i]` tells about `sockets[i]`. Returns 0 also on a time-out or a wake-up.
    int Wait(std::span<const SocketHandle> sockets, int timeoutMs, std::vector<bool>& readable);
    // Ends the current Wait and makes every later one return at once.
    void Wake();
    bool Woken() const;

  private:
    int wakeFd_ = -1;
    int createError_ = 0;
    std::atomic<bool> woken_{false};
};

}  // namespace quorvex::platform
