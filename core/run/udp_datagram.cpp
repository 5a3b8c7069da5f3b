#include "core/run/udp_datagram.h"

#include <algorithm>

namespace quorvex {

std::string_view UdpDatagramText(std::span<const std::uint8_t> datagram, bool measurementRunning) {
    if (!measurementRunning) return {};
    const auto bytes = datagram.first(std::min(datagram.size(), kUdpDatagramTextLimit));
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::size_t>(end - bytes.begin())};
}

}  // namespace quorvex
