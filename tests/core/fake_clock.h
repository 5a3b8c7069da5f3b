#pragma once
// A clock the test sets by hand, and the scratch folders the core's tests write into.

#include "core/base/clock.h"
#include "support/temp_folder.h"

namespace quorvex::test {

class FakeClock final : public Clock {
  public:
    LocalDateTime now{2026, 12, 7, 0, 20, 41, 0};
    double steadySeconds = 1000.0;
    LocalDateTime Now() const override { return now; }
    double SteadySeconds() const override { return steadySeconds; }
};

}  // namespace quorvex::test
