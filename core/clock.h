#pragma once
// Local date and time, passed in wherever behaviour depends on it (log names, log lines),
// so tests set the time instead of sleeping.

namespace quorvex {

struct LocalDateTime {
    int year = 2000;  // full year, e.g. 2026
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;  // 0..999
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() const = 0;
};

// The machine's local time.
class SystemClock final : public Clock {
  public:
    LocalDateTime Now() const override;
};

}  // namespace quorvex
