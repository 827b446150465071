#pragma once

// Voices of the same structure computed side by side, one per lane of a vector of doubles. Every
// operation acts on each lane exactly as the scalar code acts on one voice (same operations in
// the same order, no fused multiply-add), so each lane's result is bit-identical to the scalar
// formula. The vectors are GCC vector types: four lanes in the AVX2 build of a kernel (chosen at
// run time by hasAvx2()), two lanes of SSE2 in the baseline build, and eight lanes of AVX-512 in
// the passes over packed values that carry nothing from one vector to the next (hasAvx512()).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "dsp/LookupTables.h"

// Declares the processor builtins of every vector width (GCC declares them only with a header
// that enables their instruction set).
#include <immintrin.h>

// The vectors stay inside the kernels that include this header (the helpers are always inlined
// and take their vectors by reference), so the note that vectors are passed differently with
// and without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vorpalix::lanes {

// The kernel builds, narrowest first.
enum class Kernels { Baseline, Avx2, Avx512 };

namespace detail {
// The builds in use; written only while the module is loaded and by limitKernels.
extern Kernels chosenKernels;
} // namespace detail

// True when the processor runs AVX2 (AVX-512 F, DQ and VL) code and the kernels are not limited
// below it (VORPALIX_SIMD=baseline or avx2 in the environment, or limitKernels); decided when the
// module is loaded.
[[gnu::always_inline]] inline bool hasAvx2() {
    return detail::chosenKernels >= Kernels::Avx2;
}
[[gnu::always_inline]] inline bool hasAvx512() {
    return detail::chosenKernels >= Kernels::Avx512;
}
// Tests: the widest builds that can run here, and a limit that makes every kernel take a
// narrower build (set while no audio is being rendered).
Kernels processorKernels();
void limitKernels(Kernels widest);

// The attribute of a function's AVX-512 build: the instruction sets hasAvx512() checks for.
#define VORPALIX_AVX512 gnu::target("avx512f,avx512dq,avx512vl")

// After a part of a span was rendered up to frame `done`: the voices whose hit ended leave the
// lanes, their outputs holding zeros for the rest of the span, and the others move up. Returns how
// many voices are still active.
template <class Voice, class Ended>
int dropEndedLanes(Voice** lane, double** out, int active, int done, int frames, Ended ended) {
    int kept = 0;
    for (int k = 0; k < active; ++k) {
        if (!ended(*lane[k])) {
            lane[kept] = lane[k];
            out[kept] = out[k];
            ++kept;
        } else {
            std::fill(out[k] + done, out[k] + frames, 0.0);
        }
    }
    return kept;
}

// The vector types of a kernel build: V holds one double per lane, Mask the result of comparing
// two V (all bits set where true).
struct Four {
    static constexpr int kCount = 4;
    using V = double __attribute__((vector_size(32)));
    using Mask = std::int64_t __attribute__((vector_size(32)));
};
struct Two {
    static constexpr int kCount = 2;
    using V = double __attribute__((vector_size(16)));
    using Mask = std::int64_t __attribute__((vector_size(16)));
};
struct Eight {
    static constexpr int kCount = 8;
    using V = double __attribute__((vector_size(64)));
    using Mask = std::int64_t __attribute__((vector_size(64)));
};

template <class V> constexpr int kCountOf = static_cast<int>(sizeof(V) / sizeof(double));

// The lanes are built with braces (in registers) rather than by assigning single elements,
// which would go through memory.
template <class V> [[gnu::always_inline]] inline V splat(double x) {
    if constexpr (kCountOf<V> == 8) {
        return V{x, x, x, x, x, x, x, x};
    } else if constexpr (kCountOf<V> == 4) {
        return V{x, x, x, x};
    } else {
        return V{x, x};
    }
}

// A vector (or mask) whose lane k is f(k).
template <class V, class F> [[gnu::always_inline]] inline V fromLanes(const F& f) {
    if constexpr (kCountOf<V> == 8) {
        return V{f(0), f(1), f(2), f(3), f(4), f(5), f(6), f(7)};
    } else if constexpr (kCountOf<V> == 4) {
        return V{f(0), f(1), f(2), f(3)};
    } else {
        return V{f(0), f(1)};
    }
}

// A vector of W whose lane j holds perLane[j % kLanes]: the values of kLanes voices repeated, for
// passes that hold several frames of those voices side by side.
template <class W, int kLanes> [[gnu::always_inline]] inline W repeatLanes(const double* perLane) {
    return fromLanes<W>([&](int j) { return perLane[j % kLanes]; });
}

template <class V, class M>
[[gnu::always_inline]] inline V select(const M& m, const V& a, const V& b) {
    return m ? a : b;
}

