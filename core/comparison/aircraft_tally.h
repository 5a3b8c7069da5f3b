#pragma once
// Frames per aircraft address and per source: receiver 1, receiver 2 and the feed.
//
// The packet path calls CountFrame for every decoded frame and the feed scan CountFeedEntry
// for every "MSG," entry; the tick calls Tick once per second. Times are whole seconds passed
// in by the caller; nothing here reads a clock. The table is allocated for its bound when
// constructed, so counting for an address already known never allocates. User-interface
// thread only, like the rest of the packet path.

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "core/base/address_index.h"
#include "core/base/byte_codec.h"
#include "core/base/source_id.h"
#include "core/comparison/level_deltas.h"
#include "core/frames/frame_decoder.h"
#include "core/frames/reception.h"

namespace quorvex {

inline constexpr std::size_t kTallyMaxAddresses = 20000;
// An address that only a residual spells counts while the address was announced (DF 11, 17
// or 18 with a good parity) at most this many seconds before.
inline constexpr std::int64_t kTallyAnnouncedSeconds = 60;
inline constexpr std::size_t kTallyMinuteSlots = 60;
// An aircraft's median level difference is shown from this many compared twins on.
inline constexpr std::uint64_t kTallyMinDeltas = 5;

// What one source delivered for one address. `first` and `last` are meaningful only when
// `total` is not zero.
struct TallyFigures {
    std::uint32_t thisSecond = 0;  // since the last Tick
    // In the last 60 ticked seconds, not counting thisSecond; a second holds at most 65535.
    std::uint32_t lastMinute = 0;
    std::uint64_t total = 0;  // since Start (construction or Clear)
    std::int64_t first = 0;
    std::int64_t last = 0;
    // The mean signal level (dBFS) of the frames that carried one, over the minute under way
    // and the one before it; none without such frames.
    std::optional<float> meanLevel;

    bool operator==(const TallyFigures&) const = default;
};

struct TallyRow {
    std::uint32_t address = 0;
    std::array<TallyFigures, kSourceCount> sources{};
    // The aircraft's twins whose levels were compared, and the median of their deltas
    // (receiver 2 - receiver 1, dB) once there are kTallyMinDeltas.
    std::uint64_t comparedTwins = 0;
    std::optional<double> medianDeltaDb;

    const TallyFigures& operator[](SourceId source) const { return sources[SourceIndex(source)]; }
};

// The address field of one feed entry ("MSG,3,1,1,4840D6,..." or the same without "MSG,"):
// the fifth field of the line, six hexadecimal digits. Nothing when the field is missing or
// malformed.
std::optional<std::uint32_t> FeedEntryAddress(std::string_view entry);

class AircraftTally {
  public:
    // No row: the frame or entry was not counted for an aircraft.
    static constexpr std::uint32_t kNoRow = AddressIndex::kNoRow;

    // When `maxAddresses` are known and another one is heard, the least recently heard
    // 1/64 of them (at least one) make room at once.
    explicit AircraftTally(std::size_t maxAddresses = kTallyMaxAddresses);

    // Counts a decoded frame of receiver `source` for its address. A frame whose address comes from
    // the residual counts only for an address announced within kTallyAnnouncedSeconds; a
    // single corrupted frame thus never adds an aircraft. True when it was counted.
    // `levelDbfs` is the frame's signal level, NaN when the receiver measures none. `row`,
    // when given, is set to the aircraft's row (kNoRow when not counted), valid until the
    // next call that counts.
    bool CountFrame(SourceId source, const DecodeResult& result, std::int64_t nowSecond,
                    float levelDbfs = kNoLevel, std::uint32_t* row = nullptr);

    // Counts one feed entry for the address in its fifth field. True when it was counted.
    bool CountFeedEntry(std::string_view entry, std::int64_t nowSecond,
                        std::uint32_t* row = nullptr);
    // While on, what CountFrame and CountFeedEntry count goes into the totals (total, first,
    // last) alone: not into the second under way, its minute or the levels. For frames whose
    // time of arrival is not theirs (a backlog after the program stalled).
    void SetTotalsOnly(bool on) { totalsOnly_ = on; }

