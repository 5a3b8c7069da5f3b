#include "net/feed_connection.h"

#include <exception>
#include <utility>

#include "net/socket_errors.h"
#include "platform/main_thread.h"
#include "platform/sockets.h"
#include "platform/ui_thread.h"

namespace quorvex::net {

FeedConnection::FeedConnection(QObject* parent) : QObject(parent) {
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] { TryAgain(); });
    readPause_.setSingleShot(true);
    connect(&readPause_, &QTimer::timeout, this, [this] { Read(); });
    client_.SetOnRead(
        [this](TClientSocket&, TClientWinSocket&) {
            // Until the read the socket tells of nothing more, so waiting loses nothing.
            const auto early = lastRead_ + platform::kStreamingReadGap - Clock::now();
            if (early.count() <= 0) {
                Read();
            } else if (!readPause_.isActive()) {
                readPause_.start(std::chrono::ceil<std::chrono::milliseconds>(early));
            }
        },
        this);
    client_.SetOnConnect(
        [this](TClientSocket&, TClientWinSocket& socket) {
            // A feed whose host vanished without a word (a power cut) would otherwise never
            // be noticed, a quiet sky being silent too: about 25 s after the last traffic the
            // connection fails with the reason, and a scripted run tries it again.
            platform::SetKeepAlive(socket.SocketHandle(), 10, 5, 3);
            closedByPeer_ = ConnectionClosedText(socket.RemoteAddress(), socket.RemotePort());
            reason_.clear();
            down_ = true;
            connected_ = true;
            Changed();
        },
        this);
    // Never raised: the reason goes to the feed's column.
    client_.SetOnError(
        [this](TClientSocket&, TClientWinSocket&, TErrorEvent, int& errorCode) {
            reason_ = SocketFailureText(errorCode);
            errorCode = 0;
            closedByPeer_.clear();
            Ended();
        },
        this);
    client_.SetOnDisconnect(
        [this](TClientSocket&, TClientWinSocket&) {
            if (!closedByPeer_.empty()) reason_ = std::exchange(closedByPeer_, {});
            Ended();
        },
        this);
}

void FeedConnection::SetConnect(bool down) {
    QUORVEX_ASSERT_UI_THREAD();
    retryTimer_.stop();
    readPause_.stop();
    reason_.clear();
    wanted_ = down;
    down_ = down;
    connected_ = connected_ && down;
    Changed();
    if (down) {
        Attempt();
    } else {
        closedByPeer_.clear();  // ended here, not by the peer
        client_.SetActive(false);
        // Up also ends a lookup or connection attempt still under way.
        if (!client_.Active()) client_.Socket().Disconnect();
    }
}

void FeedConnection::Read() {
    readPause_.stop();
    lastRead_ = Clock::now();
    const std::string text = client_.Socket().ReadPendingText();
    if (!text.empty() && OnText) OnText(text);
}

std::string FeedConnection::Trouble() const {
    if (reason_.empty() || !retry_ || !wanted_) return reason_;
    return RetryingText(reason_, retryMs_);
}

void FeedConnection::Attempt() {
    try {
        client_.SetActive(true);
    } catch (const std::exception& error) {
        reason_ = error.what();
        Ended();
        throw;
    }
}

void FeedConnection::TryAgain() {
    if (!wanted_ || client_.Active()) return;
    try {
        Attempt();
    } catch (const std::exception&) {
        // Trouble says it; the next attempt is due.
    }
}

void FeedConnection::Ended() {
    readPause_.stop();
    if (std::exchange(connected_, false) && wanted_) ++lost_;
    down_ = false;
    if (retry_ && wanted_) retryTimer_.start(retryMs_);
    Changed();
}

void FeedConnection::Changed() {
    if (OnChanged) OnChanged();
}

}  // namespace quorvex::net
