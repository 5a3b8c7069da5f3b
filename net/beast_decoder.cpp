#include "net/beast_decoder.h"

#include <algorithm>
#include <cstring>

namespace quorvex::net {

namespace {

constexpr std::uint8_t kModeAC = '1';
constexpr std::uint8_t kModeSShort = '2';
constexpr std::uint8_t kModeSLong = '3';
constexpr std::uint8_t kStatus = '4';

}  // namespace

void BeastDecoder::Reset() {
    if (state_ != State::kBetween) Drop(raw_);
    state_ = State::kBetween;
    raw_ = 0;
    ready_ = false;
}

void BeastDecoder::Drop(std::uint64_t count) {
    if (count == 0) return;
    skippedBytes_ += count;
    if (!lost_) {
        lost_ = true;
        ++resyncs_;
    }
}

bool BeastDecoder::StartFrame(std::uint8_t type) {
    switch (type) {
        case kModeAC:
            need_ = kHeader + 2;
            break;
        case kModeSShort:
            need_ = kHeader + 7;
            break;
        case kModeSLong:
        case kStatus:
            need_ = kHeader + 14;
            break;
        default:
            return false;
    }
    type_ = type;
    have_ = 0;
    raw_ = 2;
    state_ = State::kBody;
    return true;
}

void BeastDecoder::Complete() {
    state_ = State::kBetween;
    raw_ = 0;
    lost_ = false;
    if (type_ != kModeSShort && type_ != kModeSLong) {
        ++otherFrames_;
        return;
    }
    std::uint64_t timestamp = 0;
    for (std::size_t i = 0; i < 6; ++i) timestamp = (timestamp << 8) | body_[i];
    frame_.bytes = std::span<const std::uint8_t>(body_ + kHeader, need_ - kHeader);
    frame_.timestamp = timestamp;
    frame_.signal = body_[6];
    ++frames_;
    ready_ = true;
}

const std::uint8_t* BeastDecoder::Advance(const std::uint8_t* at, const std::uint8_t* end) {
    while (at != end) {
        switch (state_) {
            case State::kBetween: {
                const void* found = std::memchr(at, kEscape, static_cast<std::size_t>(end - at));
                const std::uint8_t* next = found ? static_cast<const std::uint8_t*>(found) : end;
                Drop(static_cast<std::uint64_t>(next - at));
                if (next == end) return end;
                at = next + 1;
                raw_ = 1;
                state_ = State::kType;
                break;
            }
            case State::kType: {
                const std::uint8_t byte = *at++;
                if (byte == kEscape) {
                    Drop(1);  // the later 0x1A may start the frame
                } else if (!StartFrame(byte)) {
                    Drop(2);
                    raw_ = 0;
                    state_ = State::kBetween;
                }
                break;
            }
            case State::kBody: {
                // The plain bytes up to the next 0x1A or the frame's end, in one copy.
                const std::size_t wanted =
                    std::min(need_ - have_, static_cast<std::size_t>(end - at));
                const void* found = std::memchr(at, kEscape, wanted);
                const std::size_t plain =
                    found ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - at)
                          : wanted;
                std::memcpy(body_ + have_, at, plain);
                have_ += plain;
                raw_ += plain;
                at += plain;
                if (found) {
                    ++at;
                    ++raw_;
                    state_ = State::kBodyEscape;
                } else if (have_ == need_) {
                    Complete();
                    if (ready_) return at;
                }
                break;
            }
            case State::kBodyEscape: {
                const std::uint8_t byte = *at++;
                if (byte == kEscape) {
                    body_[have_++] = kEscape;
                    ++raw_;
                    state_ = State::kBody;
                    if (have_ == need_) {
                        Complete();
                        if (ready_) return at;
                    }
                } else {
                    // A lone 0x1A: the frame ends here, cut short; the 0x1A may start the next.
                    Drop(raw_ - 1);
                    if (!StartFrame(byte)) {
                        Drop(2);
                        raw_ = 0;
                        state_ = State::kBetween;
                    }
                }
                break;
            }
        }
    }
    return at;
}

}  // namespace quorvex::net
