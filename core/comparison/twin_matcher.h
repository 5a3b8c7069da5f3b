#pragma once
// Twins: the same transmission heard by both receivers. A counted frame (the same bytes, 56
// or 112 bits) that receiver 1 and receiver 2 both deliver at most kTwinWindowSeconds apart is
// one twin, "both", carrying both receptions; a frame whose twin does not come in that time
// is "only 1" or "only 2". Each frame waits for its twin in a first-in first-out table of
// kTwinCapacity frames with an index beside it, so nothing is allocated per frame; when the
// table is full (over 16,000 frames a second per receiver that the other does not hear) the
// oldest frame is settled early as heard by one receiver only.
//
// A frame that one receiver delivers again while its first copy waits is the same reception
// counted once: the copy is not matched and is counted apart (Duplicates). Times are the
// receptions' steady arrival seconds. Every frame added is settled exactly once (both, only
// one, or as a duplicate), except those Clear forgets. One thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/base/source_id.h"
#include "core/frames/reception.h"

namespace quorvex {

inline constexpr double kTwinWindowSeconds = 2.0;
inline constexpr std::size_t kTwinCapacity = 65536;  // a power of two

enum class TwinVerdict : std::uint8_t { Both, Only1, Only2 };

// Where a frame's position lies from the station.
struct TwinPlace {
    double rangeNm = 0;
    double bearingDeg = 0;
    std::optional<int> altitudeFt;
};

// What the coverage made of one copy: an airborne position frame (whose twins it counts),
// placed from the station when its position is known.
struct TwinMark {
    bool positionFrame = false;
    std::optional<TwinPlace> place;
};

// One receiver's copy of a settled frame.
struct TwinCopy {
    float levelDbfs = kNoLevel;
    std::optional<std::uint64_t> receiverTime;
    ArrivalTime arrival;
};

struct Twin {
    TwinVerdict verdict = TwinVerdict::Both;
    // Receiver 1's and receiver 2's copies; an "only" frame has one.
    std::array<std::optional<TwinCopy>, 2> copies;
    // The first copy's mark, its place that of the first copy that gave one.
    TwinMark mark;
};

class TwinMatcher {
  public:
    TwinMatcher();

    // A counted frame of receiver 1 or 2 with its bytes, at its steady arrival (not before
    // the previous call's); settles first the frames that waited longer than the window.
    // `settled(const Twin&)` is called for every frame settled meanwhile. False when the
    // frame is not taken: a copy of one that waits from the same receiver, a reception
    // without bytes, or the feed's.
    template <typename Settled>
    bool Add(const Reception& reception, const TwinMark& mark, Settled&& settled);
    // Settles the frames that waited longer than the window by `now`.
    template <typename Settled>
    void Expire(double now, Settled&& settled) {
        while (count_ > 0 && now - queue_[head_].steadySeconds > kTwinWindowSeconds) {
            SettleOldest(settled);
        }
    }
    // Settles every waiting frame as heard by one receiver only (the end of a run).
    template <typename Settled>
    void SettleAll(Settled&& settled) {
        while (count_ > 0) SettleOldest(settled);
    }
    // Calls `visit(const Twin&)` for every waiting frame as SettleAll would settle it, oldest
    // first, and leaves it waiting (a checkpoint of a run still going on).
    template <typename Visit>
    void ForEachWaiting(Visit&& visit) const {
        for (std::size_t i = 0, at = head_; i < count_; ++i, at = (at + 1) & (kTwinCapacity - 1)) {
            if (!(queue_[at].flags & kSettled)) visit(static_cast<const Twin&>(Alone(queue_[at])));
        }
    }
    // Forgets the waiting frames unsettled.
    void Clear();
    // The frames waiting for their twin.
    std::size_t waiting() const { return waiting_; }

  private:
    struct Key {
        std::uint64_t high = 0;  // bytes 0..7
        std::uint64_t low = 0;   // bytes 8..13; a 56-bit frame: its top bit alone
        friend bool operator==(const Key&, const Key&) = default;
    };
    // One cache line: what a copy and its mark need, packed.
    struct Waiting {
        Key key;
        double steadySeconds = 0;
        double rangeNm = 0;
        double bearingDeg = 0;
        std::uint64_t receiverTime = 0;  // kHasReceiverTime set when the copy had one
        float levelDbfs = kNoLevel;
        std::int32_t altitudeFt = 0;
        std::uint32_t unixSecond = 0;
        std::uint8_t flags = 0;

