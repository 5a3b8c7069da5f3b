#pragma once
// BeastDecoder: cuts the Beast binary stream of a Mode S receiver's TCP output (port 30005 by
// convention) into frames and hands out each Mode S frame's bytes.
//
// A frame on the wire: 0x1A, a type byte, a 6-byte big-endian timestamp (a 12 MHz counter),
// one byte of signal level, then the payload: type '1' Mode A/C (2 bytes), '2' Mode S short
// (7 bytes), '3' Mode S long (14 bytes), '4' status (14 bytes). After the type byte every
// 0x1A is sent twice and stands for one. Only types '2' and '3' are handed out; '1' and '4'
// are read and dropped.
//
// Garbage (bytes before a frame start, an unknown type byte, a lone 0x1A inside a frame
// followed by neither 0x1A nor a type byte) is dropped up to the next 0x1A that starts a
// frame; a lone 0x1A followed by a type byte cuts the frame in progress and starts the next
// one, so the good frame after a truncated one is kept.
//
// The decoder holds its state across Feed calls: a stream decodes the same whatever the
// chunks it arrives in, a doubled 0x1A cut in two included. Cost: linear in the bytes fed,
// no allocation at all (the frame under way sits in a fixed buffer).
//
// Threads: no locking; one thread at a time per decoder. Qt-free.

#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvex::net {

class BeastDecoder {
  public:
    static constexpr std::uint8_t kEscape = 0x1A;

    struct Frame {
        // The Mode S frame, 7 bytes (short) or 14 (long), escapes undone. Points into the
        // decoder: valid until the handler returns.
        std::span<const std::uint8_t> bytes;
        std::uint64_t timestamp;  // 48 bits, 12 MHz counter
        std::uint8_t signal;      // the level byte (LevelFromBeastByte, core/frames/reception.h)
    };

    // Decodes `bytes` and calls onFrame(const Frame&) for every Mode S frame completed, in
    // stream order. The handler must not call Feed or Reset on this decoder.
    template <typename Visit>
    void Feed(std::span<const std::uint8_t> bytes, Visit&& onFrame) {
        const std::uint8_t* at = bytes.data();
        const std::uint8_t* const end = at + bytes.size();
        while (at != end) {
            at = Advance(at, end);
            if (ready_) {
                ready_ = false;
                onFrame(static_cast<const Frame&>(frame_));
            }
        }
    }

    // Forgets a frame in progress (e.g. on a new connection); the counters stay.
    void Reset();

    // Mode S frames handed out.
    std::uint64_t Frames() const { return frames_; }
    // Complete Mode A/C and status frames, read and dropped.
    std::uint64_t OtherFrames() const { return otherFrames_; }
    // How often the decoder lost the frame boundaries: every run of dropped bytes between two
    // complete frames counts once (the stream's first bytes before a frame start included).
    std::uint64_t Resyncs() const { return resyncs_; }
    // Bytes that belonged to no complete frame, as received (a doubled 0x1A counts 2). A
    // frame still in progress is not counted yet.
    std::uint64_t SkippedBytes() const { return skippedBytes_; }

  private:
    enum class State : std::uint8_t {
        kBetween,    // looking for 0x1A
        kType,       // after a 0x1A between frames: a type byte or 0x1A follows
        kBody,       // inside a frame
        kBodyEscape  // inside a frame after a 0x1A: its double or the next frame's type
    };

    // Decodes from `at` on until a Mode S frame is complete (then sets ready_ and returns
    // right after it) or the input ends; returns where it stopped.
    const std::uint8_t* Advance(const std::uint8_t* at, const std::uint8_t* end);
    // Enters a frame of a known type byte (the 0x1A before it already taken).
    bool StartFrame(std::uint8_t type);
    void Drop(std::uint64_t count);
    void Complete();

    static constexpr std::size_t kHeader = 7;  // timestamp and signal
    static constexpr std::size_t kMaxBody = kHeader + 14;

    State state_ = State::kBetween;
    std::uint8_t type_ = 0;
    std::size_t have_ = 0;  // body bytes decoded
    std::size_t need_ = 0;  // body length of this type
    std::size_t raw_ = 0;   // bytes received for this frame, its 0x1A and type included
    bool lost_ = false;     // bytes have been dropped since the last complete frame
    bool ready_ = false;
    std::uint8_t body_[kMaxBody] = {};
    Frame frame_{};

    std::uint64_t frames_ = 0;
    std::uint64_t otherFrames_ = 0;
    std::uint64_t resyncs_ = 0;
    std::uint64_t skippedBytes_ = 0;
};

}  // namespace quorvex::net
