#include "core/positions/station_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace quorvex {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::optional<double> ParseDecimal(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    for (const char c : text) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E' || c == '+';
        if (!allowed) return std::nullopt;
    }
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (error != std::errc() || next != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<LatLon> ParseStation(std::string_view text) {
    if (text.size() > kMaxStationText) return std::nullopt;
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto lat = ParseDecimal(text.substr(0, comma));
    const auto lon = ParseDecimal(text.substr(comma + 1));
    if (!lat || !lon || std::abs(*lat) > 90.0 || std::abs(*lon) > 180.0) return std::nullopt;
    return LatLon{*lat, *lon};
}

}  // namespace quorvex
