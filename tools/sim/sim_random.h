#pragma once
// The simulator's random numbers: xoshiro256** seeded through splitmix64, with the few
// draws the sky needs written out here, so a seed gives the same traffic with every
// compiler and standard library (the standard distributions differ between libraries).

#include <cstdint>

namespace quorvex::sim {

class SimRandom {
  public:
    // `stream` separates independent sequences of one seed (hearing, corruption, fields).
    explicit SimRandom(std::uint64_t seed, std::uint64_t stream = 0) {
        std::uint64_t x = seed ^ (stream * 0xD1B54A32D192ED03ULL);
        for (std::uint64_t& word : state_) word = SplitMix(x);
    }

    std::uint64_t Next() {
        const std::uint64_t result = Rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = Rotl(state_[3], 45);
        return result;
    }

    // Uniform in [0, 1), 53 bits.
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Uniform(double low, double high) { return low + (high - low) * Uniform(); }
    // Uniform in [0, n) for n > 0; the bias of 64-bit modulo is far below anything we measure.
    std::uint64_t Below(std::uint64_t n) { return Next() % n; }
    bool Chance(double probability) { return Uniform() < probability; }

  private:
    static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static std::uint64_t SplitMix(std::uint64_t& x) {
        std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    std::uint64_t state_[4];
};

}  // namespace quorvex::sim
