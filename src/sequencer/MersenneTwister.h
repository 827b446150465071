#pragma once

// The 32-bit Mersenne Twister (MT19937) with its standard tempering, seeded the way the original
// 1998 reference code seeds it: state[0] = seed, state[i] = 69069 * state[i - 1] (mod 2^32).
// std::mt19937 seeds differently (1812433253 multiplier), so the pattern randomizer cannot use
// its seeding; the twist and tempering are the same.

#include <array>
#include <cstdint>

namespace vorpalix {

// The largest 32-bit value a uniform draw below n (n > 0) accepts: floor((2^32 - 1) / n) * n - 1.
// For n = 2 it rejects 0xFFFFFFFE and 0xFFFFFFFF; for n = 1000000 everything above 4293999999.
constexpr std::uint32_t acceptanceLimit(std::uint32_t n) {
    return static_cast<std::uint32_t>(0xFFFFFFFFu / n * n - 1u);
}

// A value uniformly distributed in 0..n-1 from a source of 32-bit values: draws until a value
// is at most acceptanceLimit(n), then takes it modulo n. n = 0 gives 0 without drawing.
template <typename Draw> std::uint32_t uniformBelow(std::uint32_t n, Draw&& draw) {
    if (n == 0) {
        return 0;
    }
    const std::uint32_t limit = acceptanceLimit(n);
    std::uint32_t value = draw();
    while (value > limit) {
        value = draw();
    }
    return value % n;
}

class MersenneTwister {
public:
    static constexpr int kStateSize = 624;
    using State = std::array<std::uint32_t, kStateSize>;

    explicit MersenneTwister(std::uint32_t seed = 4357) { setSeed(seed); }

    // UI thread. Fills the state from the seed with the 69069 multiplier; the next draw
    // regenerates the whole state first.
    void setSeed(std::uint32_t seed);
    // UI thread. Takes a complete state as it is; the next draw regenerates it first.
    void setState(const State& words);
    const State& state() const { return state_; }

    // UI thread. The next tempered 32-bit value.
    std::uint32_t next();

    // UI thread. A value uniformly distributed in 0..n-1, drawn by the rejection rule above.
    std::uint32_t uniformBelow(std::uint32_t n) {
        return vorpalix::uniformBelow(n, [this] { return next(); });
    }

private:
    void regenerate();

    State state_{};
    int index_ = kStateSize;
};

} // namespace vorpalix
