#include "tools/sim/reference_parity.h"

namespace quorvex::sim {
namespace {

constexpr std::uint32_t kGenerator = 0x1FFF409;  // x^24 + ... + 1, 25 bits
constexpr std::uint32_t kGeneratorTop = 0x1000000;

}  // namespace

std::uint32_t ReferenceParity(std::span<const std::uint8_t> data) {
    if (data.size() != 4 && data.size() != 11) return 0;
    const std::size_t dataBits = data.size() * 8;
    std::uint32_t remainder = 0;
    // The data bits, most significant first, then 24 zero bits; whenever the remainder
    // reaches degree 24 the generator is subtracted (xor).
    for (std::size_t bit = 0; bit < dataBits + 24; ++bit) {
        const std::uint32_t next = bit < dataBits ? (data[bit / 8] >> (7 - bit % 8)) & 1u : 0u;
        remainder = (remainder << 1) | next;
        if (remainder & kGeneratorTop) remainder ^= kGenerator;
    }
    return remainder;
}

}  // namespace quorvex::sim
