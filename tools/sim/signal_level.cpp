#include "tools/sim/signal_level.h"

#include <algorithm>
#include <cmath>

#include "tools/sim/sky.h"

namespace quorvex::sim {
namespace {

constexpr double kFeetPerNauticalMile = kMetresPerNauticalMile / 0.3048;

}  // namespace

double DrawLevelOffset(SimRandom& random) {
    return random.Uniform(-kOffsetSpread, kOffsetSpread);
}

double SlantRange(double rangeNm, double altitudeFeet) {
    const double height = altitudeFeet / kFeetPerNauticalMile;
    return std::max(std::hypot(rangeNm, height), 0.1);
}

LevelModel::LevelModel(const LevelSettings& settings, const std::array<Reach, 2>& reach)
    : settings_(settings) {
    for (int r = 0; r < 2; ++r) {
        const double range = reach[r].range > 0 ? reach[r].range : kSkyRadius;
        reference_[r] = kLevelAtReach + 20 * std::log10(range);
    }
}

double LevelModel::Gain(int receiver, double time) const {
    const bool stepped = receiver == 1 && settings_.stepAt >= 0 && time >= settings_.stepAt;
    return settings_.gain[receiver] + (stepped ? settings_.stepDb : 0);
}

double LevelModel::Level(int receiver, const Aircraft& aircraft, double slantRange, double time,
                         SimRandom& jitter) const {
    const double diversity =
        jitter.Uniform(-kJitterHalf, kJitterHalf) + jitter.Uniform(-kJitterHalf, kJitterHalf);
    return reference_[receiver] - 20 * std::log10(slantRange) + aircraft.levelOffset + diversity +
           Gain(receiver, time);
}

std::uint8_t LevelByte(double dbfs) {
    if (dbfs <= kLevelFloor) return 0;
    const double scaled = std::round(255 * std::pow(10, std::min(dbfs, 0.0) / 20));
    return static_cast<std::uint8_t>(std::clamp(scaled, 1.0, 255.0));
}

}  // namespace quorvex::sim
