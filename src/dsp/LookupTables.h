#pragma once

#include <array>
#include <cstddef>

namespace vorpalix {

// The tanh and exp tables the voices read instead of computing the functions per sample.
// Filled once per process, when the module is loaded (and, should anything need them earlier,
// by the first call of build()); read-only afterwards and shared by every instance. The lookups
// below read the arrays directly, with no guard or indirection on the audio thread.
struct LookupTables {
    static constexpr int kTanhSize = 90000; // tanh(i/500 - 40)
    static constexpr int kExpSize = 13000;  // exp(i/1000 - 10)
    static std::array<double, kTanhSize> tanhTable;
    static std::array<double, kExpSize> expTable;

    // Any thread. Fills the tables on its first call (thread-safe); later calls only return.
    static void build();
};

namespace detail {

// Linear interpolation in a table at position u (in entries); below 0 and NaN read entry 0, at
// or above the last point the last entry.
template <std::size_t N>
inline double interpolateTable(const std::array<double, N> &table, double u) {
    if (!(u >= 0.0)) {
        u = 0.0; // also catches NaN
    }
    constexpr double kLast = static_cast<double>(N - 1);
    if (u >= kLast) {
        return table[N - 1];
    }
    const auto i = static_cast<std::size_t>(u);
    return table[i] + (table[i + 1] - table[i]) * (u - static_cast<double>(i));
}

} // namespace detail

// tanh by table: x clamped to [-40, 140], linear interpolation; at or above the last point 1.0.
inline double tanhLookup(double x) {
    x = x < -40.0 ? -40.0 : (x > 140.0 ? 140.0 : x);
    return detail::interpolateTable(LookupTables::tanhTable, (x + 40.0) * 500.0);
}

// exp by table: x clamped to [-10, 3], linear interpolation; at or above the last point the last
// entry.
inline double expLookup(double x) {
    x = x < -10.0 ? -10.0 : (x > 3.0 ? 3.0 : x);
    return detail::interpolateTable(LookupTables::expTable, (x + 10.0) * 1000.0);
}

// Identity inside (-knee, knee); outside it bends with slope 1 at the knee through tanh.
inline double softClip(double x, double knee, double drive) {
    if (x > -knee && x < knee) {
        return x;
    }
    if (x >= knee && x > 0.0) {
        return knee + tanhLookup((x - knee) * drive) / drive;
    }
    if (x <= -knee && x < 0.0) {
        return tanhLookup((x + knee) * drive) / drive - knee;
    }
    return x;
}

} // namespace vorpalix
