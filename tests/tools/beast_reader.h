#pragma once
// A reader of Beast frames for the tests, written apart from the program's decoder: each
// frame starts with an undoubled 0x1A; after it every 0x1A must come doubled.

#include <cstdint>
#include <string_view>
#include <vector>

namespace quorvex::test {

struct BeastRecord {
    char type = 0;
    std::uint64_t counter = 0;
    std::uint8_t level = 0;
    std::vector<std::uint8_t> frame;
};

// The whole frames in `bytes`; `rest` gets the offset after the last of them. False at a
// byte that fits no frame.
inline bool ReadBeast(std::string_view bytes, std::vector<BeastRecord>& out, std::size_t& rest) {
    std::size_t at = 0;
    rest = 0;
    while (at < bytes.size()) {
        if (static_cast<std::uint8_t>(bytes[at]) != 0x1A) return false;
        if (at + 1 >= bytes.size()) return true;
        BeastRecord record;
        record.type = bytes[at + 1];
        if (record.type != '2' && record.type != '3') return false;
        std::vector<std::uint8_t> body;
        const std::size_t length = 6 + 1 + (record.type == '2' ? 7 : 14);
        std::size_t i = at + 2;
        for (; body.size() < length && i < bytes.size(); ++i) {
            const auto byte = static_cast<std::uint8_t>(bytes[i]);
            if (byte == 0x1A) {
                if (i + 1 >= bytes.size()) break;
                if (static_cast<std::uint8_t>(bytes[++i]) != 0x1A) return false;
            }
            body.push_back(byte);
        }
        if (body.size() < length) return true;  // the rest is yet to come
        for (int k = 0; k < 6; ++k) record.counter = (record.counter << 8) | body[k];
        record.level = body[6];
        record.frame.assign(body.begin() + 7, body.end());
        out.push_back(record);
        at = rest = i;
    }
    return true;
}

}  // namespace quorvex::test
