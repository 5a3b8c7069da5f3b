#pragma once
// What a run accumulated, in buckets that add: one per wall-clock minute, joined into hours
// and the whole run by addition (counts and twins add; a sector's farthest range joins by
// the larger). The minute buckets of the last day are kept for a history, the hours for the
// whole run; the run's totals are the sum of the hours, the open hour and the minute under
// way.
//
// User-interface thread only, like the run that fills them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "core/base/byte_codec.h"
#include "core/base/source_id.h"
#include "core/comparison/coverage.h"
#include "core/comparison/coverage_stats.h"
#include "core/frames/df_group.h"
#include "core/run/measurement_state.h"

namespace quorvex {

// Rings of kRingNm up to the largest maximum range a station may set (1000 NM).
inline constexpr int kBucketRings = 20;
// 1 NM range bins up to the largest maximum range.
inline constexpr std::size_t kRangeBins = 1000;

// The ranges of the receivers' placed positions in 1 NM bins, for percentiles; a receiver's
// bins are allocated with its first position, so a bucket without positions costs nothing.
struct RangeBins {
    std::array<std::vector<std::uint32_t>, 2> counts;  // receivers 1, 2

    void Add(SourceId receiver, double rangeNm);
    RangeBins& operator+=(const RangeBins& other);
    // Bins not made and bins all zero are the same.
    bool operator==(const RangeBins& other) const;
};

struct RunBucket {
    std::int64_t startUnix = 0;  // the first second it covers
    std::int64_t seconds = 0;    // the ticked seconds it covers

    // Counted frames per receiver (1, 2) and DF group; the feed's MSG 5/6, 8 and others.
    std::array<std::array<std::uint64_t, kDfGroupCount>, 2> frames{};
    std::array<std::uint64_t, 3> feedLines{};
    // Frames and feed entries counted for an aircraft, per source.
    std::array<std::uint64_t, kSourceCount> tallied{};
    // Airborne positions placed from the station, per source and 10-degree sector, and the
    // farthest of them (0 where none).
    std::array<std::array<std::uint64_t, kSectorCount>, kSourceCount> positions{};
    std::array<std::array<float, kSectorCount>, kSourceCount> farthestNm{};
    RangeBins ranges;
    // Every counted frame the receivers delivered with its bytes: both, only one; and the
    // copies a receiver delivered again while the first waited.
    TwinCounts frameTwins;
    std::array<std::uint64_t, 2> duplicates{};
    // The airborne position frames among them, in all and per ring where placed.
    TwinCounts positionTwins;
    std::array<TwinCounts, kBucketRings> ringTwins{};
    // The signal levels of receivers 1 and 2 (dBFS), where frames carried one.
    std::array<LevelSum, 2> levels{};
    // Twins by their levels' verdict: compared, no level, strong, weak (LevelVerdict).
    std::array<std::uint64_t, 4> levelTwins{};

    RunBucket& operator+=(const RunBucket& other);
    bool operator==(const RunBucket&) const = default;
    void AddPosition(SourceId source, double rangeNm, double bearingDeg);
    std::uint64_t Frames(SourceId receiver) const;
    std::uint64_t Positions(SourceId source) const;
};

// The saved state of a bucket; false when it is not whole or not consistent.
void SaveBucket(ByteWriter& out, const RunBucket& bucket);
bool LoadBucket(ByteReader& in, RunBucket& bucket);

class TimeBuckets {
  public:
    static constexpr std::size_t kKeptMinutes = 1440;

    // Begins afresh with the minute of `unixSecond`.
    void Open(std::int64_t unixSecond);
    // What is heard now goes here.
    RunBucket& Current() { return current_; }
    const RunBucket& Current() const { return current_; }
    // The second the run was counting has ended and `unixSecond` begins: the second is the
    // current minute's, and the minute closes when `unixSecond` lies in another. True when
    // a minute closed (Minutes().back()).
    bool Second(std::int64_t unixSecond);
    // A second that was not measured (the program stalled) has ended: as Second, but the
    // minute does not count it.
    bool Skip(std::int64_t unixSecond) { return MoveTo(unixSecond); }

    // Closed minutes of the last day, oldest first; closed hours; the hour under way (its
    // closed minutes).
    const std::deque<RunBucket>& Minutes() const { return minutes_; }
    const std::vector<RunBucket>& Hours() const { return hours_; }
    const RunBucket& OpenHour() const { return openHour_; }
    // The whole run: every hour, the open one and the minute under way.
    RunBucket Total() const;

    // The saved state: the minute under way, the open hour and the closed hours; not the
    // last day's closed minutes, which only say what the history already holds.
    void Save(ByteWriter& out) const;
    bool Load(ByteReader& in);
    // A session continued at `unixSecond` from its saved state: the saved minute closes
    // when `unixSecond` lies in another (true then, as Second says), and counting goes on
    // in the minute of `unixSecond` without the seconds in between.
    bool Resume(std::int64_t unixSecond) { return MoveTo(unixSecond); }

  private:
    // Counting goes on in the minute of `unixSecond`; true when the one before closed.
    bool MoveTo(std::int64_t unixSecond);
    void CloseMinute();
    static void Prepare(RunBucket& minute);

    RunBucket current_;
    RunBucket openHour_;
    bool hourOpen_ = false;
    std::deque<RunBucket> minutes_;
    std::vector<RunBucket> hours_;
};

}  // namespace quorvex
