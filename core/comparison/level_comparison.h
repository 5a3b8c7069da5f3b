#pragma once
// The level comparison of a run: every twin (a frame both receivers heard) judged on its two
// levels (compared, or excluded for no level, strong or weak: level_deltas.h) and its
// delta counted, in all, among the unplaced twins and per ring of kRingNm from the station;
// beside them, per receiver, its frames with a level and how many of them were strong (the
// share gain tuning goes by), placed the same way. A twin or frame is placed by its
// aircraft's latest fix (kLevelFixMaxAgeSeconds at most), which the caller looks up.
//
// A change of gain during a run makes the levels before and after it incomparable. Every
// wall-clock minute closes; the median delta of the last kGainWindowMinutes minutes is set
// against that of the ones before, each with kGainMinCompared compared twins or more: a
// difference over kGainChangeDb is a change. As the windows slide on, the difference is
// largest over a few boundaries around the change; the middle one is the change's time.
// Once one is marked the next is sought in windows after it.
//
// Plain values; the user-interface thread only, like the run that owns it.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "core/base/source_id.h"
#include "core/comparison/level_deltas.h"

namespace quorvex {

inline constexpr std::int64_t kLevelFixMaxAgeSeconds = 60;
inline constexpr int kGainWindowMinutes = 5;
inline constexpr std::uint64_t kGainMinCompared = 100;
inline constexpr double kGainChangeDb = 1.5;

// What the twins and frames of one group (all, unplaced, a ring) gave.
struct LevelGroup {
    std::uint64_t twins = 0;
    // Twins excluded, by their first reason: no level, strong, weak.
    std::uint64_t excludedNoLevel = 0;
    std::uint64_t excludedStrong = 0;
    std::uint64_t excludedWeak = 0;
    LevelDeltas deltas;
    // Per receiver (1, 2): frames with a level, and those at or above kStrongLevelDbfs.
    std::array<std::uint64_t, 2> levelFrames{};
    std::array<std::uint64_t, 2> strongFrames{};

    // The strong share of a receiver's frames in percent; none without frames.
    std::optional<double> StrongPercent(SourceId receiver) const;
};

// A change of gain: the minute it is placed at, and the medians of the windows either side.
struct GainChange {
    std::int64_t unixSecond = 0;
    double beforeDb = 0;
    double afterDb = 0;
};

class LevelComparison {
  public:
    // The rings up to the maximum range; forgets everything, as Clear does.
    void SetRingCount(int rings);
    int RingCount() const { return static_cast<int>(rings_.size()); }
    // A run starts at `unixSecond`: everything gathered is forgotten.
    void Clear(std::int64_t unixSecond);

    // A counted frame of receiver 1 or 2 with a level, in `ring` (none: unplaced).
    void Frame(SourceId receiver, float levelDbfs, std::optional<int> ring);
    // A twin, its copies' levels (kNoLevel where none), in `ring`. Its verdict; for a
    // compared twin `cell` is its pair of steps (LevelDeltas::Cell).
    LevelVerdict Twin(float level1Dbfs, float level2Dbfs, std::optional<int> ring,
                      std::uint16_t& cell);
    // The second `unixSecond` begins: a minute that ended is closed and the gain watched.
    void Second(std::int64_t unixSecond);
    // The run ended: a change still being placed is marked.
    void End();

    const LevelGroup& All() const { return all_; }
    const LevelGroup& Unplaced() const { return unplaced_; }
    const LevelGroup& Ring(int ring) const { return rings_[static_cast<std::size_t>(ring)]; }
    // Per receiver, its frames per level byte (1..255), the steps LevelStep gives.
    const std::array<std::array<std::uint64_t, 256>, 2>& LevelSteps() const { return steps_; }
    const std::vector<GainChange>& GainChanges() const { return changes_; }

    // The saved state; Load takes it into a comparison with the same ring count, false when
    // it is not whole or not consistent.
    void Save(ByteWriter& out) const;
    bool Load(ByteReader& in);

  private:
    void CloseMinute();
    void Mark();

    LevelGroup all_;
    LevelGroup unplaced_;
    std::vector<LevelGroup> rings_ = std::vector<LevelGroup>(1);
    std::array<std::array<std::uint64_t, 256>, 2> steps_{};

    // The gain watch: the deltas of the minute under way and of the closed minutes, the
    // newest last, at most two windows of them.
    std::int64_t minute_ = 0;  // the minute under way, in minutes since 1970
    LevelDeltas thisMinute_;
    std::deque<LevelDeltas> minutes_;
    std::optional<GainChange> candidate_;  // the largest difference found, not yet marked
    double candidateDifference_ = 0;
    std::int64_t plateauEnd_ = 0;  // the last boundary with the candidate's difference
    std::int64_t searchFrom_ = 0;  // the first window start a new change may have
    std::vector<GainChange> changes_;
};

}  // namespace quorvex
