#include "core/comparison/level_deltas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
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

// The levels halfway (in dB) between neighbouring steps: a level belongs to the step whose
// interval holds it. And, for a lookup without a search, the step of every level on a grid
// of 1/64 dB: the bounds are at least 0.034 dB apart, so at most one lies between a level
// and the grid point above it.
struct StepTable {
    static constexpr int kPerDb = 64;
    static constexpr int kGrid = 50 * kPerDb;  // 0 to -50 dBFS; below, only step 1
    std::array<float, 256> bounds{};           // bounds[b]: between steps b and b + 1 (b = 1..254)
    std::array<std::uint8_t, kGrid + 1> grid{};
    StepTable() {
        bounds[0] = -std::numeric_limits<float>::infinity();
        bounds[255] = std::numeric_limits<float>::infinity();
        for (int b = 1; b < 255; ++b) {
            bounds[static_cast<std::size_t>(b)] =
                static_cast<float>((StepDbfs(static_cast<std::uint8_t>(b)) +
                                    StepDbfs(static_cast<std::uint8_t>(b + 1))) /
                                   2.0);
        }
        for (int i = 0; i <= kGrid; ++i)
            grid[static_cast<std::size_t>(i)] = Search(-float(i) / kPerDb);
    }
    // The first bound at or above the level ends its step.
    std::uint8_t Search(float level) const {
        const auto first = bounds.begin() + 1;
        return static_cast<std::uint8_t>(std::lower_bound(first, bounds.begin() + 255, level) -
                                         first + 1);
    }
};

constexpr std::uint64_t kCountBits = 48;
constexpr std::uint64_t kCountMask = (std::uint64_t{1} << kCountBits) - 1;

}  // namespace

std::uint8_t LevelStep(float levelDbfs) {
    static const StepTable table;
    const float below = -levelDbfs * StepTable::kPerDb;
    if (!(below >= 0 && below < StepTable::kGrid)) return table.Search(levelDbfs);
    // The grid point at or above the level, then the one bound that may lie between.
    auto step = table.grid[static_cast<std::size_t>(below)];
    if (levelDbfs < table.bounds[step - 1U]) --step;
    return step;
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
    // StepDbfs of every byte, worked out once: the quantiles and sums read thousands of cells.
    static const std::array<double, 256> kLevels = [] {
        std::array<double, 256> levels{};
        for (std::size_t step = 1; step < levels.size(); ++step) {
            levels[step] = StepDbfs(static_cast<std::uint8_t>(step));
        }
        return levels;
    }();
    return kLevels[static_cast<std::size_t>(kFirstStep + cell % kSteps)] -
           kLevels[static_cast<std::size_t>(kFirstStep + cell / kSteps)];
}

void LevelDeltas::AddCell(std::uint16_t cell) {
    if (counts_.empty()) counts_.assign(static_cast<std::size_t>(kSteps * kSteps), 0);
    ++counts_[cell];
    ++compared_;
    sumDb_ += CellDelta(cell);
}

LevelDeltas& LevelDeltas::operator+=(const LevelDeltas& other) {
    if (other.counts_.empty()) return *this;
    if (counts_.empty()) counts_.assign(other.counts_.size(), 0);
    for (std::size_t cell = 0; cell < counts_.size(); ++cell) counts_[cell] += other.counts_[cell];
    sumDb_ += other.sumDb_;
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
        if (counts_[cell] == 0) continue;  // no rank is reached here
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
    ++compared_;
    const std::uint64_t key = (std::uint64_t{cell} + 1) << kCountBits;
    if (slots_.empty()) Grow();
    for (;;) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = (cell * 0x9E37U) & mask;
        while (slots_[at] != 0 && (slots_[at] & ~kCountMask) != key) at = (at + 1) & mask;
        if (slots_[at] != 0) {
            ++slots_[at];
            return;
        }
        // A new pair: at most half the slots in use keeps the probes short.
        if (2 * (used_ + 1) <= slots_.size()) {
            slots_[at] = key | 1;
            ++used_;
            return;
        }
        Grow();
    }
}

