#pragma once
// What a UDP datagram of receiver 2 contributes to its framer.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quorvex {

// Nothing while no measurement runs; else at most the datagram's first 1024 bytes, up to the
// first zero byte. Empty means nothing is to be fed. The view points into `datagram`.
inline constexpr std::size_t kUdpDatagramTextLimit = 1024;
std::string_view UdpDatagramText(std::span<const std::uint8_t> datagram, bool measurementRunning);

}  // namespace quorvex
