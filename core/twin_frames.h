#pragma once
// Which airborne position frames both receivers heard. A frame (the same 112 bits) that
// receiver 1 and receiver 2 both deliver at most kTwinWindowSeconds apart is "both"; one
// whose twin does not come in that time is "only 1" or "only 2". Each frame waits for its
// twin in a first-in first-out table of kTwinCapacity frames with an index beside it, so
// nothing is allocated per frame; when the table is full (over 8,000 position frames a second
// per receiver) the oldest frame is settled early as heard by one receiver only.
//
// A frame that one receiver delivers again while it waits is the same reception counted
// once: the copy is ignored. Times are steady seconds, passed in. One thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "core/source_id.h"

namespace quorvex {

inline constexpr double kTwinWindowSeconds = 2.0;
inline constexpr std::size_t kTwinCapacity = 16384;  // a power of two

enum class TwinVerdict : std::uint8_t { Both, Only1, Only2 };

// Where a frame's position lies from the station.
struct TwinPlace {
    double rangeNm = 0;
    double bearingDeg = 0;
    std::optional<int> altitudeFt;
};

class TwinFrames {
  public:
    // Receives every settled frame with its place: that of the first copy that gave one.
    using Settled = std::function<void(TwinVerdict, const std::optional<TwinPlace>&)>;

    explicit TwinFrames(Settled settled);

    // A frame of receiver 1 or 2 at `now` (not before the previous call's). Settles first
    // the frames that waited longer than the window.
    void Add(SourceId receiver, std::span<const std::uint8_t, 14> frame, double now,
             const std::optional<TwinPlace>& place);
    // Settles the frames that waited longer than the window by `now`.
    void Expire(double now);
    // Settles every waiting frame as heard by one receiver only (the end of a run).
    void SettleAll();
    // Forgets the waiting frames unsettled.
    void Clear();
    std::size_t waiting() const { return count_; }

  private:
    struct Key {
        std::uint64_t high = 0;  // bytes 0..7
        std::uint64_t low = 0;   // bytes 8..13
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct Waiting {
        Key key;
        double time = 0;
        std::optional<TwinPlace> place;
        SourceId receiver = SourceId::Receiver1;
        bool settled = false;  // by its twin, while still in the queue
    };
    static constexpr std::uint32_t kEmpty = UINT32_MAX;
    static constexpr std::size_t kIndexSize = 2 * kTwinCapacity;

    static Key KeyOf(std::span<const std::uint8_t, 14> frame);
    static std::size_t Home(const Key& key);
    void SettleOldest();
    void Unindex(std::uint32_t slot);

    Settled settled_;
    std::vector<Waiting> queue_;        // kTwinCapacity, oldest at head_
    std::vector<std::uint32_t> index_;  // open addressing over queue slots
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

}  // namespace quorvex
