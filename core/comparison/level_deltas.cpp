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

std::vector<double> LevelDeltas::Deltas(std::span<const std::uint64_t> ranks) const {
    // The ranks in ascending order, walked once over the cells in the deltas' order.
    std::vector<std::size_t> order(ranks.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&ranks](std::size_t a, std::size_t b) { return ranks[a] < ranks[b]; });
    std::vector<double> deltas(ranks.size(), 0.0);
    std::uint64_t below = 0;  // deltas in the cells walked so far
    auto next = order.begin();
    for (const std::uint16_t cell : CellsByDelta(kFirstStep, kSteps)) {
        if (next == order.end()) break;
        below += counts_[cell];
        const double delta = StepDbfs(static_cast<std::uint8_t>(kFirstStep + cell % kSteps)) -
                             StepDbfs(static_cast<std::uint8_t>(kFirstStep + cell / kSteps));
        for (; next != order.end() && ranks[*next] <= below; ++next) deltas[*next] = delta;
    }
    return deltas;
}

double LevelDeltas::Nth(std::uint64_t k) const {
    if (k < 1 || k > compared_) return 0.0;
    return Deltas(std::span(&k, 1))[0];
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
    // The median's rank (the lower middle one for an even count) and the next, the interval's
    // ends, the quartiles.
    const std::array<std::uint64_t, 6> ranks = {(n + 1) / 2,
                                                n / 2 + 1,
                                                rank(std::floor(half - spread)),
                                                rank(std::ceil(half + 1.0 + spread)),
                                                (n + 3) / 4,
                                                (3 * n + 3) / 4};
    const std::vector<double> d = Deltas(ranks);
    summary.medianDb = n % 2 == 1 ? d[0] : (d[0] + d[1]) / 2.0;
    if (n >= kMinComparedForInterval) summary.intervalDb = {d[2], d[3]};
    summary.q1Db = d[4];
    summary.q3Db = d[5];
    return summary;
}

}  // namespace quorvex
