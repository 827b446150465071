#pragma once

// The stateless stages of the bass drum and the snare drum, computed over a part of frames with
// consecutive frames side by side in the lanes of a vector (lanes::Eight in the AVX-512 build of
// a pass, lanes::Four in the AVX2 build, lanes::Two in the baseline build). Every operation acts on
// each lane as the scalar formula acts on one frame, so each frame's result is bit-identical to the
// frame-by-frame code.

#include "dsp/SimdLanes.h"

#include <algorithm>

// GCC's basic-block vectorizer pairs a voice's state values in vector registers through the
// whole frame loop, for the sake of the few stores that write them back after it, and pays with
// packing and unpacking in every frame. Render functions where that happens turn it off;
// the sanitizer builds (clang) need no hint.
#if defined(__clang__)
#define VORPALIX_KEEP_STATE_SCALAR
#else
#define VORPALIX_KEEP_STATE_SCALAR __attribute__((optimize("no-tree-slp-vectorize")))
#endif

namespace vorpalix::lanes {

// Parts of at most kPartFrames frames; each array of a part has room for seven more entries, so
// that a pass over whole vectors of eight frames reads defined values past the part's last frame
// once padFrames has cleared them.
constexpr int kPartFrames = 64;
constexpr int kPartRoom = kPartFrames + 7;

[[gnu::always_inline]] inline void padFrames(double* p, int frames) {
    std::fill(p + frames, p + frames + 7, 0.0);
}

// A pass over a part in each build: Pass::run<V>(part, frames) instantiated for the vector width.
template <class Pass, class Part> [[VORPALIX_AVX512]] void runPassAvx512(Part& p, int frames) {
    Pass::template run<Eight::V>(p, frames);
}

template <class Pass, class Part> [[gnu::target("avx2")]] void runPassAvx2(Part& p, int frames) {
    Pass::template run<Four::V>(p, frames);
}

template <class Pass, class Part> void runPassBase(Part& p, int frames) {
    Pass::template run<Two::V>(p, frames);
}

// Runs a pass over frames 0..frames-1 of a part in the widest build the processor has.
template <class Pass, class Part> void runPass(Part& p, int frames) {
    if (hasAvx512()) {
        runPassAvx512<Pass>(p, frames);
    } else if (hasAvx2()) {
        runPassAvx2<Pass>(p, frames);
    } else {
        runPassBase<Pass>(p, frames);
    }
}

} // namespace vorpalix::lanes
