#pragma once

#include <numbers>

namespace vorpalix {

// The synthesised voices run their oscillator phases against pi rounded to single precision
// (3.1415927410125732), and multiples of it in double precision.
constexpr double kPiF = static_cast<double>(std::numbers::pi_v<float>);
constexpr double kTwoPiF = 2.0 * kPiF;
constexpr double kHalfPiF = 0.5 * kPiF;

} // namespace vorpalix
