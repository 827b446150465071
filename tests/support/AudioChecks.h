#pragma once

#include <cstdint>
#include <span>

namespace vorpalix::testing {

// Index of the first sample at or after `from` whose magnitude exceeds `threshold`, or -1.
std::int64_t firstNonZeroSample(std::span<const float> samples, std::int64_t from = 0,
                                float threshold = 0.0f);
// Largest magnitude in the range [from, to) (to = -1: the end).
float peakMagnitude(std::span<const float> samples, std::int64_t from = 0, std::int64_t to = -1);
// True when no sample is NaN or infinite.
bool allFinite(std::span<const float> samples);
// Root mean square over [from, to) (to = -1: the end); 0 for an empty range.
double rms(std::span<const float> samples, std::int64_t from = 0, std::int64_t to = -1);

} // namespace vorpalix::testing
