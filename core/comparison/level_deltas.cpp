#include "core/comparison/level_deltas.h"

#include <algorithm>
#include <cmath>

namespace quorvex {

namespace {

// Every cell of the step pairs, by delta ascending: the order in which ranks are counted.
const std::vector<std::uint16_t>& CellsByDelta(int firstStep, int steps) {
    static const std::vector<std::uint16_t> order = [firstStep, steps] {
        std::vector<std::uint16_t> cells(static_cast<std::size_t>(steps * steps));
        std::vector<double> delta(cells.size());
        for (int i = 0; i < steps; ++i) {
            for (int j = 0; j < steps; ++j) {
                const auto cell = static_cast<std::size_t>(i * steps + j);
                cells[cell] = static_cast<std::uint16_t>(cell);
                delta[cell] = StepDbfs(static_cast<std::uint8_t>(firstStep + j)) -
                              StepDbfs(static_cast<std::uint8_t>(firstStep + i));
            }
        }
        std::stable_sort(cells.begin(), cells.end(), [&delta](std::uint16_t a, std::uint16_t b) {
            return delta[a] < delta[b];
        });
        return cells;
    }();
    return order;
}

}  // namespace

std::uint8_t LevelStep(float levelDbfs) {
    const double step = std::round(255.0 * std::pow(10.0, static_cast<double>(levelDbfs) / 20.0));
    return static_cast<std::uint8_t>(std::clamp(step, 1.0, 255.0));
}

double StepDbfs(std::uint8_t step) {
    return 20.0 * std::log10(static_cast<double>(step) / 255.0);
}

LevelVerdict JudgeLevels(float level1Dbfs, float level2Dbfs) {
    if (std::isnan(level1Dbfs) || std::isnan(level2Dbfs)) return LevelVerdict::NoLevel;
    if (level1Dbfs >= kStrongLevelDbfs || level2Dbfs >= kStrongLevelDbfs) {
        return LevelVerdict::Strong;
    }
    if (level1Dbfs <= kWeakLevelDbfs || level2Dbfs <= kWeakLevelDbfs) return LevelVerdict::Weak;
    return LevelVerdict::Compared;
}

std::size_t LevelDeltas::Cell(std::uint8_t step1, std::uint8_t step2) {
    const int i = std::clamp(int{step1}, kFirstStep, kLastStep) - kFirstStep;
    const int j = std::clamp(int{step2}, kFirstStep, kLastStep) - kFirstStep;
    return static_cast<std::size_t>(i * kSteps + j);
}

void LevelDeltas::Add(float level1Dbfs, float level2Dbfs) {
    if (counts_.empty()) counts_.assign(static_cast<std::size_t>(kSteps * kSteps), 0);
    ++counts_[Cell(LevelStep(level1Dbfs), LevelStep(level2Dbfs))];
    ++compared_;
}

LevelDeltas& LevelDeltas::operator+=(const LevelDeltas& other) {
    if (other.counts_.empty()) return *this;
    if (counts_.empty()) counts_.assign(other.counts_.size(), 0);
    for (std::size_t cell = 0; cell < counts_.size(); ++cell) counts_[cell] += other.counts_[cell];
    compared_ += other.compared_;
    return *this;
}

void LevelDeltas::Ranks(std::vector<std::pair<std::uint64_t, double>>& ranks) const {
    std::sort(ranks.begin(), ranks.end());
    std::uint64_t below = 0;  // deltas in the cells walked so far
    auto next = ranks.begin();
    for (const std::uint16_t cell : CellsByDelta(kFirstStep, kSteps)) {
        below += counts_[cell];
        const int i = cell / kSteps;
        const int j = cell % kSteps;
        for (; next != ranks.end() && next->first <= below; ++next) {
            next->second = StepDbfs(static_cast<std::uint8_t>(kFirstStep + j)) -
                           StepDbfs(static_cast<std::uint8_t>(kFirstStep + i));
        }
        if (next == ranks.end()) return;
    }
}

double LevelDeltas::Nth(std::uint64_t k) const {
    std::vector<std::pair<std::uint64_t, double>> ranks{{k, 0.0}};
    if (k >= 1 && k <= compared_) Ranks(ranks);
    return ranks[0].second;
}

DeltaSummary LevelDeltas::Summarize() const {
    DeltaSummary summary;
    const std::uint64_t n = compared_;
    summary.compared = n;
    if (n == 0) return summary;
    const double half = static_cast<double>(n) / 2.0;
    const double spread = 0.98 * std::sqrt(static_cast<double>(n));
    const auto rank = [n](double r) {
        return static_cast<std::uint64_t>(std::clamp(r, 1.0, static_cast<double>(n)));
    };
    // Median (one rank or two), interval low and high, quartiles.
    std::vector<std::pair<std::uint64_t, double>> ranks = {
        {(n + 1) / 2, 0.0},
        {n / 2 + 1, 0.0},
        {rank(std::floor(half - spread)), 0.0},
        {rank(std::ceil(half + 1.0 + spread)), 0.0},
        {(n + 3) / 4, 0.0},
        {(3 * n + 3) / 4, 0.0}};
    const std::vector<std::uint64_t> asked = {ranks[0].first, ranks[1].first, ranks[2].first,
                                              ranks[3].first, ranks[4].first, ranks[5].first};
    Ranks(ranks);
    const auto at = [&ranks](std::uint64_t k) {
        return std::find_if(ranks.begin(), ranks.end(), [k](const auto& r) { return r.first == k; })
            ->second;
    };
    summary.medianDb = n % 2 == 1 ? at(asked[0]) : (at(n / 2) + at(n / 2 + 1)) / 2.0;
    if (n >= kMinComparedForInterval) summary.intervalDb = {at(asked[2]), at(asked[3])};
    summary.q1Db = at(asked[4]);
    summary.q3Db = at(asked[5]);
    return summary;
}

}  // namespace quorvex
