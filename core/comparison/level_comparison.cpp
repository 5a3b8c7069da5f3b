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
