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
    // Two copies of the last entry follow each table, so that an argument clamped to the top of
    // the range interpolates between equal entries and reads the last entry without a branch.
    static constexpr int kPadding = 2;
    // Beyond +-kTanhFlat every tanh entry is exactly +-1 (tanh 20 is 1 - 8.5e-18, which rounds to
    // 1), and so is every interpolation between them. The lookups clamp there: the values of the
    // whole range, read from a part of the table small enough to stay in the processor's cache.
    static constexpr double kTanhFlat = 20.0;
    static std::array<double, kTanhSize + kPadding> tanhTable;
    static std::array<double, kExpSize + kPadding> expTable;

    // Any thread. Fills the tables on its first call (thread-safe); later calls only return.
    static void build();
};

namespace detail {

// Linear interpolation at position u (in entries), u already within [0, size]; the padding makes
// every position from the last point on read the last entry.
template <std::size_t N>
inline double interpolateTable(const std::array<double, N>& table, double u) {
    const int i = static_cast<int>(u);
    const double a = table[i];
    return a + (table[i + 1] - a) * (u - static_cast<double>(i));
}

} // namespace detail

// tanh by table over [-40, 140], linear interpolation; x is clamped to the flat ends at
// +-kTanhFlat (NaN reads as -1).
inline double tanhLookup(double x) {
    constexpr double kFlat = LookupTables::kTanhFlat;
    x = x > -kFlat ? x : -kFlat; // also catches NaN
    x = x < kFlat ? x : kFlat;
    return detail::interpolateTable(LookupTables::tanhTable, (x + 40.0) * 500.0);
}

// exp by table: x clamped to [-10, 3] (NaN reads as -10), linear interpolation; at or above the
// last point the last entry.
inline double expLookup(double x) {
    x = x > -10.0 ? x : -10.0; // also catches NaN
    x = x < 3.0 ? x : 3.0;
    return detail::interpolateTable(LookupTables::expTable, (x + 10.0) * 1000.0);
}

// Identity inside (-knee, knee); outside it bends with slope 1 at the knee through tanh; NaN
// passes through. The knee is never negative, so x >= knee already means x > 0 (and at a knee of
// 0, x = 0 gives 0 either way). The caller passes 1/drive too, so that the per-sample path
// multiplies instead of dividing.
inline double softClip(double x, double knee, double drive, double invDrive) {
    if (x >= knee) {
        return knee + tanhLookup((x - knee) * drive) * invDrive;
    }
    if (x <= -knee) {
        return tanhLookup((x + knee) * drive) * invDrive - knee;
    }
    return x;
}

inline double softClip(double x, double knee, double drive) {
    return softClip(x, knee, drive, 1.0 / drive);
}

} // namespace vorpalix
