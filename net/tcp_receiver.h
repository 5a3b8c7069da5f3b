#pragma once
// TcpReceiver: the client side of a Mode S decoder's TCP output, counted like a serial
// receiver. Two kinds of stream: "raw", hex text lines such as
// "*8D4840D6202CC371C32CE0576098;" (port 30002 by convention), handed out byte for byte as
// they come; and "Beast" binary (port 30005), cut into frames by a BeastDecoder and handed
// out as the Mode S frame's bytes with the signal level.
//
// While running, the receiver keeps a connection standing: a refused, failed or unanswered
// attempt and a lost connection (closed or reset by the peer, a receive error) are retried,
// so that an attempt starts every RetryMilliseconds() until Stop. An attempt whose connect
// gets no answer within RetryMilliseconds() is dropped ("No answer") and the next one starts
// at once; one that fails otherwise is retried RetryMilliseconds() after it failed, and so
// is a lost connection. TCP keepalive probes a quiet connection, so a peer that vanished
// without a word fails it about 25 s after the last traffic. A host name is looked up on a
// short-lived helper thread at every attempt (so a changed address is followed); the lookup is
// bounded by the resolver's own time-outs, not by the retry interval, so a slow resolver never
// piles up lookup threads. Failures are never raised and never shown: Trouble() tells the last one.
//
// Built on platform/sockets.h and QSocketNotifier rather than on TClientSocket: that class
// hands an error raised while it handles a notification (a connect failing other than by
// refusal after a name lookup, a failed close) to the application's error box, which a
// receiver retrying every few seconds must never reach; it has no connect time-out and
// ignores SetActive(false) during an attempt; and its read path probes and sizes the queue
// before every receive into a freshly allocated string. Here a readiness notification
// reads straight into one fixed buffer until the queue is drained.
//
// Reads: every readiness notification takes what the connection holds, in receives of
// kReadBufferBytes, stopping after a short receive (the queue is empty then) or after
// kMaxReadsPerNotification receives, so a flood cannot hold the event loop; the next
// notification takes the rest. A read that drained the queue re-arms the notification only
// platform::kStreamingReadGap later: a sender that writes every millisecond then costs one
// wake-up per pause instead of one per write (the bytes wait in the system's queue
// meanwhile, a few kilobytes at a busy receiver's rate). Nothing is buffered here beyond
// the decoder's frame under way.
// A new connection starts the decoder afresh, so a frame cut by a lost connection is never
// glued to the next connection's bytes.
//
// Handlers run on the user-interface thread from the event loop, never from Start or Stop.
// A handler may call Start or Stop (then nothing more of the current read is handed out),
// but must not destroy the receiver (deleteLater is fine).
//
// Threads: the user-interface thread only, for every member; nothing here blocks it. Name
// lookups run through a HostLookup (net/host_lookup.h): a lookup still running when the
// attempt is dropped or the receiver goes is forgotten and never calls back.

#include <QObject>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "core/settings/network_kind.h"
#include "net/beast_decoder.h"
#include "net/host_lookup.h"
#include "platform/sockets.h"

class QSocketNotifier;
class QTimer;

namespace quorvex::net {

class TcpReceiver : public QObject {
  public:
    static constexpr int kRetryMilliseconds = 5000;
    static constexpr std::size_t kReadBufferBytes = 16384;
    static constexpr int kMaxReadsPerNotification = 16;
    // Trouble() of an attempt dropped for want of an answer.
    static constexpr const char* kNoAnswer = "No answer";

    explicit TcpReceiver(QObject* parent = nullptr);
    ~TcpReceiver() override;
    TcpReceiver(const TcpReceiver&) = delete;
    TcpReceiver& operator=(const TcpReceiver&) = delete;

    // Drops whatever ran before, then connects to host:port (`host` a name or a dotted IPv4
    // address) and stays connected until Stop (see above). Trouble and Connections start
    // afresh. A port outside 1..65535 makes no attempt; Trouble says "Invalid port <n>".
    void Start(const std::string& host, int port, quorvex::NetworkKind kind);
    // Closes the connection or drops the attempt or wait at once; no handler is called after
    // it returns. Trouble is emptied; Connections stays.
    void Stop();

