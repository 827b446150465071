#pragma once

#include <type_traits>

// Declares the processor builtins of every vector width (GCC declares them only with a header
// that enables their instruction set).
#include <immintrin.h>

namespace vorpalix {

// Ringing resonator shared by the rim shot and the hand clap: four cascaded one-pole low-pass
// stages closed by a smoothed, clamped feedback loop. The loop's phase shift makes it ring near
// the frequency set by w; the loop gain G sets how long it rings.
// T is double for one stage, or a GCC vector of doubles for stages stepped side by side, one per
// lane, each lane doing exactly what one stage does.
// The vector forms are only used inside kernels that inline step(), so the note that vectors are
// passed differently with and without AVX does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
template <class T> struct BasicResonatorStage {
    T w{};           // one-pole coefficient, 2*pi*f/rate
    T G{};           // loop gain
    T q = T{} + 1.0; // output gain

    T s0{}; // smoothed feedback
    T s1{}; // clamped copy of the previous s0
    T s2{}; // mixed feedback
    T y1{}, y2{}, y3{}, y4{};
    T out{};

    // x limited to [-1, 1]; NaN passes through.
    [[gnu::always_inline]] static T clampUnit(const T& x) {
        if constexpr (std::is_floating_point_v<T>) {
            return x < -1.0 ? -1.0 : (x > 1.0 ? 1.0 : x);
        } else {
#if defined(__clang__)
            return x < -1.0 ? T{} - 1.0 : (x > 1.0 ? T{} + 1.0 : x);
#else
            // The processor's max and min return their second operand unless the first is
            // greater or less: with the bound first, a NaN passes through as above, in two
            // instructions instead of two compares and two blends on the feedback path. (GCC
            // expands the builtins in the AVX2 kernels that inline this; see SimdLanes.h.)
            static_assert(sizeof(T) == 32, "four lanes");
            return __builtin_ia32_minpd256(T{} + 1.0, __builtin_ia32_maxpd256(T{} - 1.0, x));
#endif
        }
    }

    void clear() {
        s0 = s1 = s2 = y1 = y2 = y3 = y4 = out = T{};
    }

    // One sample with input u. `bias` is the denormal guard added to the four poles (the rim shot
    // uses 1e-24; the clap's stage is fed with noise all the time and adds nothing).
    T step(const T& u, const T& bias) {
        advance(u, bias);
        return out;
    }
    // The same step, for vector kernels: the outputs are left in `out` (a vector returned from a
    // function built without AVX would cross an ABI boundary).
    [[gnu::always_inline]] void advance(const T& u, const T& bias) {
        s1 = clampUnit(s0);
        s0 = 0.418 * s0 + 0.582 * G * y4;
        s2 = 0.36 * s0 + 0.64 * s1;
        const T v = 1.0 - w;
        y1 = clampUnit((u - s2) * w + v * y1 + bias);
        y2 = v * y2 + w * y1 + bias;
        y3 = v * y3 + w * y2 + bias;
        y4 = v * y4 + w * y3 + bias;
        out = (y1 - y4) * q;
    }
};

#pragma GCC diagnostic pop

using ResonatorStage = BasicResonatorStage<double>;

} // namespace vorpalix
