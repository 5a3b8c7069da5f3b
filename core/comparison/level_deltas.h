#pragma once
// The level difference of one transmission at both receivers: for a twin whose copies both
// carry a level, delta = level of receiver 2 - level of receiver 1, in dB. The difference of
// two copies of one frame is the difference of the two receive chains, nothing else.
//
// Levels are compared on the steps of a Beast receiver's level byte b (20 log10(b / 255)
// dBFS, 1..255): a delta is that of a pair of steps, so the deltas' distribution is kept
// exactly as a count per pair of steps, and the median, its interval and the quartiles are
// those of the frames themselves. Twins are compared unless a copy has no level, or either is
// kStrongLevelDbfs or stronger (clipping and automatic gain), or kWeakLevelDbfs or weaker (the
// byte's bottom steps, 2.5 dB or more each): those are counted apart, each twin once, under
// the first of these reasons.
//
// Plain values; one thread.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "core/base/byte_codec.h"

namespace quorvex {

inline constexpr float kStrongLevelDbfs = -3.0F;
inline constexpr float kWeakLevelDbfs = -38.5F;
// The median's interval is given from this many compared twins on.
inline constexpr std::uint64_t kMinComparedForInterval = 30;

enum class LevelVerdict : std::uint8_t { Compared, NoLevel, Strong, Weak };
LevelVerdict JudgeLevels(float level1Dbfs, float level2Dbfs);

// The byte step nearest a level in dBFS (1..255); a level a byte gave maps back to that byte.
// A table search, no logarithm: it runs for every twin compared.
std::uint8_t LevelStep(float levelDbfs);
// The level of a step, 20 log10(step / 255) dBFS.
double StepDbfs(std::uint8_t step);

struct DeltaSummary {
    std::uint64_t compared = 0;
    std::optional<double> medianDb;  // none without compared twins
    // The distribution-free 95 % interval of the median, from kMinComparedForInterval on:
    // with the deltas sorted d(1) <= ... <= d(n), d(max(1, floor(n/2 - 0.98 sqrt n))) to
    // d(min(n, ceil(n/2 + 1 + 0.98 sqrt n))).
    std::optional<std::pair<double, double>> intervalDb;
    // The quartiles by nearest rank, d(ceil(n/4)) and d(ceil(3n/4)).
    std::optional<double> q1Db;
    std::optional<double> q3Db;
};

class LevelDeltas {
  public:
    // Steps kFirstStep..kLastStep: the others are strong or weak.
    static constexpr int kFirstStep = 4;
    static constexpr int kLastStep = 180;
    static constexpr int kSteps = kLastStep - kFirstStep + 1;
    // A pair of steps as one number (0 .. kSteps² - 1), and its delta in dB.
    static std::uint16_t Cell(float level1Dbfs, float level2Dbfs);
    static double CellDelta(std::uint16_t cell);

    // A compared twin's two levels (both with a level, neither strong nor weak).
    void Add(float level1Dbfs, float level2Dbfs) { AddCell(Cell(level1Dbfs, level2Dbfs)); }
    void AddCell(std::uint16_t cell);
    LevelDeltas& operator+=(const LevelDeltas& other);
    std::uint64_t compared() const { return compared_; }
    // The sum of every compared twin's delta, dB (kept as they come: no walk of the cells).
    double SumDb() const { return sumDb_; }
    // d(k): the k-th smallest delta, 1 <= k <= compared().
    double Nth(std::uint64_t k) const;
    DeltaSummary Summarize() const;
    // Calls visit(double deltaDb, std::uint64_t count) for every pair of steps seen.
    template <typename Visit>
    void ForEachDelta(Visit&& visit) const {
        for (std::size_t cell = 0; cell < counts_.size(); ++cell) {
            if (counts_[cell] != 0)
                visit(CellDelta(static_cast<std::uint16_t>(cell)), counts_[cell]);
        }
    }

    // The saved state: the compared twins and each step pair's count where not zero.
    void Save(ByteWriter& out) const;
    bool Load(ByteReader& in);

  private:
    // d(k) for every rank k asked for (each 1..compared()), in the order asked.
    std::vector<double> Deltas(std::span<const std::uint64_t> ranks) const;

    std::vector<std::uint64_t> counts_;  // kSteps * kSteps once the first twin came
    std::uint64_t compared_ = 0;
    double sumDb_ = 0;
};

// The deltas of one aircraft: few pairs of steps, kept as a small open-addressing table of
// (pair, count), so a day of an aircraft's twins costs a few kilobytes, not a full table, and
// adding one is a probe or two.
class SparseDeltas {
  public:
    void Add(std::uint16_t cell);
    std::uint64_t compared() const { return compared_; }
    // The median (the mean of the two middle deltas for an even count); none when empty.
    std::optional<double> Median() const;

    void Save(ByteWriter& out) const;
    bool Load(ByteReader& in);

  private:
    void Grow();

    // The cell + 1 in the top 16 bits (0: an empty slot), its count below; a power of two.
    std::vector<std::uint64_t> slots_;
    std::size_t used_ = 0;
    std::uint64_t compared_ = 0;
};

}  // namespace quorvex
