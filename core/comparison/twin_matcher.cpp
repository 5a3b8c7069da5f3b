#include "core/comparison/twin_matcher.h"

#include <algorithm>

namespace quorvex {

TwinMatcher::TwinMatcher() : queue_(kTwinCapacity), index_(kIndexSize, kEmpty) {}

TwinMatcher::Waiting TwinMatcher::Wait(const Key& key, const Reception& reception,
                                       const TwinMark& mark) {
    Waiting waiting;
    waiting.key = key;
    waiting.steadySeconds = reception.arrival.steadySeconds;
    waiting.unixSecond = static_cast<std::uint32_t>(reception.arrival.unixSecond);
    waiting.levelDbfs = reception.levelDbfs;
    if (reception.receiverTime) waiting.receiverTime = *reception.receiverTime | kHasReceiverTime;
    if (reception.source == SourceId::Receiver2) waiting.flags |= kReceiver2;
    if (mark.positionFrame) waiting.flags |= kPositionFrame;
    if (mark.place) {
        waiting.flags |= kPlaced;
        waiting.rangeNm = mark.place->rangeNm;
        waiting.bearingDeg = mark.place->bearingDeg;
        if (mark.place->altitudeFt) {
            waiting.flags |= kHasAltitude;
            waiting.altitudeFt = *mark.place->altitudeFt;
        }
    }
    return waiting;
}

TwinCopy TwinMatcher::Waiting::Copy() const {
    TwinCopy copy;
    copy.levelDbfs = levelDbfs;
    if (receiverTime & kHasReceiverTime) copy.receiverTime = receiverTime & ~kHasReceiverTime;
    copy.arrival = {steadySeconds, static_cast<std::int64_t>(unixSecond)};
    return copy;
}

TwinMark TwinMatcher::Waiting::Mark() const {
    TwinMark mark;
    mark.positionFrame = (flags & kPositionFrame) != 0;
    if (flags & kPlaced) {
        mark.place = TwinPlace{rangeNm, bearingDeg, std::nullopt};
        if (flags & kHasAltitude) mark.place->altitudeFt = altitudeFt;
    }
    return mark;
}

TwinMatcher::Key TwinMatcher::KeyOf(std::span<const std::uint8_t> frame) {
    Key key;
    const std::size_t high = std::min<std::size_t>(frame.size(), 8);
    for (std::size_t i = 0; i < high; ++i) key.high = (key.high << 8) | frame[i];
    for (std::size_t i = high; i < frame.size(); ++i) key.low = (key.low << 8) | frame[i];
    if (frame.size() < 8) key.low = std::uint64_t{1} << 63;  // never a long frame's low part
    return key;
}

std::size_t TwinMatcher::Home(const Key& key) {
    const std::uint64_t mixed =
        (key.high ^ (key.low * 0x9E3779B97F4A7C15ULL)) * 0xBF58476D1CE4E5B9ULL;
    return static_cast<std::size_t>(mixed >> 32) & (kIndexSize - 1);
}

std::uint32_t TwinMatcher::Find(const Key& key) const {
    for (std::size_t i = Home(key); index_[i] != kEmpty; i = (i + 1) & (kIndexSize - 1)) {
        if (queue_[index_[i]].key == key) return index_[i];
    }
    return kNotFound;
}

void TwinMatcher::Insert(const Key& key, const Reception& reception, const TwinMark& mark) {
    const std::size_t slot = (head_ + count_) & (kTwinCapacity - 1);
    queue_[slot] = Wait(key, reception, mark);
    ++count_;
    ++waiting_;
    std::size_t i = Home(key);
    while (index_[i] != kEmpty) i = (i + 1) & (kIndexSize - 1);
    index_[i] = static_cast<std::uint32_t>(slot);
}

void TwinMatcher::Clear() {
    head_ = 0;
    count_ = 0;
    waiting_ = 0;
    std::fill(index_.begin(), index_.end(), kEmpty);
}

// Removes a slot from the index by shifting back the entries its gap would cut off.
void TwinMatcher::Unindex(std::uint32_t slot) {
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
