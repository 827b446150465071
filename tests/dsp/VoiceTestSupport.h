#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/Voice.h"

namespace vorpalix::test {

// Deterministic white noise in [-0.5, 0.5) for driving a voice without the engine.
class TestNoise {
public:
    FrameInputs next() {
        state_ = state_ * 1664525u + 1013904223u;
        return {static_cast<double>(static_cast<std::int32_t>(state_)) * 0x1p-32, 0.0};
    }

private:
    std::uint32_t state_ = 0x2545F491u;
};

inline bool isSubnormal(double x) {
    return std::fpclassify(x) == FP_SUBNORMAL;
}

// Velocity whose gain 2.645 v is (almost exactly) 1.
inline constexpr float kUnitVelocity = 1.0f / 2.645f;
// The loudest sequenced hit: plain step, accent and full total accent.
inline constexpr float kLoudestStepVelocity = 0.37795275f + 0.252f + 0.252f;

// The per-sample coefficient 2*pi*f/rate, with 2*pi in single precision.
inline double stageCoefficient(double f, double rate) {
    return 6.2831854820251465 * f / rate;
}

} // namespace vorpalix::test