void SparseDeltas::Grow() {
    std::vector<std::uint64_t> old(std::max<std::size_t>(16, 2 * slots_.size()), 0);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint64_t slot : old) {
        if (slot == 0) continue;
        const auto cell = static_cast<std::uint16_t>((slot >> kCountBits) - 1);
        std::size_t at = (cell * 0x9E37U) & mask;
        while (slots_[at] != 0) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

std::optional<double> SparseDeltas::Median() const {
    if (compared_ == 0) return std::nullopt;
    std::vector<std::pair<double, std::uint64_t>> deltas;
    deltas.reserve(used_);
    for (const std::uint64_t slot : slots_) {
        if (slot == 0) continue;
        deltas.emplace_back(
            LevelDeltas::CellDelta(static_cast<std::uint16_t>((slot >> kCountBits) - 1)),
            slot & kCountMask);
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

namespace quorvex {
namespace {

constexpr std::size_t kCells = static_cast<std::size_t>(LevelDeltas::kSteps * LevelDeltas::kSteps);

// Pairs of (cell, count) whose counts add up to `compared`: false when not.
template <typename Add>
bool LoadCells(ByteReader& in, std::uint64_t compared, std::uint64_t countLimit, Add&& add) {
    std::uint64_t pairs = 0;
    if (!in.GetCount(pairs, kCells, sizeof(std::uint16_t) + sizeof(std::uint64_t))) return false;
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < pairs; ++i) {
        std::uint16_t cell = 0;
        std::uint64_t count = 0;
        if (!in.GetIn<std::uint16_t>(cell, 0, static_cast<std::uint16_t>(kCells - 1)) ||
            !in.GetIn<std::uint64_t>(count, 1, countLimit)) {
            return false;
        }
        sum += count;
        if (sum > compared) return in.Fail();
        add(cell, count);
    }
    return sum == compared || in.Fail();
}

}  // namespace

void LevelDeltas::Save(ByteWriter& out) const {
    out.Put(compared_);
    std::uint64_t pairs = 0;
    for (const std::uint64_t count : counts_) pairs += count != 0 ? 1 : 0;
    out.Put(pairs);
    for (std::size_t cell = 0; cell < counts_.size(); ++cell) {
        if (counts_[cell] == 0) continue;
        out.Put(static_cast<std::uint16_t>(cell));
        out.Put(counts_[cell]);
    }
}

bool LevelDeltas::Load(ByteReader& in) {
    *this = {};
    std::uint64_t compared = 0;
    if (!in.Get(compared)) return false;
    if (compared > 0) counts_.assign(kCells, 0);
    compared_ = compared;
    return LoadCells(in, compared, compared, [this](std::uint16_t cell, std::uint64_t count) {
        counts_[cell] += count;
        sumDb_ += static_cast<double>(count) * CellDelta(cell);
    });
}

void SparseDeltas::Save(ByteWriter& out) const {
    // The table as it stands: a day of thousands of aircraft holds megabytes of pairs, and a
    // copy of memory is the least the snapshot can take.
    out.Put(compared_);
    out.PutVector<std::uint64_t>(slots_);
}

bool SparseDeltas::Load(ByteReader& in) {
    *this = {};
    std::uint64_t compared = 0;
    constexpr std::size_t kMaxSlots = 2 * kCells;
    if (!in.Get(compared) || !in.GetVector(slots_, kMaxSlots)) return false;
    const std::size_t size = slots_.size();
    if (size != 0 && (size < 16 || (size & (size - 1)) != 0)) return in.Fail();
    // Every pair once, where Add's probe from its home finds it, its counts adding up.
    std::uint64_t sum = 0;
    const std::size_t mask = size - 1;
    for (std::size_t at = 0; at < size; ++at) {
        const std::uint64_t slot = slots_[at];
        if (slot == 0) continue;
        const std::uint64_t key = slot & ~kCountMask;
        const std::uint64_t cell = (slot >> kCountBits) - 1;
        if (cell >= kCells || (slot & kCountMask) == 0) return in.Fail();
        std::size_t probe = (static_cast<std::uint16_t>(cell) * 0x9E37U) & mask;
        while (probe != at && slots_[probe] != 0 && (slots_[probe] & ~kCountMask) != key) {
            probe = (probe + 1) & mask;
        }
        if (probe != at) return in.Fail();
        sum += slot & kCountMask;
        ++used_;
    }
    if (2 * used_ > size || sum != compared) return in.Fail();
    compared_ = compared;
    return true;
}

}  // namespace quorvex
