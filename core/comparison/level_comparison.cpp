#include "core/comparison/level_comparison.h"

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::size_t kWindow = kGainWindowMinutes;
// Differences this close count as equally large.
constexpr double kGainTieDb = 0.05;

std::int64_t MinuteOf(std::int64_t unixSecond) {
    return unixSecond >= 0 ? unixSecond / kSecondsPerMinute
                           : -((-unixSecond + kSecondsPerMinute - 1) / kSecondsPerMinute);
}

LevelDeltas Sum(std::deque<LevelDeltas>::const_iterator first,
                std::deque<LevelDeltas>::const_iterator last) {
    LevelDeltas sum;
    for (; first != last; ++first) sum += *first;
    return sum;
}

}  // namespace

std::optional<double> LevelGroup::StrongPercent(SourceId receiver) const {
    const std::size_t r = SourceIndex(receiver);
    if (levelFrames[r] == 0) return std::nullopt;
    return 100.0 * static_cast<double>(strongFrames[r]) / static_cast<double>(levelFrames[r]);
}

void LevelComparison::SetRingCount(int rings) {
    rings_.assign(static_cast<std::size_t>(std::max(1, rings)), LevelGroup{});
    Clear(minute_ * kSecondsPerMinute);
}

void LevelComparison::Clear(std::int64_t unixSecond) {
    all_ = {};
    unplaced_ = {};
    for (LevelGroup& ring : rings_) ring = {};
    for (auto& receiver : steps_) receiver.fill(0);
    minute_ = MinuteOf(unixSecond);
    thisMinute_ = {};
    minutes_.clear();
    candidate_.reset();
    candidateDifference_ = 0;
    searchFrom_ = minute_ * kSecondsPerMinute;
    changes_.clear();
}

void LevelComparison::Frame(SourceId receiver, float levelDbfs, std::optional<int> ring) {
    const std::size_t r = SourceIndex(receiver);
    const bool strong = levelDbfs >= kStrongLevelDbfs;
    LevelGroup& placed =
        ring ? rings_[static_cast<std::size_t>(std::clamp(*ring, 0, RingCount() - 1))] : unplaced_;
    for (LevelGroup* group : {&all_, &placed}) {
        ++group->levelFrames[r];
        if (strong) ++group->strongFrames[r];
    }
    ++steps_[r][LevelStep(levelDbfs)];
}

LevelVerdict LevelComparison::Twin(float level1Dbfs, float level2Dbfs, std::optional<int> ring,
                                   std::uint16_t& cell) {
    const LevelVerdict verdict = JudgeLevels(level1Dbfs, level2Dbfs);
    LevelGroup& placed =
        ring ? rings_[static_cast<std::size_t>(std::clamp(*ring, 0, RingCount() - 1))] : unplaced_;
    if (verdict == LevelVerdict::Compared) {
        cell = LevelDeltas::Cell(level1Dbfs, level2Dbfs);
        thisMinute_.AddCell(cell);
    }
    for (LevelGroup* group : {&all_, &placed}) {
        ++group->twins;
        switch (verdict) {
            case LevelVerdict::Compared:
                group->deltas.AddCell(cell);
                break;
            case LevelVerdict::NoLevel:
                ++group->excludedNoLevel;
                break;
            case LevelVerdict::Strong:
                ++group->excludedStrong;
                break;
            case LevelVerdict::Weak:
                ++group->excludedWeak;
                break;
        }
    }
    return verdict;
}

void LevelComparison::Second(std::int64_t unixSecond) {
    const std::int64_t minute = MinuteOf(unixSecond);
    if (minute < minute_) {
        minute_ = minute;  // the clock was set back: the minute under way goes on
        return;
    }
    // After a long pause only the last two windows' worth of (empty) minutes matter.
    const std::int64_t closes = std::min<std::int64_t>(minute - minute_, 2 * kWindow + 1);
    minute_ = minute - closes;
    for (std::int64_t i = 0; i < closes; ++i) {
        CloseMinute();
        ++minute_;
    }
}

void LevelComparison::CloseMinute() {
    minutes_.push_back(std::move(thisMinute_));
    thisMinute_ = {};
    if (minutes_.size() > 2 * kWindow) minutes_.pop_front();
    if (minutes_.size() < 2 * kWindow) return;
    // The later window's first minute; minute_ is the one closing, its last.
    const std::int64_t boundary = (minute_ - static_cast<std::int64_t>(kWindow) + 1) * 60;
    if (candidate_ && boundary - candidate_->unixSecond >= kGainWindowMinutes * 60) Mark();
    if (boundary < searchFrom_) return;
    const auto middle = minutes_.cbegin() + static_cast<std::ptrdiff_t>(kWindow);
    const LevelDeltas before = Sum(minutes_.cbegin(), middle);
    const LevelDeltas after = Sum(middle, minutes_.cend());
    if (before.compared() >= kGainMinCompared && after.compared() >= kGainMinCompared) {
        const double beforeDb = *before.Summarize().medianDb;
        const double afterDb = *after.Summarize().medianDb;
        const double difference = std::abs(afterDb - beforeDb);
        if (difference > kGainChangeDb) {
            if (!candidate_ || difference > candidateDifference_ + kGainTieDb) {
                candidate_ = GainChange{boundary, beforeDb, afterDb};
                candidateDifference_ = difference;
                plateauEnd_ = boundary;
            } else if (difference >= candidateDifference_ - kGainTieDb) {
                plateauEnd_ = boundary;
            }
            return;
        }
    }
    if (candidate_) Mark();
}

