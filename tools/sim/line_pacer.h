#pragma once
// The timing of a serial line: ten bits per byte (start, eight data, stop) at its baud rate,
// one packet after another. A packet starts when it is ready and the line has carried every
// packet before it; a loop that wakes late catches up at most kCatchUpSeconds, so the
// bytes written in any stretch of time never exceed what the line carries in it by more.

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace quorvex::sim {

class LinePacer {
  public:
    static constexpr double kCatchUpSeconds = 0.02;

    explicit LinePacer(std::int64_t baud) : bytesPerSecond_(static_cast<double>(baud) / 10.0) {}

    double BytesPerSecond() const { return bytesPerSecond_; }
    double SecondsFor(std::size_t bytes) const {
        return static_cast<double>(bytes) / bytesPerSecond_;
    }

    // When a packet ready at `ready` starts, asked at `now`.
    double StartOf(double ready, double now) const {
        return std::max({ready, freeAt_, now - kCatchUpSeconds});
    }
    // Puts a packet of `bytes` on the line from StartOf(ready, now) on.
    void Take(double ready, double now, std::size_t bytes) {
        freeAt_ = StartOf(ready, now) + SecondsFor(bytes);
    }

  private:
    double bytesPerSecond_;
    double freeAt_ = -1e300;
};

}  // namespace quorvex::sim
