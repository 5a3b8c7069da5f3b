#pragma once
// The signal level a receiver measures for a frame, in dBFS (0: full scale), and the byte a
// Beast receiver writes for it. The model, per frame and receiver:
//
//   L = kLevelAtReach + 20 log10(R / d) + offset + jitter + gain
//
//   d       the slant range to the aircraft in NM (great-circle range and altitude), so the
//           level falls 6 dB per doubling of range;
//   R       the receiver's reach (--range1/--range2; kSkyRadius without one): a typical
//           aircraft at its reach arrives at kLevelAtReach, 3 dB above the floor, just where
//           the reach's chance of hearing falls to nothing (so of two receivers the one of
//           shorter reach is the less sensitive, by 20 log10 of the ratio). An aircraft 30
//           times nearer (7 NM for R 220) arrives at about -7.5 dBFS;
//   offset  the aircraft's transmitter and antenna, fixed per aircraft from the seed,
//           uniform within +-kOffsetSpread dB;
//   jitter  antenna diversity and multipath, drawn afresh per frame and receiver: the sum of
//           two uniform draws within +-kJitterHalf dB (triangular, +-2 kJitterHalf at most);
//   gain    the receiver's --gain1/--gain2 (default 0); --gain2-step adds to receiver 2's
//           gain from a moment of the simulation on.
//
// A level above 0 dBFS clips to full scale; a level at or below kLevelFloor is not heard at
// all. The byte is round(255 * 10^(L/20)), 1 to 255. Only Beast receivers have a level: for
// them a frame is heard when the chance of hearing it (probability times reach) says so and
// its level is above the floor; a text receiver hears by the chance alone, as it always did.

#include <array>
#include <cstdint>

#include "tools/sim/aircraft.h"
#include "tools/sim/sim_random.h"
#include "tools/sim/station.h"

namespace quorvex::sim {

inline constexpr double kLevelFloor = -40.0;    // dBFS: at or below it, not heard
inline constexpr double kLevelAtReach = -37.0;  // dBFS: a typical aircraft at the reach
inline constexpr double kOffsetSpread = 3.0;    // dB either way, per aircraft
inline constexpr double kJitterHalf = 2.0;      // dB either way, each of the two draws

struct LevelSettings {
    std::array<double, 2> gain{};  // dB per receiver
    double stepAt = -1;            // simulated seconds; negative: no step
    double stepDb = 0;             // added to receiver 2's gain from stepAt on
    // Beast frames carry no level (the byte 0), as from a decoder that measures none; which
    // frames are heard is decided by their levels all the same.
    bool omitted = false;
};

// The aircraft's offset, drawn for one aircraft after another.
double DrawLevelOffset(SimRandom& random);

// The slant range in NM for a great-circle range and an altitude in feet, at least 0.1 NM.
double SlantRange(double rangeNm, double altitudeFeet);

class LevelModel {
  public:
    LevelModel(const LevelSettings& settings, const std::array<Reach, 2>& reach);

    // Receiver `receiver`'s gain at simulated time `time`.
    double Gain(int receiver, double time) const;
    // The level of a frame of `aircraft` at slant range `slantRange` sent at `time`; draws
    // the jitter from `jitter` (the receiver's own stream).
    double Level(int receiver, const Aircraft& aircraft, double slantRange, double time,
                 SimRandom& jitter) const;

  private:
    LevelSettings settings_;
    std::array<double, 2> reference_{};  // kLevelAtReach + 20 log10 R
};

// The byte a Beast receiver writes for `dbfs`; 0 when the frame is not heard (at or below
// the floor).
std::uint8_t LevelByte(double dbfs);

}  // namespace quorvex::sim