    // The aircraft of `row` was placed `rangeNm` from the station at `nowSecond`.
    void NoteFix(std::uint32_t row, double rangeNm, std::int64_t nowSecond);
    // The station moved: every fix's range is forgotten.
    void ForgetFixes();
    // Its latest fix's range, when one is at most kLevelFixMaxAgeSeconds old.
    std::optional<double> FixRange(std::uint32_t row, std::int64_t nowSecond) const;
    // One of its twins was compared on `cell` (LevelDeltas::Cell).
    void AddDelta(std::uint32_t row, std::uint16_t cell) { rows_[row].deltas.Add(cell); }

    // Closes the current second: every thisSecond moves into the minute window. A jump of
    // several seconds closes the seconds in between as empty ones; the first call only
    // closes the current second.
    void Tick(std::int64_t nowSecond);

    // Forgets every address; the allocation stays.
    void Clear();

    std::size_t size() const { return rows_.size(); }
    std::size_t maxAddresses() const { return maxAddresses_; }
    // Addresses forgotten to make room for others since construction or Clear (an address
    // heard again after it went counts again when it goes again).
    std::uint64_t dropped() const { return dropped_; }

    // The row of `address`, or an all-zero row when it is not known.
    TallyRow Row(std::uint32_t address) const;
    bool Contains(std::uint32_t address) const { return index_.Find(address) != kNoRow; }

    // Calls `visit(const TallyRow&)` for every known address, in no particular order.
    template <typename Visit>
    void ForEachRow(Visit&& visit) const {
        for (const Entry& entry : rows_) visit(MakeRow(entry));
    }

    // Calls `visit(const TallyFigures* figures)` (per source, kSourceCount of them, without
    // the mean level) for every address some source heard at `sinceSecond` or later, in no
    // particular order. Cheap where ForEachRow is not: the rows of addresses not heard since
    // are not read, and no level or median is worked out.
    template <typename Visit>
    void ForEachHeardSince(std::int64_t sinceSecond, Visit&& visit) const {
        std::array<TallyFigures, kSourceCount> figures;
        for (std::size_t row = 0; row < rows_.size(); ++row) {
            if (heard_[row].last < sinceSecond) continue;
            for (std::size_t s = 0; s < kSourceCount; ++s) {
                figures[s] = rows_[row].sources[s].figures;
            }
            visit(static_cast<const TallyFigures*>(figures.data()));
        }
    }

    // The saved state; Load takes it into a tally of the same bound, false when it is not
    // whole or not consistent.
    void Save(ByteWriter& out) const;
    bool Load(ByteReader& in);

  private:
    static constexpr std::int64_t kNever = INT64_MIN;

    struct SourceState {
        TallyFigures figures;
        std::array<std::uint16_t, kTallyMinuteSlots> minute{};  // seconds closed by Tick
        // Signal levels of two minutes: the one under way (levelMinute_) and the one before.
        std::array<float, 2> levelSum{};
        std::array<std::uint32_t, 2> levelCount{};
    };
    struct Entry {
        std::uint32_t address = 0;
        std::array<SourceState, kSourceCount> sources{};
        SparseDeltas deltas;
    };
    // Per row, apart from the rows so that eviction scans and the residual check read only
    // these.
    struct Heard {
        std::int64_t last = 0;            // any source
        std::int64_t announced = kNever;  // the latest DF 11, 17 or 18 with a good parity
        std::int64_t fixed = kNever;      // the latest fix placed from the station
        double fixRangeNm = 0;
    };

    std::uint32_t FindOrAdd(std::uint32_t address, std::int64_t nowSecond);
    void Count(std::uint32_t row, SourceId source, std::int64_t nowSecond,
               float levelDbfs = kNoLevel);
    void EvictOldest();
    void RebuildIndex();
    static TallyRow MakeRow(const Entry& entry);

    std::size_t maxAddresses_;
    std::vector<Entry> rows_;
    std::vector<Heard> heard_;  // per row
    AddressIndex index_;
    std::vector<std::int64_t> scratch_;  // eviction's copy of the times last heard
    std::size_t minuteCursor_ = 0;       // the slot the next Tick overwrites
    std::size_t levelMinute_ = 0;        // which of levelSum and levelCount is under way
    std::int64_t lastTick_ = kNever;
    std::uint64_t dropped_ = 0;
    bool totalsOnly_ = false;
};

}  // namespace quorvex
