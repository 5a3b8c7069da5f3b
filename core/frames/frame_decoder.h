#pragma once
// Decoding one packet of a receiver: counter prefix, length gate, parity residual, DF group.
//
// Stateless; called on the user-interface thread for every packet of receivers 1 and 2.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/frames/df_group.h"

namespace quorvex {

// A frame as text: 14 digits (56-bit frame) or 28 digits (112-bit frame). Fixed storage, so
// decoding a packet never allocates.
class FrameText {
  public:
    static constexpr std::size_t kCapacity = 28;

    FrameText() = default;
    explicit FrameText(std::string_view text) { Assign(text); }
    // Takes at most kCapacity characters, in place.
    void Assign(std::string_view text);

    std::string_view view() const { return {chars_, size_}; }
    std::size_t size() const { return size_; }
    char* data() { return chars_; }

  private:
    char chars_[kCapacity] = {};
    std::uint8_t size_ = 0;
};

// A frame's bytes: 7 (56-bit frame) or 14 (112-bit frame), or none. Fixed storage.
class FrameBytes {
  public:
    static constexpr std::size_t kCapacity = 14;

    std::span<const std::uint8_t> view() const { return {bytes_, size_}; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::uint8_t* data() { return bytes_; }
    void resize(std::size_t size) { size_ = static_cast<std::uint8_t>(size); }

  private:
    std::uint8_t bytes_[kCapacity] = {};
    std::uint8_t size_ = 0;
};

struct DecodeResult {
    FrameVerdict verdict = FrameVerdict::Dropped();
    // The frame after the residual step; the text a log line prints. Empty when the packet
    // was dropped for its length.
    FrameText frame;
    // The bytes `frame` spells, the residual in the last three: what readers of the frame's
    // fields (its address, its position) take. Empty when the packet was dropped, and when
    // with the CRC option off a digit after the first pair is no hexadecimal number.
    FrameBytes bytes;
};

// A pair of characters that is no hexadecimal number, as the conversion names it ("$G1").
struct BadHexPair {
    char pair[3] = {'$', 0, 0};
    std::string_view text() const { return {pair, 3}; }
};

// Decodes `packet` (the text between start character and ";"). With `crcOption` on the
// last six digits are replaced by the parity residual computed here. A pair that must be
// converted and is no hexadecimal number raises EConvertError ("'$G1' is not a valid
// integer value").
DecodeResult DecodeFrame(std::string_view packet, bool crcOption);

// The same decoding without an exception: the offending pair is returned instead, and
// `result` is then unspecified. The intake uses this, so a bad packet costs no unwinding.
std::optional<BadHexPair> TryDecodeFrame(std::string_view packet, bool crcOption,
                                         DecodeResult& result);

// Decodes a frame that arrived as bytes (7 or 14; any other count is dropped), such as a
// Beast receiver's: the residual is always computed, and the result is the one DecodeFrame
// gives for the same bytes as upper-case text with the CRC option on.
DecodeResult DecodeFrameBytes(std::span<const std::uint8_t> bytes);

// A frame of 14 or 28 characters with its last six digits replaced by the residual: the
// received parity xor the parity computed over the data digits. Raises EConvertError for a
// pair that is no hexadecimal number, std::invalid_argument for any other length.
FrameText ApplyResidual(std::string_view frame);

}  // namespace quorvex
