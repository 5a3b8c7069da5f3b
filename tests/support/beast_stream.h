#pragma once
// Mode S frames as a decoder's Beast output sends them: 0x1A, the type ('2' short, '3'
// long), a 6-byte timestamp, the signal level byte and the frame, every 0x1A after the type
// doubled.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvex::test {

inline std::string BeastFrame(std::string_view hex, std::uint64_t timestamp, std::uint8_t signal) {
    std::string body;
    for (int shift = 40; shift >= 0; shift -= 8) {
        body += static_cast<char>((timestamp >> shift) & 0xFF);
    }
    body += static_cast<char>(signal);
    const auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        body += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
    }
    std::string frame = "\x1A";
    frame += hex.size() == 14 ? '2' : '3';
    for (const char byte : body) {
        frame += byte;
        if (byte == '\x1A') frame += byte;
    }
    return frame;
}

}  // namespace quorvex::test
