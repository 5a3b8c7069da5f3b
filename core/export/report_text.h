#pragma once
// The verdict of an A/B run in sentences, as the report gives it: the share of the position
// frames either receiver heard that each heard, with its 95 % interval, overall and per ring;
// each receiver's farthest and 95th-percentile range; the level difference; which receiver
// is ahead and the sectors where the other one is. A sentence stands only where the data
// are enough; otherwise it says "not enough data yet".

#include <string>
#include <vector>

#include "core/comparison/coverage.h"
#include "core/comparison/level_comparison.h"

namespace quorvex {

inline constexpr std::string_view kNotEnoughData = "not enough data yet";

std::vector<std::string> VerdictLines(const Coverage& coverage, const LevelComparison& levels);

}  // namespace quorvex
