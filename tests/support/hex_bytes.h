#pragma once
// Bytes from hexadecimal text, written here so test frames never go through the decoder's own
// conversion.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex::test {

inline std::vector<std::uint8_t> Bytes(std::string_view hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(
            static_cast<std::uint8_t>(std::stoul(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

}  // namespace quorvex::test
