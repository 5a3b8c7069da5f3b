#pragma once
// FeedConnection: the port-30003 feed's client (TClientSocket) with the state of its Connect
// toggle and the reason no connection stands.
//
// The toggle goes up, without a message, whenever an attempt or the connection ends.
// Trouble() then says why: the system's text ("Connection refused", "Connection reset by
// peer", ...), "Connection closed by <address>:<port>" when the peer ended the stream, or the
// message of a request the client refused. The reason stays until a connection stands again
// or the toggle is used. With SetRetry(true) (a scripted run), while a connection is wanted
// (from Connect down until the toggle is put up), every ended attempt or connection is tried
// again RetryMilliseconds() later; the failure of such an attempt is only told by Trouble(),
// never raised, so a feed that stays away never piles up messages.
//
// While lines stream in, the connection is read at most every 20 ms, each read taking all
// that arrived meanwhile (platform::kStreamingReadGap).
//
// Threads: the user-interface thread only, every member and callback; nothing blocks. The
// client's own handlers are set here; the owner sets none of them.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/client_socket.h"

namespace quorvex::net {

class FeedConnection : public QObject {
  public:
    static constexpr int kRetryMilliseconds = 5000;

    explicit FeedConnection(QObject* parent = nullptr);

    TClientSocket& Client() { return client_; }

    // The Connect toggle. Down forgets the last reason and starts an attempt, up closes the
    // connection or drops the attempt under way and stops trying again. Raises what the
    // client raises for a failed request (the toggle is then up and Trouble says it).
    void SetConnect(bool down);
    bool Down() const { return down_; }

    void SetRetry(bool retry) { retry_ = retry; }
    // At least 1 ms; applies from the next wait on.
    void SetRetryMilliseconds(int ms) { retryMs_ = ms < 1 ? 1 : ms; }

    // Empty while connected and before anything ended; else the reason, followed by
    // "; trying again every <n> s" while another attempt is due.
    std::string Trouble() const;
    // Connections that stood and ended while connected was wanted (not by the toggle).
    std::uint64_t Lost() const { return lost_; }

    // The text a read brought, as it came; valid until the handler returns.
    std::function<void(std::string_view text)> OnText;
    // Down or Trouble changed.
    std::function<void()> OnChanged;

  private:
    using Clock = std::chrono::steady_clock;

    // Takes what the connection holds: at once after a quiet spell, else once the streaming
    // gap since the last read is over (platform::kStreamingReadGap).
    void Read();
    void Attempt();
    void TryAgain();
    void Ended();
    void Changed();

    bool down_ = false;
    bool wanted_ = false;  // connected is asked for: Connect down, not put up since
    bool retry_ = false;
    bool connected_ = false;  // a connection stands
    std::uint64_t lost_ = 0;
    int retryMs_ = kRetryMilliseconds;
    std::string reason_;
    // While a connection stands: what Trouble says if the peer closes it.
    std::string closedByPeer_;
    QTimer retryTimer_;
    QTimer readPause_;
    Clock::time_point lastRead_{};
    TClientSocket client_;  // last: gone before the timer and the state its handlers reach
};

}  // namespace quorvex::net
