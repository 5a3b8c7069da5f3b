#include "core/comparison/level_deltas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

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

// The level of every step, as a byte gives it (LevelFromBeastByte), and the levels halfway
// (in dB) between neighbouring steps: a level belongs to the step whose interval holds it.
struct StepTable {
    std::array<float, 256> bounds{};  // bounds[b]: between steps b and b + 1 (b = 1..254)
    StepTable() {
        for (int b = 1; b < 255; ++b) {
            bounds[static_cast<std::size_t>(b)] =
                static_cast<float>((StepDbfs(static_cast<std::uint8_t>(b)) +
                                    StepDbfs(static_cast<std::uint8_t>(b + 1))) /
                                   2.0);
        }
    }
};

constexpr std::uint64_t kCountBits = 48;
constexpr std::uint64_t kCountMask = (std::uint64_t{1} << kCountBits) - 1;

}  // namespace

std::uint8_t LevelStep(float levelDbfs) {
    static const StepTable table;
    // The first bound at or above the level ends its step.
    const auto first = table.bounds.begin() + 1;
    const auto last = table.bounds.begin() + 255;
    return static_cast<std::uint8_t>(std::lower_bound(first, last, levelDbfs) - first + 1);
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

std::uint16_t LevelDeltas::Cell(float level1Dbfs, float level2Dbfs) {
    const int i = std::clamp(int{LevelStep(level1Dbfs)}, kFirstStep, kLastStep) - kFirstStep;
    const int j = std::clamp(int{LevelStep(level2Dbfs)}, kFirstStep, kLastStep) - kFirstStep;
    return static_cast<std::uint16_t>(i * kSteps + j);
}

double LevelDeltas::CellDelta(std::uint16_t cell) {
    return StepDbfs(static_cast<std::uint8_t>(kFirstStep + cell % kSteps)) -
           StepDbfs(static_cast<std::uint8_t>(kFirstStep + cell / kSteps));
}

void LevelDeltas::AddCell(std::uint16_t cell) {
    if (counts_.empty()) counts_.assign(static_cast<std::size_t>(kSteps * kSteps), 0);
    ++counts_[cell];
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
        const double delta = CellDelta(cell);
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

void SparseDeltas::Add(std::uint16_t cell) {
    const std::uint64_t key = std::uint64_t{cell} << kCountBits;
    const auto at = std::lower_bound(cells_.begin(), cells_.end(), key);
    if (at != cells_.end() && (*at & ~kCountMask) == key) {
        ++*at;
    } else {
        cells_.insert(at, key | 1);
    }
    ++compared_;
}

std::optional<double> SparseDeltas::Median() const {
    if (compared_ == 0) return std::nullopt;
    std::vector<std::pair<double, std::uint64_t>> deltas;
    deltas.reserve(cells_.size());
    for (const std::uint64_t packed : cells_) {
        deltas.emplace_back(
            LevelDeltas::CellDelta(static_cast<std::uint16_t>(packed >> kCountBits)),
            packed & kCountMask);
    }
    std::sort(deltas.begin(), deltas.end());
    // The lower middle rank and the next; equal for an odd count.
    const std::uint64_t lower = (compared_ + 1) / 2;
    const std::uint64_t upper = compared_ / 2 + 1;
    double lowerDelta = 0;
    std::uint64_t below = 0;
    for (const auto& [delta, count] : deltas) {
        if (below < lower && lower <= below + count) lowerDelta = delta;
        if (upper <= below + count) return (lowerDelta + delta) / 2.0;
        below += count;
    }
    return lowerDelta;
}

}  // namespace quorvex
