#pragma once
// The Wilson score interval of a proportion: where the true share lies with 95 % confidence,
// given `successes` out of `trials`. Unlike the normal approximation it stays inside 0..1 and
// is sound for shares near 0 or 1.

#include <cstdint>

namespace quorvex {

// The 0.975 quantile of the standard normal distribution.
inline constexpr double kWilsonZ95 = 1.959963984540054;

struct ShareInterval {
    double share = 0;  // successes / trials
    double low = 0;
    double high = 0;

    friend bool operator==(const ShareInterval&, const ShareInterval&) = default;
};

// Needs trials > 0 and successes <= trials.
ShareInterval WilsonInterval95(std::uint64_t successes, std::uint64_t trials);

}  // namespace quorvex
