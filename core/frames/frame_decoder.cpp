#include "core/frames/frame_decoder.h"

#include <algorithm>
#include <stdexcept>

#include "core/base/convert_error.h"
#include "core/base/hex.h"
#include "core/frames/mode_s_parity.h"

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

// The residual of a frame's bytes (7 or 14): the received parity, its last three bytes,
// xor the parity computed over the rest.
std::uint32_t Residual(std::span<const std::uint8_t> bytes) {
    const std::size_t dataBytes = bytes.size() - 3;
    const std::uint32_t received = (std::uint32_t{bytes[dataBytes]} << 16) |
                                   (std::uint32_t{bytes[dataBytes + 1]} << 8) |
                                   bytes[dataBytes + 2];
    return received ^ ModeSParityValue(bytes.first(dataBytes));
}

// Writes the residual over the parity of a frame's bytes and over its last six digits.
void WriteResidual(FrameBytes& bytes, FrameText& text) {
    const std::uint32_t residual = Residual(bytes.view());
    std::uint8_t* parity = bytes.data() + bytes.size() - 3;
    parity[0] = static_cast<std::uint8_t>(residual >> 16);
    parity[1] = static_cast<std::uint8_t>(residual >> 8);
    parity[2] = static_cast<std::uint8_t>(residual);
    char* digits = text.data() + text.size() - kParityDigits;
    for (std::size_t i = 0; i < kParityDigits; ++i) {
        digits[kParityDigits - 1 - i] = kUpperHexDigits[(residual >> (4 * i)) & 0xF];
    }
}

// Converts the pairs of a 14- or 28-digit frame into `out`. The first pair (from the left)
// that is no hexadecimal number is returned; `out` is then empty.
std::optional<BadHexPair> ConvertPairs(std::string_view frame, FrameBytes& out) {
    const std::size_t count = frame.size() / 2;
    std::uint8_t* bytes = out.data();
    for (std::size_t i = 0; i < count; ++i) {
        const int value = HexPairValue(frame[2 * i], frame[2 * i + 1]);
        if (value < 0) {
            out.resize(0);
            return MakeBadPair(frame[2 * i], frame[2 * i + 1]);
        }
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    out.resize(count);
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

void FrameText::Assign(std::string_view text) {
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
    const std::optional<BadHexPair> bad = ConvertPairs(packet, result.bytes);
    if (crcOption) {
        // The residual needs every pair.
        if (bad) return bad;
        result.frame.Assign(packet);
        WriteResidual(result.bytes, result.frame);
    } else {
        // Without the option only the first pair must be a number. A later bad pair leaves
        // the frame without bytes; its verdict is what its text says.
        if (bad && HexPairValue(packet[0], packet[1]) < 0) return bad;
        result.frame.Assign(packet);
    }
    const std::string_view frame = result.frame.view();
    result.verdict = Classify(frame, HexPairValue(frame[0], frame[1]) >> 3);
    return std::nullopt;
}

DecodeResult DecodeFrameBytes(std::span<const std::uint8_t> bytes) {
    DecodeResult result;
    if (bytes.size() != kShortFrame / 2 && bytes.size() != kLongFrame / 2) return result;
    std::copy(bytes.begin(), bytes.end(), result.bytes.data());
    result.bytes.resize(bytes.size());
    char digits[kLongFrame];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        digits[2 * i] = kUpperHexDigits[bytes[i] >> 4];
        digits[2 * i + 1] = kUpperHexDigits[bytes[i] & 0xF];
    }
    result.frame.Assign(std::string_view(digits, 2 * bytes.size()));
    WriteResidual(result.bytes, result.frame);
    result.verdict = Classify(result.frame.view(), bytes[0] >> 3);
    return result;
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
    FrameText out(frame);
    FrameBytes bytes;
    if (auto bad = ConvertPairs(frame, bytes)) throw EConvertError(bad->text());
    WriteResidual(bytes, out);
    return out;
}

}  // namespace quorvex
