#include "tools/sim/sky.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <set>
#include <string>

#include "tools/sim/signal_level.h"
#include "tools/sim/sim_random.h"

namespace quorvex::sim {
namespace {

constexpr double kLowest = 2000;  // feet
constexpr double kHighest = 40000;
constexpr double kTurnRate = 1.5;  // degrees per second
constexpr double kRadians = std::numbers::pi / 180.0;

constexpr std::array<const char*, 12> kAirlines = {"DLH", "KLM", "BAW", "AFR", "EZY", "RYR",
                                                   "UAE", "SAS", "AUA", "SWR", "THY", "IBE"};
// Address blocks of a few registration countries.
constexpr std::array<std::uint32_t, 6> kAddressBlocks = {0x3C0000, 0x400000, 0x480000,
                                                         0x440000, 0x4B0000, 0x380000};
constexpr std::array<std::uint8_t, 4> kRadarCodes = {1, 3, 7, 12};

std::string MakeCallsign(SimRandom& random) {
    std::string callsign = kAirlines[random.Below(kAirlines.size())];
    callsign += std::to_string(1 + random.Below(9999));
    if (random.Chance(0.3)) callsign += static_cast<char>('A' + random.Below(26));
    callsign.resize(8, ' ');
    return callsign;
}

int MakeSquawk(SimRandom& random) {
    for (;;) {
        const int squawk = static_cast<int>(random.Below(010000));
        // Not the emergency codes 7500, 7600, 7700, nor 0000.
        if (squawk != 0 && squawk != 07500 && squawk != 07600 && squawk != 07700) return squawk;
    }
}

}  // namespace

std::vector<Aircraft> MakeSky(const SkySettings& settings) {
    SimRandom random(settings.seed, 1);
    std::vector<Aircraft> sky;
    std::set<std::uint32_t> addresses;
    const int count = std::max(settings.aircraft, 0);
    for (int i = 0; i < count; ++i) {
        Aircraft a;
        do {
            a.address = kAddressBlocks[random.Below(kAddressBlocks.size())] +
                        static_cast<std::uint32_t>(random.Below(0x40000));
        } while (a.address == 0 || !addresses.insert(a.address).second);
        a.callsign = MakeCallsign(random);
        a.category = 1 + static_cast<int>(random.Below(5));
        a.squawk = MakeSquawk(random);
        a.nonTransponder = i % 10 == 1;
        a.interrogatorCode = kRadarCodes[random.Below(kRadarCodes.size())];
        a.replyFactor = random.Uniform(0.5, 1.5);
        // Evenly over the area: as many aircraft far out on every bearing as a real sky has.
        const double bearing = random.Uniform(0, 360);
        const Position at =
            PointFrom(settings.station, kSkyRadius * std::sqrt(random.Uniform()), bearing);
        a.latitude = at.latitude;
        a.longitude = at.longitude;
        a.altitude = std::round(random.Uniform(3000, 39000) / 100) * 100;
        const double speed = random.Uniform(250, 480);
        const double heading = random.Uniform(0, 2 * std::numbers::pi);
        a.eastKnots = speed * std::sin(heading);
        a.northKnots = speed * std::cos(heading);
        const double climb = random.Uniform();
        a.verticalRate = climb < 0.7 ? 0 : climb < 0.85 ? 1472 : -1472;
        a.oddPosition = random.Chance(0.5);
        for (int l = 0; l < kListenerCount; ++l) {
            const double spread = random.Uniform(-0.15, 0.15);
            // A listener that hears everything (--hear 1) hears every aircraft's every frame.
            a.hear[l] =
                settings.hear[l] >= 1.0 ? 1.0 : std::clamp(settings.hear[l] + spread, 0.02, 1.0);
        }
        sky.push_back(a);
    }

    // The distant ones: a partial shuffle picks them, the order alternates the receiver that
    // cannot hear them.
    const auto distant = static_cast<std::size_t>(std::lround(count * settings.distantShare));
    std::vector<std::size_t> order(sky.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    for (std::size_t k = 0; k < std::min(distant, order.size()); ++k) {
        std::swap(order[k], order[k + random.Below(order.size() - k)]);
        const auto deaf = k % 2 == 0 ? Listener::Receiver2 : Listener::Receiver1;
        sky[order[k]].hear[static_cast<int>(deaf)] = 0;
    }
    // From a stream of their own, so the rest of a seed's sky stays as it was.
    SimRandom levels(settings.seed, 10);
    for (Aircraft& a : sky) a.levelOffset = DrawLevelOffset(levels);
    return sky;
}

void Fly(Aircraft& a, double seconds, const Station& station) {
    for (double left = seconds; left > 0; left -= 1.0) {
        const double dt = std::min(left, 1.0);
        if (a.turn != 0) {
            // Turning right (clockwise) adds to the heading.
            const double angle = a.turn * kTurnRate * dt * kRadians;
            const double east = a.eastKnots * std::cos(angle) + a.northKnots * std::sin(angle);
            a.northKnots = a.northKnots * std::cos(angle) - a.eastKnots * std::sin(angle);
            a.eastKnots = east;
        }
        // One knot is one minute of latitude per hour.
        a.latitude += a.northKnots * dt / 216000.0;
        a.longitude = WrapLongitude(a.longitude + a.eastKnots * dt /
                                                      (216000.0 * std::cos(a.latitude * kRadians)));
        a.altitude += a.verticalRate * dt / 60.0;
        if ((a.altitude <= kLowest && a.verticalRate < 0) ||
            (a.altitude >= kHighest && a.verticalRate > 0)) {
            a.altitude = std::clamp(a.altitude, kLowest, kHighest);
            a.verticalRate = 0;
        }

        const RangeBearing where = FromStation(station, a.latitude, a.longitude);
        const double heading = std::atan2(a.eastKnots, a.northKnots) / kRadians;
        // From the heading to the way back to the station, -180 to 180 degrees.
        const double off = std::remainder(where.bearing + 180.0 - heading, 360.0);
        if (a.turn != 0 && std::fabs(off) < 30) a.turn = 0;
        if (a.turn == 0 && where.range > kTurnBackRange && std::fabs(off) > 90) {
            a.turn = off > 0 ? 1 : -1;
        }
    }
}

}  // namespace quorvex::sim
