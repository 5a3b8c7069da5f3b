#include "core/frame_decoder.h"

#include <algorithm>
#include <stdexcept>

#include "core/convert_error.h"
#include "core/hex.h"
#include "core/mode_s_parity.h"

namespace quorvex {
namespace {

constexpr std::size_t kShortFrame = 14;
constexpr std::size_t kLongFrame = 28;
constexpr std::size_t kCounterDigits = 12;  // the 48-bit counter of the "@" format
constexpr std::size_t kParityDigits = 6;

BadHexPair MakeBadPair(char high, char low) {
    BadHexPair bad;
    bad.pair[1] = high;
    bad.pair[2] = low;
    return bad;
}

// Converts every pair of a 14- or 28-digit frame and writes the residual into its last six
// digits. The first pair (from the left) that is no hexadecimal number is returned.
std::optional<BadHexPair> TryApplyResidual(std::string_view frame, FrameText& out) {
    std::uint8_t bytes[kLongFrame / 2];
    const std::size_t count = frame.size() / 2;
    for (std::size_t i = 0; i < count; ++i) {
        const int value = HexPairValue(frame[2 * i], frame[2 * i + 1]);
        if (value < 0) return MakeBadPair(frame[2 * i], frame[2 * i + 1]);
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    const std::size_t dataBytes = count - 3;
    const std::uint32_t received = (std::uint32_t{bytes[dataBytes]} << 16) |
                                   (std::uint32_t{bytes[dataBytes + 1]} << 8) |
                                   bytes[dataBytes + 2];
    const std::uint32_t residual =
        received ^ ModeSParityValue(std::span<const std::uint8_t>(bytes, dataBytes));

    out = FrameText(frame);
    char* parity = out.data() + frame.size() - kParityDigits;
    for (std::size_t i = 0; i < kParityDigits; ++i) {
        parity[kParityDigits - 1 - i] = kUpperHexDigits[(residual >> (4 * i)) & 0xF];
    }
    return std::nullopt;
}

FrameVerdict Classify(std::string_view frame, int df) {
    switch (df) {
        case 0:
            return FrameVerdict::Counted(DfGroup::Df0);
        case 4:
        case 5:
            return FrameVerdict::Counted(DfGroup::Df4_5);
        case 11:
            // An acquisition squitter or all-call reply is short; a long DF 11 is no frame of
            // interest. The interrogator code sits in the low bits of the residual, so only
            // its first four digits must be zero; the last digit tells a nonzero code.
            if (frame.size() != kShortFrame) return FrameVerdict::Dropped();
            if (frame.substr(8, 4) != "0000") return FrameVerdict::CrcFailed();
            return FrameVerdict::Counted(frame[13] == '0' ? DfGroup::Df11 : DfGroup::Df11Ic);
        case 17:
        case 18:
        case 19:
            // Extended squitters: the whole residual must be zero. A short frame has no
            // digits from position 23 on and so always fails.
            if (frame.size() < 22 || frame.substr(22, 6) != "000000") {
                return FrameVerdict::CrcFailed();
            }
            return FrameVerdict::Counted(DfGroup::Df17_19);
        case 20:
        case 21:
            return FrameVerdict::Counted(DfGroup::Df20_21);
        default:
            return FrameVerdict::InvalidDf();
    }
}

}  // namespace

FrameText::FrameText(std::string_view text) {
    size_ = static_cast<std::uint8_t>(std::min(text.size(), kCapacity));
    std::copy_n(text.data(), size_, chars_);
}

std::optional<BadHexPair> TryDecodeFrame(std::string_view packet, bool crcOption,
                                         DecodeResult& result) {
    // The "@" format prefixes a 12-digit counter; it is recognised by length alone.
    if (packet.size() == kCounterDigits + kShortFrame ||
        packet.size() == kCounterDigits + kLongFrame) {
        packet.remove_prefix(kCounterDigits);
    }
    if (packet.size() != kShortFrame && packet.size() != kLongFrame) {
        result = DecodeResult{};
        return std::nullopt;
    }
    if (crcOption) {
        if (auto bad = TryApplyResidual(packet, result.frame)) return bad;
    } else {
        result.frame = FrameText(packet);
    }
    const std::string_view frame = result.frame.view();
    const int firstByte = HexPairValue(frame[0], frame[1]);
    if (firstByte < 0) return MakeBadPair(frame[0], frame[1]);
    result.verdict = Classify(frame, firstByte >> 3);
    return std::nullopt;
}

DecodeResult DecodeFrame(std::string_view packet, bool crcOption) {
    DecodeResult result;
    if (auto bad = TryDecodeFrame(packet, crcOption, result)) throw EConvertError(bad->text());
    return result;
}

FrameText ApplyResidual(std::string_view frame) {
    if (frame.size() != kShortFrame && frame.size() != kLongFrame) {
        throw std::invalid_argument("ApplyResidual needs a frame of 14 or 28 characters");
    }
    FrameText out;
    if (auto bad = TryApplyResidual(frame, out)) throw EConvertError(bad->text());
    return out;
}

}  // namespace quorvex
