#pragma once
// The position a port-30003 "MSG,3" line carries (an airborne position message): latitude
// and longitude in fields 15 and 16, the altitude in field 12.

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/positions/geo.h"

namespace quorvex {

struct FeedPosition {
    enum class Kind : std::uint8_t {
        None,     // no MSG,3 line, or one without latitude and longitude
        Good,     // `position` holds it
        Invalid,  // a latitude or longitude that is no number within ±90 / ±180
    };
    Kind kind = Kind::None;
    LatLon position;
    std::optional<int> altitudeFt;  // none when the field is empty or no number
};

// `entry` as the feed scan hands it: the text after "MSG," up to the next message.
FeedPosition ReadFeedPosition(std::string_view entry);

}  // namespace quorvex
