#include "core/run/time_buckets.h"

#include <algorithm>

namespace quorvex {

namespace {

constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kHour = 3600;

std::int64_t Floor(std::int64_t second, std::int64_t span) {
    const std::int64_t q = second / span;
    return (second % span < 0 ? q - 1 : q) * span;
}

}  // namespace

void RangeBins::Add(SourceId receiver, double rangeNm) {
    std::vector<std::uint32_t>& bins = counts[SourceIndex(receiver)];
    if (bins.empty()) bins.assign(kRangeBins, 0);
    ++bins[std::min(static_cast<std::size_t>(std::max(rangeNm, 0.0)), kRangeBins - 1)];
}

RangeBins& RangeBins::operator+=(const RangeBins& other) {
    for (std::size_t r = 0; r < counts.size(); ++r) {
        if (other.counts[r].empty()) continue;
        if (counts[r].empty()) counts[r].assign(kRangeBins, 0);
        for (std::size_t bin = 0; bin < kRangeBins; ++bin) counts[r][bin] += other.counts[r][bin];
    }
    return *this;
}

bool RangeBins::operator==(const RangeBins& other) const {
    const auto zero = [](const std::vector<std::uint32_t>& bins) {
        return std::all_of(bins.begin(), bins.end(), [](std::uint32_t n) { return n == 0; });
    };
    for (std::size_t r = 0; r < counts.size(); ++r) {
        const auto& mine = counts[r];
        const auto& theirs = other.counts[r];
        if (mine.empty() || theirs.empty() ? !(zero(mine) && zero(theirs)) : mine != theirs) {
            return false;
        }
    }
    return true;
}

RunBucket& RunBucket::operator+=(const RunBucket& other) {
    seconds += other.seconds;
    for (std::size_t r = 0; r < frames.size(); ++r) {
        for (std::size_t g = 0; g < frames[r].size(); ++g) frames[r][g] += other.frames[r][g];
        duplicates[r] += other.duplicates[r];
        levels[r].Sum += other.levels[r].Sum;
        levels[r].Count += other.levels[r].Count;
        levels[r].Strong += other.levels[r].Strong;
    }
    for (std::size_t i = 0; i < feedLines.size(); ++i) feedLines[i] += other.feedLines[i];
    for (std::size_t i = 0; i < levelTwins.size(); ++i) levelTwins[i] += other.levelTwins[i];
    for (std::size_t s = 0; s < kSourceCount; ++s) {
        tallied[s] += other.tallied[s];
        for (std::size_t k = 0; k < static_cast<std::size_t>(kSectorCount); ++k) {
            positions[s][k] += other.positions[s][k];
            farthestNm[s][k] = std::max(farthestNm[s][k], other.farthestNm[s][k]);
        }
    }
    ranges += other.ranges;
    frameTwins += other.frameTwins;
    positionTwins += other.positionTwins;
    for (std::size_t ring = 0; ring < ringTwins.size(); ++ring) {
        ringTwins[ring] += other.ringTwins[ring];
    }
    return *this;
}

void RunBucket::AddPosition(SourceId source, double rangeNm, double bearingDeg) {
    const auto s = SourceIndex(source);
    const auto sector = static_cast<std::size_t>(SectorOf(bearingDeg));
    ++positions[s][sector];
    farthestNm[s][sector] = std::max(farthestNm[s][sector], static_cast<float>(rangeNm));
    if (source != SourceId::Feed) ranges.Add(source, rangeNm);
}

std::uint64_t RunBucket::Frames(SourceId receiver) const {
    const auto& groups = frames[SourceIndex(receiver)];
    std::uint64_t sum = 0;
    for (const std::uint64_t n : groups) sum += n;
    return sum;
}

std::uint64_t RunBucket::Positions(SourceId source) const {
    std::uint64_t sum = 0;
    for (const std::uint64_t n : positions[SourceIndex(source)]) sum += n;
    return sum;
}

void TimeBuckets::Open(std::int64_t unixSecond) {
    current_ = RunBucket{};
    current_.startUnix = Floor(unixSecond, kMinute);
    Prepare(current_);
    openHour_ = RunBucket{};
    hourOpen_ = false;
    minutes_.clear();
    hours_.clear();
}

bool TimeBuckets::Second(std::int64_t unixSecond) {
    ++current_.seconds;
    return MoveTo(unixSecond);
}

bool TimeBuckets::MoveTo(std::int64_t unixSecond) {
    const std::int64_t minute = Floor(unixSecond, kMinute);
    if (minute == current_.startUnix) return false;
    CloseMinute();
    current_ = RunBucket{};
    current_.startUnix = minute;
    Prepare(current_);
    return true;
}

void TimeBuckets::Prepare(RunBucket& minute) {
    // The range bins are made at the tick, not by the frame that places the first position.
    for (auto& bins : minute.ranges.counts) bins.assign(kRangeBins, 0);
}

void TimeBuckets::CloseMinute() {
    // A minute without a receiver's positions keeps no bins for it.
    for (auto& bins : current_.ranges.counts) {
        if (std::all_of(bins.begin(), bins.end(), [](std::uint32_t n) { return n == 0; })) {
            std::vector<std::uint32_t>().swap(bins);
        }
    }
    const std::int64_t hour = Floor(current_.startUnix, kHour);
    if (hourOpen_ && hour != openHour_.startUnix) {
        hours_.push_back(openHour_);
        hourOpen_ = false;
    }
    if (!hourOpen_) {
        openHour_ = RunBucket{};
        openHour_.startUnix = hour;
        hourOpen_ = true;
    }
    openHour_ += current_;
    minutes_.push_back(current_);
    if (minutes_.size() > kKeptMinutes) minutes_.pop_front();
}

RunBucket TimeBuckets::Total() const {
    RunBucket total;
    for (const RunBucket& hour : hours_) total += hour;
    if (hourOpen_) total += openHour_;
    total += current_;
    total.startUnix = hours_.empty() ? (hourOpen_ ? openHour_.startUnix : current_.startUnix)
                                     : hours_.front().startUnix;
    return total;
}

}  // namespace quorvex

