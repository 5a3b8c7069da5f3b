#pragma once
// The --csv file's and the seconds export's fixed texts, as the tests expect them.

#include <cstdint>
#include <string_view>

namespace quorvex {

constexpr std::int64_t kTickTime = 1796703641;  // 2026-12-08T04:20:41Z

constexpr std::string_view kSecondsHeader =
    "time,receiver1_DF0,receiver1_DF4_5,receiver1_DF11,receiver1_DF11_IC,receiver1_DF17_19,"
    "receiver1_DF20_21,receiver2_DF0,receiver2_DF4_5,receiver2_DF11,receiver2_DF11_IC,"
    "receiver2_DF17_19,receiver2_DF20_21,feed_MSG5_6,feed_MSG8,feed_MSG_other,"
    "receiver1_chart_rate,receiver2_chart_rate,feed_chart_rate,receiver1_chart_average,"
    "receiver2_chart_average,feed_chart_average\r\n";

// The row of the second that closed at kTickTime with 7 in the fifth counter and no rate.
constexpr std::string_view kSecondRow =
    "2026-12-08T04:20:41Z,0,0,0,0,7,0,0,0,0,0,0,0,0,0,0,0,0,0,0.00,0.00,0.00\r\n";

}  // namespace quorvex
