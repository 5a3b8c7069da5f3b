#pragma once
// The signal levels the Beast receivers wrote, as a comparison of the two receivers counts
// them. A frame's level is 20 log10(b / 255) dBFS for the byte b written (1 to 255).
//
// A twin is one transmission both receivers wrote whole, with the same bytes and unharmed
// (the simulator damages only frames whose parity catches it). A ":" receiver writes the
// residual in place of the parity, so its copy is the twin of another ":" copy only. Each
// twin counts once, under the first of: a copy without a level (a text receiver)
// "excluded_no_level"; a level at or above kStrong "excluded_strong"; a level at or below
// kWeak "excluded_weak"; else it is compared, with the delta level2 - level1 in dB. Of the
// compared deltas, sorted d(1) to d(n): the median (the mean of the two middle ones for
// even n); the 95 % interval from d(max(1, floor(n/2 - 0.98 sqrt n))) to d(min(n, ceil(n/2
// + 1 + 0.98 sqrt n))), for n of 30 and more; the quartiles d(ceil(n/4)) and d(ceil(3n/4)).
// Per receiver, of the good frames it wrote whole with a level, the percent at or above
// kStrong.
//
// The twins here are paired by the transmission. A program sees only bytes and pairs two
// copies with the same bytes within 2 s of each other; the two agree whenever both
// receivers hear every frame of an aircraft whose identical frames repeat within 2 s, and
// may differ otherwise (a copy one receiver missed can pair with the repeat).
//
// Memory stays bounded however long the run: one count per pair of bytes.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvex::sim {

class LevelTruth {
  public:
    static constexpr double kStrong = -3.0;  // dBFS
    static constexpr double kWeak = -38.5;   // dBFS

    LevelTruth();

    bool enabled = false;  // a receiver writes Beast: the JSON has "levels"

    // A good frame receiver `receiver` (0 or 1) wrote whole; `level` 0: it has none.
    void CountFrame(int receiver, std::uint8_t level);
    // A twin with the level bytes of receiver 1's and receiver 2's copies (0: none).
    void CountTwin(std::uint8_t level1, std::uint8_t level2);

    // {"twins":N,"compared":N,"excluded_no_level":N,"excluded_strong":N,"excluded_weak":N,
    // "median_db":"..","ci_low_db":"..","ci_high_db":"..","q1_db":"..","q3_db":"..",
    // "receiver1_strong_pct":"..","receiver2_strong_pct":"..","receiver1_level_frames":N,
    // "receiver2_level_frames":N}: dB with two decimals, percents with one, "" when there is
    // nothing to say (nothing compared; for the interval fewer than 30; no level frames).
    std::string Json() const;

  private:
    std::int64_t twins_ = 0;
    std::int64_t noLevel_ = 0;
    std::int64_t strong_ = 0;
    std::int64_t weak_ = 0;
    std::vector<std::int64_t> compared_;  // 256 x 256: [level1 * 256 + level2]
    std::array<std::int64_t, 2> levelFrames_{};
    std::array<std::int64_t, 2> strongFrames_{};
};

}  // namespace quorvex::sim
