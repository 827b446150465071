#pragma once

#include "dsp/Voice.h"

#include <cmath>
#include <cstdint>

namespace vorpalix::testing {

// Deterministic white noise in -0.5..0.5 for driving voices outside the engine.
class TestNoise {
public:
    double next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state_ >> 11) * 0x1p-53 - 0.5;
    }
    FrameInputs frame() {
        const double n = next();
        return FrameInputs{n, 0.25 * n};
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

// A plain sequencer hit: 48/127 in single precision.
constexpr float kPlainVelocity = 0.37795275f;

inline bool isSubnormal(double v) {
    return std::fpclassify(v) == FP_SUBNORMAL;
}

// Phase advance between two readings of a phase that wraps at `period`.
inline double phaseStep(double before, double after, double period) {
    double d = after - before;
    if (d < 0.0) {
        d += period;
    }
    return d;
}

// Renders `voice` until it falls idle or `maxFrames` have passed; returns the frames rendered.
// `check` sees every output sample.
template <typename V, typename Check>
long renderUntilIdle(V& voice, long maxFrames, TestNoise& noise, Check&& check) {
    long n = 0;
    while (voice.isPlaying() && n < maxFrames) {
        check(voice.render(noise.frame()));
        ++n;
    }
    return n;
}

} // namespace vorpalix::testing