// Whether any lane of a comparison's result is set. GCC gets the sign-bit mask in one
// instruction (see atLeast for why only GCC).
template <class M> [[gnu::always_inline]] inline bool any(const M& m) {
#if defined(__clang__)
    if constexpr (kCountOf<M> == 4) {
        return (m[0] | m[1] | m[2] | m[3]) != 0;
    } else {
        return (m[0] | m[1]) != 0;
    }
#else
    if constexpr (kCountOf<M> == 4) {
        return __builtin_ia32_movmskpd256(reinterpret_cast<Four::V>(m)) != 0;
    } else {
        return __builtin_ia32_movmskpd(reinterpret_cast<Two::V>(m)) != 0;
    }
#endif
}

// Envelope follower toward t with coefficient k: e - ((e - t) k + 1e-24).
template <class V> [[gnu::always_inline]] inline V follow(const V& e, const V& t, const V& k) {
    return e - ((e - t) * k + 1e-24);
}

// The follower toward 0: e - (e k + 1e-24), the same value as follow(e, 0, k) (e - 0 is e).
template <class V> [[gnu::always_inline]] inline V fall(const V& e, const V& k) {
    return e - (e * k + 1e-24);
}

// A vector from (and into) consecutive doubles at p, without alignment.
template <class V> [[gnu::always_inline]] inline V load(const double* p) {
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

template <class V> [[gnu::always_inline]] inline void store(double* p, const V& v) {
    __builtin_memcpy(p, &v, sizeof v);
}

// The outputs of a kernel's lanes, one value per frame each. Lane k < count writes out[k]; a lane
// past `count` writes out[0], before lane 0 does, so that every lane is stored without a loop over
// the live ones and lane 0's own value is the one that stays.
template <class V> struct LaneOutputs {
    double* dst[kCountOf<V>];

    LaneOutputs(double* const* out, int count) {
        for (int k = 0; k < kCountOf<V>; ++k) {
            dst[k] = out[k < count ? k : 0];
        }
    }

    [[gnu::always_inline]] void put(int n, const V& y) const {
#pragma GCC unroll 4
        for (int k = kCountOf<V> - 1; k >= 0; --k) {
            dst[k][n] = y[k];
        }
    }
};

// x > lo ? x : lo and x < hi ? x : hi, lane by lane (a NaN lane gives the bound). The
// processor's max and min do exactly this (they return their second operand unless the first is
// greater or less) in one instruction, where the compiler would compare and blend. GCC expands
// the builtins in the kernels that inline these helpers, which are built for the vector width;
// clang, which checks them in the helpers themselves, gets the plain form (the sanitizer builds).
// The AVX-512 forms take a rounding argument: the current mode, as every other operation.
constexpr int kCurrentRounding = 4;

template <class V> [[gnu::always_inline]] inline V atLeast(const V& x, double lo) {
#if defined(__clang__)
    return select(x > lo, x, splat<V>(lo));
#else
    if constexpr (kCountOf<V> == 8) {
        return __builtin_ia32_maxpd512_mask(x, splat<V>(lo), x, 0xff, kCurrentRounding);
    } else if constexpr (kCountOf<V> == 4) {
        return __builtin_ia32_maxpd256(x, splat<V>(lo));
    } else {
        return __builtin_ia32_maxpd(x, splat<V>(lo));
    }
#endif
}

template <class V> [[gnu::always_inline]] inline V atMost(const V& x, double hi) {
#if defined(__clang__)
    return select(x < hi, x, splat<V>(hi));
#else
    if constexpr (kCountOf<V> == 8) {
        return __builtin_ia32_minpd512_mask(x, splat<V>(hi), x, 0xff, kCurrentRounding);
    } else if constexpr (kCountOf<V> == 4) {
        return __builtin_ia32_minpd256(x, splat<V>(hi));
    } else {
        return __builtin_ia32_minpd(x, splat<V>(hi));
    }
#endif
}

// Four (eight) 32-bit integers as doubles: one instruction, where GCC's own conversion takes
// four (eight).
using Index4 = std::int32_t __attribute__((vector_size(16)));
using Index8 = std::int32_t __attribute__((vector_size(32)));
[[gnu::always_inline]] inline Four::V toDoubles(const Index4& i) {
#if defined(__clang__)
    return __builtin_convertvector(i, Four::V);
#else
    return __builtin_ia32_cvtdq2pd256(i);
#endif
}
[[gnu::always_inline]] inline Eight::V toDoubles(const Index8& i) {
#if defined(__clang__)
    return __builtin_convertvector(i, Eight::V);
#else
    return __builtin_ia32_cvtdq2pd512_mask(i, Eight::V{}, 0xff);
#endif
}

// Linear interpolation in a table at positions u (already clamped into the table), lane by lane
// as detail::interpolateTable.
template <class V, std::size_t N>
[[gnu::always_inline]] inline V interpolate(const std::array<double, N>& table, const V& u) {
    using Pair = double __attribute__((vector_size(16)));
    if constexpr (kCountOf<V> == 8) {
        // As the four-lane form below: pairs 0, 2, 4, 6 and 1, 3, 5, 7 gathered into two
        // vectors, whose low and high halves of each 16 bytes are the a and b values in order.
        const Index8 i = __builtin_convertvector(u, Index8);
        const V position = toDoubles(i);
        const auto pair = [&table, &i ](int k) __attribute__((always_inline)) {
            Pair p;
            __builtin_memcpy(&p, table.data() + static_cast<std::uint32_t>(i[k]), sizeof p);
            return p;
        };
        using Quad = double __attribute__((vector_size(32)));
        const Quad even0 = __builtin_shufflevector(pair(0), pair(2), 0, 1, 2, 3);
        const Quad even1 = __builtin_shufflevector(pair(4), pair(6), 0, 1, 2, 3);
        const Quad odd0 = __builtin_shufflevector(pair(1), pair(3), 0, 1, 2, 3);
        const Quad odd1 = __builtin_shufflevector(pair(5), pair(7), 0, 1, 2, 3);
        const V even = __builtin_shufflevector(even0, even1, 0, 1, 2, 3, 4, 5, 6, 7);
        const V odd = __builtin_shufflevector(odd0, odd1, 0, 1, 2, 3, 4, 5, 6, 7);
        const V a = __builtin_shufflevector(even, odd, 0, 8, 2, 10, 4, 12, 6, 14);
        const V b = __builtin_shufflevector(even, odd, 1, 9, 3, 11, 5, 13, 7, 15);
        return a + (b - a) * (u - position);
    } else if constexpr (kCountOf<V> == 4) {
        // Four indices at once (truncation, as the scalar cast), converted back at once. The
        // indices are never negative, so they are read as unsigned: no sign extension.
        const Index4 i = __builtin_convertvector(u, Index4);
        const V position = toDoubles(i);
        // Each lane's two neighbours in one 16-byte load, then sorted into the a and b vectors
        // by two shuffles: fewer instructions than eight single loads and inserts.
        const auto pair = [&table, &i ](int k) __attribute__((always_inline)) {
            Pair p; // an unaligned load
            __builtin_memcpy(&p, table.data() + static_cast<std::uint32_t>(i[k]), sizeof p);
            return p;
        };
        const V even = __builtin_shufflevector(pair(0), pair(2), 0, 1, 2, 3);
        const V odd = __builtin_shufflevector(pair(1), pair(3), 0, 1, 2, 3);
        const V a = __builtin_shufflevector(even, odd, 0, 4, 2, 6);
        const V b = __builtin_shufflevector(even, odd, 1, 5, 3, 7);
        return a + (b - a) * (u - position);
    } else {
        const int i0 = static_cast<int>(u[0]);
        const int i1 = static_cast<int>(u[1]);
        const V a{table[i0], table[i1]};
        const V b{table[i0 + 1], table[i1 + 1]};
        const V position{static_cast<double>(i0), static_cast<double>(i1)};
        return a + (b - a) * (u - position);
    }
}

// tanhLookup and expLookup, lane by lane.
template <class V> [[gnu::always_inline]] inline V tanhLookup(const V& x) {
    constexpr double kFlat = LookupTables::kTanhFlat;
    const V y = atMost(atLeast(x, -kFlat), kFlat); // also catches NaN
    return interpolate(LookupTables::tanhTable, (y + 40.0) * 500.0);
}

template <class V> [[gnu::always_inline]] inline V expLookup(const V& x) {
    const V y = atMost(atLeast(x, -10.0), 3.0); // also catches NaN
    return interpolate(LookupTables::expTable, (y + 10.0) * 1000.0);
}

// softClip with a knee of its own in each lane: each lane reads the one tanh its branch needs.
template <class V>
[[gnu::always_inline]] inline V softClipEach(const V& x, const V& knee, double drive,
                                             double invDrive) {
    const auto above = x >= knee;
    const auto below = x <= -knee;
    const V t = tanhLookup<V>(select(above, (x - knee) * drive, (x + knee) * drive)) * invDrive;
    return select(above, knee + t, select(below, t - knee, x));
}

// softClip with the same knee in every lane.
template <class V>
[[gnu::always_inline]] inline V softClip(const V& x, double knee, double drive, double invDrive) {
    return softClipEach(x, splat<V>(knee), drive, invDrive);
}

} // namespace vorpalix::lanes
