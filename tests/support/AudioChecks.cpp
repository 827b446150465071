#include "AudioChecks.h"

#include <algorithm>
#include <cmath>

namespace vorpalix::testing {

namespace {
std::int64_t endOf(std::span<const float> samples, std::int64_t to) {
    const auto size = static_cast<std::int64_t>(samples.size());
    return to < 0 ? size : std::min(to, size);
}
} // namespace

std::int64_t firstNonZeroSample(std::span<const float> samples, std::int64_t from,
                                float threshold) {
    const auto size = static_cast<std::int64_t>(samples.size());
    for (std::int64_t i = std::max<std::int64_t>(from, 0); i < size; ++i)
        if (std::fabs(samples[static_cast<std::size_t>(i)]) > threshold)
            return i;
    return -1;
}

float peakMagnitude(std::span<const float> samples, std::int64_t from, std::int64_t to) {
    float peak = 0.0f;
    for (std::int64_t i = std::max<std::int64_t>(from, 0); i < endOf(samples, to); ++i)
        peak = std::max(peak, std::fabs(samples[static_cast<std::size_t>(i)]));
    return peak;
}

bool allFinite(std::span<const float> samples) {
    return std::all_of(samples.begin(), samples.end(), [](float s) { return std::isfinite(s); });
}

double rms(std::span<const float> samples, std::int64_t from, std::int64_t to) {
    const std::int64_t start = std::max<std::int64_t>(from, 0);
    const std::int64_t end = endOf(samples, to);
    if (end <= start)
        return 0.0;
    double sum = 0.0;
    for (std::int64_t i = start; i < end; ++i) {
        const double s = samples[static_cast<std::size_t>(i)];
        sum += s * s;
    }
    return std::sqrt(sum / static_cast<double>(end - start));
}

} // namespace vorpalix::testing