void LevelComparison::End() {
    if (candidate_) Mark();
}

void LevelComparison::Mark() {
    // A median holds its value until the other side has the majority of a window: a step
    // shows the largest difference over a plateau of boundaries, with the step in its middle.
    const std::int64_t plateau = (plateauEnd_ - candidate_->unixSecond) / kSecondsPerMinute;
    candidate_->unixSecond += plateau / 2 * kSecondsPerMinute;
    changes_.push_back(*candidate_);
    searchFrom_ = candidate_->unixSecond + kGainWindowMinutes * kSecondsPerMinute;
    candidate_.reset();
    candidateDifference_ = 0;
}

}  // namespace quorvex

namespace quorvex {
namespace {

// Seconds and minutes of saved state lie in [0, kLatestSecond]: far beyond any clock, far
// below what arithmetic on them could overflow.
constexpr std::int64_t kLatestSecond = std::int64_t{1} << 40;
constexpr std::size_t kMaxGainChanges = 1 << 20;

void SaveGroup(ByteWriter& out, const LevelGroup& group) {
    for (const std::uint64_t n :
         {group.twins, group.excludedNoLevel, group.excludedStrong, group.excludedWeak}) {
        out.Put(n);
    }
    group.deltas.Save(out);
    out.PutFixed<std::uint64_t>(group.levelFrames);
    out.PutFixed<std::uint64_t>(group.strongFrames);
}

bool LoadGroup(ByteReader& in, LevelGroup& group) {
    return in.Get(group.twins) && in.Get(group.excludedNoLevel) && in.Get(group.excludedStrong) &&
           in.Get(group.excludedWeak) && group.deltas.Load(in) &&
           in.GetFixed<std::uint64_t>(group.levelFrames) &&
           in.GetFixed<std::uint64_t>(group.strongFrames);
}

void SaveChange(ByteWriter& out, const GainChange& change) {
    out.Put(change.unixSecond);
    out.Put(change.beforeDb);
    out.Put(change.afterDb);
}

bool LoadChange(ByteReader& in, GainChange& change) {
    return in.GetIn<std::int64_t>(change.unixSecond, 0, kLatestSecond) && in.Get(change.beforeDb) &&
           in.Get(change.afterDb);
}

}  // namespace

void LevelComparison::Save(ByteWriter& out) const {
    SaveGroup(out, all_);
    SaveGroup(out, unplaced_);
    out.Put(static_cast<std::uint64_t>(rings_.size()));
    for (const LevelGroup& ring : rings_) SaveGroup(out, ring);
    for (const auto& receiver : steps_) out.PutFixed<std::uint64_t>(receiver);
    out.Put(minute_);
    thisMinute_.Save(out);
    out.Put(static_cast<std::uint64_t>(minutes_.size()));
    for (const LevelDeltas& minute : minutes_) minute.Save(out);
    out.PutBool(candidate_.has_value());
    if (candidate_) SaveChange(out, *candidate_);
    out.Put(candidateDifference_);
    out.Put(plateauEnd_);
    out.Put(searchFrom_);
    out.Put(static_cast<std::uint64_t>(changes_.size()));
    for (const GainChange& change : changes_) SaveChange(out, change);
}

bool LevelComparison::Load(ByteReader& in) {
    std::uint64_t rings = 0;
    if (!LoadGroup(in, all_) || !LoadGroup(in, unplaced_) || !in.Get(rings)) return false;
    if (rings != rings_.size()) return in.Fail();
    for (LevelGroup& ring : rings_) {
        if (!LoadGroup(in, ring)) return false;
    }
    for (auto& receiver : steps_) {
        if (!in.GetFixed<std::uint64_t>(receiver)) return false;
    }
    std::uint64_t minutes = 0;
    if (!in.GetIn<std::int64_t>(minute_, 0, kLatestSecond / kSecondsPerMinute) ||
        !thisMinute_.Load(in) || !in.GetCount(minutes, 2 * kWindow)) {
        return false;
    }
    minutes_.resize(static_cast<std::size_t>(minutes));
    for (LevelDeltas& minute : minutes_) {
        if (!minute.Load(in)) return false;
    }
    bool candidate = false;
    if (!in.GetBool(candidate)) return false;
    candidate_.reset();
    if (candidate && !LoadChange(in, candidate_.emplace())) return false;
    std::uint64_t changes = 0;
    if (!in.Get(candidateDifference_) || !in.GetIn<std::int64_t>(plateauEnd_, 0, kLatestSecond) ||
        !in.GetIn<std::int64_t>(searchFrom_, 0, kLatestSecond) ||
        !in.GetCount(changes, kMaxGainChanges, 3 * sizeof(std::int64_t))) {
        return false;
    }
    changes_.resize(static_cast<std::size_t>(changes));
    for (GainChange& change : changes_) {
        if (!LoadChange(in, change)) return false;
    }
    return true;
}

}  // namespace quorvex
