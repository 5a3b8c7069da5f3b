#pragma once
// The reads of a source that data streams into, timed. While data streams in, a source
// waits platform::kStreamingReadGap between reads, so over the span from its first read to
// its last it makes at most one read per gap: however slowly the writer got through, and
// however loaded the machine, never one read per packet.

#include <chrono>
#include <vector>

#include "platform/main_thread.h"

namespace quorvex::test {

class StreamingReads {
  public:
    void Note() { times_.push_back(std::chrono::steady_clock::now()); }
    int Count() const { return static_cast<int>(times_.size()); }

    // One read per gap over the span, and the first; a coarse timer may fire up to 5 % early.
    int Allowed() const {
        if (times_.empty()) return 0;
        const auto gap = platform::kStreamingReadGap * 95 / 100;
        return static_cast<int>((times_.back() - times_.front()) / gap) + 2;
    }

  private:
    std::vector<std::chrono::steady_clock::time_point> times_;
};

}  // namespace quorvex::test