namespace quorvex {
namespace {

// Seconds of saved state lie in [0, kLatestSecond]: beyond any clock, far below overflow.
constexpr std::int64_t kLatestSecond = std::int64_t{1} << 40;
// A run of a hundred years.
constexpr std::size_t kMaxHours = 24 * 366 * 100;

template <typename T, std::size_t N, std::size_t M>
void PutTable(ByteWriter& out, const std::array<std::array<T, N>, M>& table) {
    for (const auto& row : table) out.PutFixed<T>(row);
}

template <typename T, std::size_t N, std::size_t M>
bool GetTable(ByteReader& in, std::array<std::array<T, N>, M>& table) {
    for (auto& row : table) {
        if (!in.GetFixed<T>(row)) return false;
    }
    return true;
}

}  // namespace

void SaveBucket(ByteWriter& out, const RunBucket& bucket) {
    out.Put(bucket.startUnix);
    out.Put(bucket.seconds);
    PutTable(out, bucket.frames);
    out.PutFixed<std::uint64_t>(bucket.feedLines);
    out.PutFixed<std::uint64_t>(bucket.tallied);
    PutTable(out, bucket.positions);
    PutTable(out, bucket.farthestNm);
    for (const auto& bins : bucket.ranges.counts) {
        out.PutBool(!bins.empty());
        if (!bins.empty()) out.PutSparse(bins);
    }
    SaveTwinCounts(out, bucket.frameTwins);
    out.PutFixed<std::uint64_t>(bucket.duplicates);
    SaveTwinCounts(out, bucket.positionTwins);
    for (const TwinCounts& ring : bucket.ringTwins) SaveTwinCounts(out, ring);
    for (const LevelSum& level : bucket.levels) {
        out.Put(level.Sum);
        out.Put(level.Count);
        out.Put(level.Strong);
    }
    out.PutFixed<std::uint64_t>(bucket.levelTwins);
}

bool LoadBucket(ByteReader& in, RunBucket& bucket) {
    bucket = RunBucket{};
    if (!in.GetIn<std::int64_t>(bucket.startUnix, 0, kLatestSecond) ||
        !in.GetIn<std::int64_t>(bucket.seconds, 0, kLatestSecond) || !GetTable(in, bucket.frames) ||
        !in.GetFixed<std::uint64_t>(bucket.feedLines) ||
        !in.GetFixed<std::uint64_t>(bucket.tallied) || !GetTable(in, bucket.positions) ||
        !GetTable(in, bucket.farthestNm)) {
        return false;
    }
    for (auto& bins : bucket.ranges.counts) {
        bool made = false;
        if (!in.GetBool(made)) return false;
        if (made) bins.assign(kRangeBins, 0);
        if (made && !in.GetSparse(bins)) return false;
    }
    if (!LoadTwinCounts(in, bucket.frameTwins) || !in.GetFixed<std::uint64_t>(bucket.duplicates) ||
        !LoadTwinCounts(in, bucket.positionTwins)) {
        return false;
    }
    for (TwinCounts& ring : bucket.ringTwins) {
        if (!LoadTwinCounts(in, ring)) return false;
    }
    for (LevelSum& level : bucket.levels) {
        if (!in.Get(level.Sum) || !in.Get(level.Count) || !in.Get(level.Strong)) return false;
    }
    return in.GetFixed<std::uint64_t>(bucket.levelTwins);
}

void TimeBuckets::Save(ByteWriter& out) const {
    SaveBucket(out, current_);
    out.PutBool(hourOpen_);
    SaveBucket(out, openHour_);
    out.Put(static_cast<std::uint64_t>(hours_.size()));
    for (const RunBucket& hour : hours_) SaveBucket(out, hour);
}

bool TimeBuckets::Load(ByteReader& in) {
    Open(0);
    std::uint64_t hours = 0;
    if (!LoadBucket(in, current_) || !in.GetBool(hourOpen_) || !LoadBucket(in, openHour_) ||
        !in.GetCount(hours, kMaxHours, 64)) {
        return false;
    }
    hours_.resize(static_cast<std::size_t>(hours));
    for (RunBucket& hour : hours_) {
        if (!LoadBucket(in, hour)) return false;
    }
    // Counting goes on in the minute under way: its bins are there before a position.
    if (current_.startUnix % kMinute != 0) return in.Fail();
    for (auto& bins : current_.ranges.counts) {
        if (bins.empty()) bins.assign(kRangeBins, 0);
    }
    return true;
}

}  // namespace quorvex
