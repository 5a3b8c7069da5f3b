#include "platform/integer_text.h"

#include <charconv>
#include <climits>
#include <cstdint>

namespace quorvex::platform {

bool ParseInteger(std::string_view text, int& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("$")) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    std::uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc{} || end != text.data() + text.size()) return false;
    if (base == 16 && !negative && magnitude <= 0xFFFFFFFFu) {
        value = static_cast<int>(static_cast<std::uint32_t>(magnitude));
        return true;
    }
    const std::uint64_t limit = negative ? std::uint64_t{INT_MAX} + 1 : std::uint64_t{INT_MAX};
    if (magnitude > limit) return false;
    value = static_cast<int>(negative ? -static_cast<std::int64_t>(magnitude)
                                      : static_cast<std::int64_t>(magnitude));
    return true;
}

}  // namespace quorvex::platform
