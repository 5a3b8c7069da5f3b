#include "core/positions/feed_position.h"

#include <array>
#include <cmath>
#include <cstddef>

#include "core/positions/station_text.h"

namespace quorvex {
namespace {

// Field numbers of the line ("MSG" is field 1), and their place in the entry after "MSG,".
constexpr std::size_t kAltitudeField = 12;
constexpr std::size_t kLatitudeField = 15;
constexpr std::size_t kLongitudeField = 16;
constexpr std::size_t kFirstEntryField = 2;

}  // namespace

FeedPosition ReadFeedPosition(std::string_view entry) {
    FeedPosition result;
    if (!entry.starts_with("3,")) return result;
    // The entry's fields up to the longitude; the last one ends at a comma or line end.
    std::array<std::string_view, kLongitudeField + 1> fields{};
    std::size_t field = kFirstEntryField;
    while (field <= kLongitudeField) {
        const std::size_t end = entry.find_first_of(",\r\n");
        fields[field] = entry.substr(0, end);
        if (end == std::string_view::npos || entry[end] != ',') break;
        entry.remove_prefix(end + 1);
        ++field;
    }
    if (field < kLongitudeField) return result;
    const std::string_view latText = fields[kLatitudeField];
    const std::string_view lonText = fields[kLongitudeField];
    if (latText.empty() && lonText.empty()) return result;
    const auto lat = ParseDecimal(latText);
    const auto lon = ParseDecimal(lonText);
    if (!lat || !lon || std::abs(*lat) > 90.0 || std::abs(*lon) > 180.0) {
        result.kind = FeedPosition::Kind::Invalid;
        return result;
    }
    result.kind = FeedPosition::Kind::Good;
    result.position = {*lat, *lon};
    if (const auto altitude = ParseDecimal(fields[kAltitudeField]);
        altitude && std::abs(*altitude) < 1e6) {
        result.altitudeFt = static_cast<int>(std::lround(*altitude));
    }
    return result;
}

}  // namespace quorvex
