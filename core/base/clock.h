#pragma once
// Local date and time, and steady seconds, passed in wherever behaviour depends on them (log
// names, log lines, position pairs), so tests set the time instead of sleeping.

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
    // Seconds on a clock that only runs forwards (an arbitrary start), for spans such as a
    // position's pair or a frame's twin. The machine's time since boot, suspends included,
    // unless a test sets it.
    virtual double SteadySeconds() const;
};

// The machine's local time.
class SystemClock final : public Clock {
  public:
    LocalDateTime Now() const override;
};

}  // namespace quorvex
