#pragma once

#include <array>

namespace vorpalix {

// The tanh and exp tables the voices read instead of computing the functions per sample.
// Computed once per process at first use (read-only afterwards, shared by every instance).
struct LookupTables {
    static constexpr int kTanhSize = 90000; // tanh(i/500 - 40)
    static constexpr int kExpSize = 13000;  // exp(i/1000 - 10)
    std::array<double, kTanhSize> tanhTable;
    std::array<double, kExpSize> expTable;

    static const LookupTables& instance();
};

// tanh by table: x clamped to [-40, 140], linear interpolation; at or above the last point 1.0.
double tanhLookup(double x);
// exp by table: x clamped to [-10, 3], linear interpolation; at or above the last point the last entry.
double expLookup(double x);
// Identity inside (-knee, knee); outside it bends with slope 1 at the knee through tanh.
double softClip(double x, double knee, double drive);

} // namespace vorpalix
