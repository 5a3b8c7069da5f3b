#include "core/mode_s_address.h"

#include "core/hex.h"

namespace quorvex {
namespace {

// Six hexadecimal digits as a number, or -1.
std::int32_t SixDigits(std::string_view digits) {
    std::int32_t value = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const int digit = HexDigitValue(digits[i]);
        if (digit < 0) return -1;
        value = (value << 4) | digit;
    }
    return value;
}

}  // namespace

std::optional<FrameAddress> FrameAddressOf(std::string_view frame) {
    if (frame.size() != 14 && frame.size() != 28) return std::nullopt;
    const int firstByte = HexPairValue(frame[0], frame[1]);
    if (firstByte < 0) return std::nullopt;
    bool announced = false;
    switch (firstByte >> 3) {
        case 11:
        case 17:
        case 18:
            announced = true;
            break;
        case 0:
        case 4:
        case 5:
        case 16:
        case 20:
        case 21:
            break;
        default:
            return std::nullopt;
    }
    const std::int32_t value =
        SixDigits(announced ? frame.substr(2) : frame.substr(frame.size() - 6));
    if (value < 0) return std::nullopt;
    return FrameAddress{static_cast<std::uint32_t>(value), announced};
}

std::optional<FrameAddress> AddressOf(const DecodeResult& result) {
    if (!result.verdict.IsCounted()) return std::nullopt;
    return FrameAddressOf(result.frame.view());
}

}  // namespace quorvex