    bool Running() const { return running_; }
    bool Connected() const { return connected_; }
    quorvex::NetworkKind Kind() const { return kind_; }

    // At least 1 ms; applies from the next attempt or wait on.
    void SetRetryMilliseconds(int ms);
    int RetryMilliseconds() const { return retryMs_; }

    // Why no connection stands: empty while connected, before the first attempt has ended
    // and when not running. Otherwise the system's text of the failure ("Connection
    // refused", "Connection reset by peer", "Name or service not known", ...),
    // "Connection closed by <address>:<port>" when the peer ended the stream, or kNoAnswer.
    const std::string& Trouble() const { return trouble_; }
    // Connections made since Start (1 after the first).
    std::uint64_t Connections() const { return connections_; }
    // The last attempt ended at the name lookup: the host could not be resolved (Trouble
    // tells why). False again once an attempt gets past the lookup.
    bool LookupFailed() const { return lookupFailed_; }

    // Raw: the bytes of one receive, as they come (the program's framer cuts packets). The
    // view is valid until the handler returns.
    std::function<void(std::string_view text)> OnText;
    // Beast: every Mode S frame, its bytes 7 (short) or 14 (long) and valid until the handler
    // returns, with the receiver's 12 MHz timestamp and its signal level byte.
    std::function<void(const BeastDecoder::Frame& frame)> OnFrame;
    // Bytes arrived: once per readiness notification that brought any, after they were
    // handed out.
    std::function<void()> OnReceived;
    // A connection now stands, or an attempt or connection ended (Trouble tells why; the
    // next attempt is scheduled).
    std::function<void()> OnStateChanged;

    // The Beast decoder's counters (frames, resyncs, skipped bytes) since construction.
    const BeastDecoder& Decoder() const { return decoder_; }

  private:
    enum class Phase : std::uint8_t {
        kIdle,        // not running, or nothing to try
        kLookingUp,   // the helper thread resolves the host name
        kConnecting,  // a connect under way; the timer bounds it
        kConnected,
        kFailing,  // an attempt failed before reaching the event loop; the timer reports it
        kWaiting   // the timer starts the next attempt
    };

    void Attempt();
    void StartLookup();
    void LookupDone(int code, std::uint32_t address);
    void Connect(std::uint32_t address);
    void ConnectDone();
    void Readable();
    void TimerFired();
    // Drops the socket and any lookup, records `trouble`, tells the owner, and schedules the
    // next attempt `delayMs` from now.
    void Fail(std::string trouble, int delayMs);
    // Reports `trouble` from the event loop (an attempt begun by Start must not call back).
    void FailLater(std::string trouble);
    void Drop();
    // Hands out one receive's bytes; false if a handler called Start or Stop meanwhile.
    bool Deliver(std::size_t count);

    std::string host_;
    int port_ = 0;
    quorvex::NetworkKind kind_ = quorvex::NetworkKind::Raw;
    int retryMs_ = kRetryMilliseconds;
    bool running_ = false;
    bool connected_ = false;
    Phase phase_ = Phase::kIdle;
    // Changes whenever an attempt or connection ends and at Start and Stop, so a handler's
    // Start or Stop is seen by the code that called it.
    std::uint64_t epoch_ = 0;
    std::string trouble_;
    std::string pendingTrouble_;
    std::uint64_t connections_ = 0;
    bool lookupFailed_ = false;
    platform::SocketHandle handle_ = platform::kInvalidSocket;
    platform::Ipv4Endpoint remote_;
    HostLookup lookup_;
    QSocketNotifier* readNotifier_;
    QSocketNotifier* writeNotifier_;
    QTimer* timer_;  // bounds an attempt, or waits before the next
    QTimer* pause_;  // re-arms the read notification
    BeastDecoder decoder_;
    std::array<char, kReadBufferBytes> buffer_{};
};

}  // namespace quorvex::net
