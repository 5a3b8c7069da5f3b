#include "core/comparison/wilson_interval.h"

#include <algorithm>
#include <cmath>

namespace quorvex {

ShareInterval WilsonInterval95(std::uint64_t successes, std::uint64_t trials) {
    const double n = static_cast<double>(trials);
    const double p = static_cast<double>(successes) / n;
    const double z2 = kWilsonZ95 * kWilsonZ95;
    const double denominator = 1 + z2 / n;
    const double centre = (p + z2 / (2 * n)) / denominator;
    const double half = kWilsonZ95 / denominator * std::sqrt(p * (1 - p) / n + z2 / (4 * n * n));
    return {p, std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

}  // namespace quorvex
