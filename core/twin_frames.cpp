#include "core/twin_frames.h"

#include <algorithm>
#include <utility>

namespace quorvex {

TwinFrames::TwinFrames(Settled settled)
    : settled_(std::move(settled)), queue_(kTwinCapacity), index_(kIndexSize, kEmpty) {}

TwinFrames::Key TwinFrames::KeyOf(std::span<const std::uint8_t, 14> frame) {
    Key key;
    for (std::size_t i = 0; i < 8; ++i) key.high = (key.high << 8) | frame[i];
    for (std::size_t i = 8; i < 14; ++i) key.low = (key.low << 8) | frame[i];
    return key;
}

std::size_t TwinFrames::Home(const Key& key) {
    const std::uint64_t mixed =
        (key.high ^ (key.low * 0x9E3779B97F4A7C15ULL)) * 0xBF58476D1CE4E5B9ULL;
    return static_cast<std::size_t>(mixed >> 32) & (kIndexSize - 1);
}

void TwinFrames::Add(SourceId receiver, std::span<const std::uint8_t, 14> frame, double now,
                     const std::optional<TwinPlace>& place) {
    Expire(now);
    const Key key = KeyOf(frame);
    for (std::size_t i = Home(key); index_[i] != kEmpty; i = (i + 1) & (kIndexSize - 1)) {
        Waiting& twin = queue_[index_[i]];
        if (twin.key != key) continue;
        if (twin.receiver == receiver) return;
        twin.settled = true;
        Unindex(index_[i]);
        settled_(TwinVerdict::Both, twin.place ? twin.place : place);
        return;
    }
    if (count_ == kTwinCapacity) SettleOldest();
    const std::size_t slot = (head_ + count_) & (kTwinCapacity - 1);
    queue_[slot] = {key, now, place, receiver, false};
    ++count_;
    std::size_t i = Home(key);
    while (index_[i] != kEmpty) i = (i + 1) & (kIndexSize - 1);
    index_[i] = static_cast<std::uint32_t>(slot);
}

void TwinFrames::Expire(double now) {
    while (count_ > 0 && now - queue_[head_].time > kTwinWindowSeconds) SettleOldest();
}

void TwinFrames::SettleAll() {
    while (count_ > 0) SettleOldest();
}

void TwinFrames::Clear() {
    head_ = 0;
    count_ = 0;
    std::fill(index_.begin(), index_.end(), kEmpty);
}

void TwinFrames::SettleOldest() {
    Waiting& oldest = queue_[head_];
    if (!oldest.settled) {
        Unindex(static_cast<std::uint32_t>(head_));
        settled_(oldest.receiver == SourceId::Receiver1 ? TwinVerdict::Only1 : TwinVerdict::Only2,
                 oldest.place);
    }
    head_ = (head_ + 1) & (kTwinCapacity - 1);
    --count_;
}

// Removes a slot from the index by shifting back the entries its gap would cut off.
void TwinFrames::Unindex(std::uint32_t slot) {
    std::size_t hole = Home(queue_[slot].key);
    while (index_[hole] != slot) hole = (hole + 1) & (kIndexSize - 1);
    for (std::size_t next = (hole + 1) & (kIndexSize - 1); index_[next] != kEmpty;
         next = (next + 1) & (kIndexSize - 1)) {
        const std::size_t home = Home(queue_[index_[next]].key);
        // The entry may move into the hole unless its home lies cyclically in (hole, next].
        const bool stays =
            hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (stays) continue;
        index_[hole] = index_[next];
        hole = next;
    }
    index_[hole] = kEmpty;
}

}  // namespace quorvex
