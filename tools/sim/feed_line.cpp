#include "tools/sim/feed_line.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "tools/sim/station.h"

namespace quorvex::sim {
namespace {

// "2026/12/07,19:47:04.123"
std::string DateAndTime(std::int64_t unixMillis) {
    using namespace std::chrono;
    const sys_time<milliseconds> when{milliseconds(unixMillis)};
    const sys_days day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{when - day};
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d/%02u/%02u,%02d:%02d:%02d.%03d", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

std::string Number(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

std::string FeedLine(int type, const Aircraft& a, std::int64_t unixMillis) {
    char address[8];
    std::snprintf(address, sizeof address, "%06X", static_cast<unsigned>(a.address & 0xFFFFFF));
    const std::string when = DateAndTime(unixMillis);
    std::string line =
        "MSG," + std::to_string(type) + ",1,1," + address + ",1," + when + "," + when + ",";

    // Fields 11 to 22: callsign, altitude, ground speed, track, latitude, longitude,
    // vertical rate, squawk, alert, emergency, ident, on the ground.
    std::string f[12];
    const std::string altitude = std::to_string(std::lround(a.altitude / 25.0) * 25);
    char squawk[8];
    std::snprintf(squawk, sizeof squawk, "%04o", static_cast<unsigned>(a.squawk & 07777));
    switch (type) {
        case 1:
            f[0] = a.callsign;
            break;
        case 3:
            f[1] = altitude;
            f[4] = Number(a.latitude, 5);
            // Rounded first: -179.999996 is written as 180.00000, not -180.00000.
            f[5] = Number(WrapLongitude(std::round(a.longitude * 1e5) / 1e5), 5);
            f[8] = f[9] = f[10] = "0";
            break;
        case 4: {
            f[2] = std::to_string(std::lround(std::hypot(a.eastKnots, a.northKnots)));
            double track = std::atan2(a.eastKnots, a.northKnots) * 180.0 / std::numbers::pi;
            if (track < 0) track += 360.0;
            f[3] = std::to_string(std::lround(track) % 360);
            f[6] = std::to_string(std::lround(a.verticalRate / 64.0) * 64);
            break;
        }
        case 5:
            f[1] = altitude;
            f[8] = f[10] = "0";
            break;
        case 6:
            f[1] = altitude;
            f[7] = squawk;
            f[8] = f[9] = f[10] = "0";
            break;
        case 7:
            f[1] = altitude;
            break;
        default:
            break;
    }
    f[11] = "0";
    for (int i = 0; i < 12; ++i) line += f[i] + (i < 11 ? "," : "\r\n");
    return line;
}

}  // namespace quorvex::sim
