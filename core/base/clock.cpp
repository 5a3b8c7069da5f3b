#include "core/base/clock.h"

#include <ctime>

namespace quorvex {

double Clock::SteadySeconds() const {
    // The boot time goes on while the machine is suspended, where the monotonic clock stops:
    // a suspend is a stall of the run like any other, and twins and position pairs are
    // judged on the time that really passed.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

LocalDateTime SystemClock::Now() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return LocalDateTime{local.tm_year + 1900,
                         local.tm_mon + 1,
                         local.tm_mday,
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec,
                         static_cast<int>(now.tv_nsec / 1000000)};
}

}  // namespace quorvex
