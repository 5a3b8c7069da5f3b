#include "tools/sim/stream_channel.h"

namespace quorvex::sim {
namespace {

// No more is put on the line while this much is still unwritten: the reader is slow.
constexpr std::size_t kUnwrittenLimit = 4096;

}  // namespace

StreamChannel::StreamChannel(Source source, std::int64_t baud, ByteStream& stream,
                             GroundTruth& truth, std::int64_t hangUpEvery)
    : source_(source), pacer_(baud), stream_(stream), truth_(truth), hangUpEvery_(hangUpEvery) {}

void StreamChannel::Offer(Unit&& unit) {
    if (!present_ || unit.time < acceptFrom_ || hangUpAt_ >= 0) return;
    if (pacer_.SecondsFor(queuedBytes_ + unit.text.size()) > kBacklogSeconds) {
        ++truth_[source_].overflow;
        return;
    }
    queuedBytes_ += unit.text.size();
    queue_.push_back(std::move(unit));
}

void StreamChannel::Drop() {
    queue_.clear();
    queuedBytes_ = 0;
    batch_.Clear();
}

void StreamChannel::Service(double now) {
    const bool present = stream_.ReaderPresent();
    if (!present) {
        if (present_) Drop();
        present_ = false;
        return;
    }
    if (!present_) {
        present_ = true;
        // Before the run starts (waiting for go, at 0) nothing is written yet: a reader that
        // opens then has settled by the first frame, and none is lost.
        acceptFrom_ = now > 0 ? now + kSettleSeconds : 0;
    }

    if (hangUpAt_ >= 0 && now >= hangUpAt_ && batch_.Empty()) {
        Drop();
        if (stream_.HangUp()) truth_.CountFault(source_, Fault::PtyClose);
        present_ = false;
        hangUpAt_ = -1;
        return;
    }

    while (!queue_.empty() && batch_.PendingBytes() < kUnwrittenLimit) {
        Unit& next = queue_.front();
        if (pacer_.StartOf(next.time, now) > now) break;
        pacer_.Take(next.time, now, next.text.size());
        queuedBytes_ -= next.text.size();
        batch_.Add(std::move(next));
        queue_.pop_front();
    }

    batch_.Flush([this](std::string_view bytes) { return stream_.Write(bytes); },
                 [this, now](const Unit& unit) {
                     truth_.Count(source_, unit);
                     ++written_;
                     if (hangUpEvery_ > 0 && written_ % hangUpEvery_ == 0 && hangUpAt_ < 0) {
                         hangUpAt_ = now + kQuietSeconds;
                     }
                 });
}

}  // namespace quorvex::sim
