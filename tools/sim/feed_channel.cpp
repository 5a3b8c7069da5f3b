#include "tools/sim/feed_channel.h"

namespace quorvex::sim {

FeedChannel::FeedChannel(FeedConnection& connection, GroundTruth& truth, std::int64_t resetEvery)
    : connection_(connection), truth_(truth), resetEvery_(resetEvery) {}

void FeedChannel::Offer(Unit&& line) {
    if (!connected_ || resetAt_ >= 0) return;
    if (batch_.PendingBytes() + line.text.size() > kBacklogBytes) {
        ++truth_[Source::Feed].overflow;
        return;
    }
    batch_.Add(std::move(line));
}

void FeedChannel::Service(double now) {
    connected_ = connection_.Connected();
    if (!connected_) {
        batch_.Clear();
        resetAt_ = -1;
        return;
    }
    if (resetAt_ >= 0 && now >= resetAt_ && batch_.Empty()) {
        connection_.Reset();
        truth_.CountFault(Source::Feed, Fault::FeedReset);
        connected_ = false;
        resetAt_ = -1;
        return;
    }
    batch_.Flush([this](std::string_view bytes) { return connection_.Write(bytes); },
                 [this, now](const Unit& line) {
                     truth_.Count(Source::Feed, line);
                     ++written_;
                     if (resetEvery_ > 0 && written_ % resetEvery_ == 0 && resetAt_ < 0) {
                         resetAt_ = now + kQuietSeconds;
                     }
                 });
}

}  // namespace quorvex::sim
