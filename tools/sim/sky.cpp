#include "tools/sim/sky.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <set>
#include <string>

#include "tools/sim/sim_random.h"

namespace quorvex::sim {
namespace {

// The area: about 300 by 300 nautical miles around this point.
constexpr double kCentreLatitude = 50.0;
constexpr double kCentreLongitude = 8.5;
constexpr double kHalfHeight = 2.5;  // degrees of latitude
constexpr double kHalfWidth = 3.8;   // degrees of longitude
constexpr double kLowest = 1000;     // feet
constexpr double kHighest = 43000;

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
        a.latitude = kCentreLatitude + random.Uniform(-kHalfHeight, kHalfHeight);
        a.longitude = kCentreLongitude + random.Uniform(-kHalfWidth, kHalfWidth);
        a.altitude = std::round(random.Uniform(3000, 41000) / 100) * 100;
        const double speed = random.Uniform(250, 480);
        const double heading = random.Uniform(0, 2 * std::numbers::pi);
        a.eastKnots = speed * std::sin(heading);
        a.northKnots = speed * std::cos(heading);
        const double climb = random.Uniform();
        a.verticalRate = climb < 0.7 ? 0 : climb < 0.85 ? 1472 : -1472;
        a.oddPosition = random.Chance(0.5);
        for (int l = 0; l < kListenerCount; ++l) {
            a.hear[l] = std::clamp(settings.hear[l] + random.Uniform(-0.15, 0.15), 0.02, 1.0);
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
    return sky;
}

void Fly(Aircraft& a, double seconds) {
    // One knot is one minute of latitude per hour.
    a.latitude += a.northKnots * seconds / 216000.0;
    a.longitude +=
        a.eastKnots * seconds / (216000.0 * std::cos(a.latitude * std::numbers::pi / 180.0));
    a.altitude += a.verticalRate * seconds / 60.0;
    if (std::fabs(a.latitude - kCentreLatitude) > kHalfHeight) {
        a.northKnots =
            a.latitude > kCentreLatitude ? -std::fabs(a.northKnots) : std::fabs(a.northKnots);
    }
    if (std::fabs(a.longitude - kCentreLongitude) > kHalfWidth) {
        a.eastKnots =
            a.longitude > kCentreLongitude ? -std::fabs(a.eastKnots) : std::fabs(a.eastKnots);
    }
    if ((a.altitude <= kLowest && a.verticalRate < 0) ||
        (a.altitude >= kHighest && a.verticalRate > 0)) {
        a.altitude = std::clamp(a.altitude, kLowest, kHighest);
        a.verticalRate = 0;
    }
}

}  // namespace quorvex::sim