        TwinCopy Copy() const;
        TwinMark Mark() const;
        SourceId Receiver() const {
            return flags & kReceiver2 ? SourceId::Receiver2 : SourceId::Receiver1;
        }
    };
    static_assert(sizeof(Waiting) <= 64, "a waiting frame fills at most one cache line");
    static constexpr std::uint64_t kHasReceiverTime = std::uint64_t{1} << 63;
    enum Flag : std::uint8_t {
        kReceiver2 = 1,
        kSettled = 2,  // by its twin, while still in the queue
        kPositionFrame = 4,
        kPlaced = 8,
        kHasAltitude = 16,
    };
    static constexpr std::uint32_t kEmpty = UINT32_MAX;
    static constexpr std::size_t kIndexSize = 2 * kTwinCapacity;
    static constexpr std::uint32_t kNotFound = UINT32_MAX;

    static Key KeyOf(std::span<const std::uint8_t> frame);
    static std::size_t Home(const Key& key);
    static TwinCopy CopyOf(const Reception& reception) {
        return {reception.levelDbfs, reception.receiverTime, reception.arrival};
    }
    // A waiting frame settled as heard by its receiver only.
    static Twin Alone(const Waiting& waiting) {
        Twin twin;
        const SourceId receiver = waiting.Receiver();
        twin.verdict = receiver == SourceId::Receiver1 ? TwinVerdict::Only1 : TwinVerdict::Only2;
        twin.copies[SourceIndex(receiver)] = waiting.Copy();
        twin.mark = waiting.Mark();
        return twin;
    }
    static Waiting Wait(const Key& key, const Reception& reception, const TwinMark& mark);
    // The waiting slot that holds `key`, or kNotFound.
    std::uint32_t Find(const Key& key) const;
    void Insert(const Key& key, const Reception& reception, const TwinMark& mark);
    void Unindex(std::uint32_t slot);
    template <typename Settled>
    void SettleOldest(Settled& settled);

    std::vector<Waiting> queue_;        // kTwinCapacity, oldest at head_
    std::vector<std::uint32_t> index_;  // open addressing over queue slots
    std::size_t head_ = 0;
    std::size_t count_ = 0;    // queue slots in use, settled ones among them
    std::size_t waiting_ = 0;  // those not settled yet
};

template <typename Settled>
bool TwinMatcher::Add(const Reception& reception, const TwinMark& mark, Settled&& settled) {
    const auto bytes = reception.frame.bytes.view();
    if (bytes.empty() || reception.source == SourceId::Feed) return false;
    Expire(reception.arrival.steadySeconds, settled);
    const Key key = KeyOf(bytes);
    if (const std::uint32_t slot = Find(key); slot != kNotFound) {
        Waiting& first = queue_[slot];
        if (first.Receiver() == reception.source) return false;  // the same reception again
        first.flags |= kSettled;
        --waiting_;
        Unindex(slot);
        Twin twin;
        twin.copies[SourceIndex(first.Receiver())] = first.Copy();
        twin.copies[SourceIndex(reception.source)] = CopyOf(reception);
        twin.mark = first.Mark();
        if (!twin.mark.place) twin.mark.place = mark.place;
        settled(static_cast<const Twin&>(twin));
        return true;
    }
    if (count_ == kTwinCapacity) SettleOldest(settled);
    Insert(key, reception, mark);
    return true;
}

template <typename Settled>
void TwinMatcher::SettleOldest(Settled& settled) {
    const Waiting& oldest = queue_[head_];
    if (!(oldest.flags & kSettled)) {
        --waiting_;
        Unindex(static_cast<std::uint32_t>(head_));
        settled(static_cast<const Twin&>(Alone(oldest)));
    }
    head_ = (head_ + 1) & (kTwinCapacity - 1);
    --count_;
}

}  // namespace quorvex
