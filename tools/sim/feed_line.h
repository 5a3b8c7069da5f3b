#pragma once
// A port-30003 line in the SBS-1 BaseStation layout, as a Mode S decoder writes it for a
// frame it decoded: "MSG,<type>,1,1,<address>,1,<date>,<time>,<date>,<time>," and twelve
// more fields, 22 in all, CR LF.

#include <cstdint>
#include <string>

#include "tools/sim/aircraft.h"

namespace quorvex::sim {

// `type` 1 to 8; `unixMillis`: when the frame was received, written in UTC.
std::string FeedLine(int type, const Aircraft& aircraft, std::int64_t unixMillis);

}  // namespace quorvex::sim
