#pragma once

#include <cstdint>

namespace korvex::refdata {

// SplitMix64 step: used to derive independent generator states from small integers.
inline std::uint64_t SplitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// Random numbers of one photon history (xoshiro256**). The state is derived from the
// master seed, a stream number (the photon energy) and the history index alone, so a
// history draws the same numbers whichever thread runs it and in whatever order.
class RandomStream {
  public:
    RandomStream(std::uint64_t master_seed, std::uint64_t stream, std::uint64_t history) {
        std::uint64_t mix = master_seed;
        mix = SplitMix64(mix) ^ stream;
        mix = SplitMix64(mix) ^ history;
        for (std::uint64_t& word : state_) {
            word = SplitMix64(mix);
        }
    }

    std::uint64_t Next() {
        const std::uint64_t result = Rotate(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = Rotate(state_[3], 45);
        return result;
    }

    // Uniform on [0, 1), 53 random bits.
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Uniform on (0, 1], safe for a logarithm.
    double UniformOpenZero() { return 1.0 - Uniform(); }

  private:
    static std::uint64_t Rotate(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    std::uint64_t state_[4];
};

}  // namespace korvex::refdata
