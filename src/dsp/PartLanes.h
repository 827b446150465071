#pragma once

// The stateless stages of the bass drum and the snare drum, computed over a part of frames with
// consecutive frames side by side in the lanes of a vector (lanes::Four in the AVX2 build of a
// pass, lanes::Two in the baseline build). Every operation acts on each lane as the scalar
// formula acts on one frame, so each frame's result is bit-identical to the frame-by-frame code.

#include "dsp/SimdLanes.h"

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

// Parts of at most kPartFrames frames; each array of a part has room for three more entries, so
// that a pass over whole vectors of four frames reads defined values past the part's last frame
// once padFrames has cleared them.
constexpr int kPartFrames = 64;
constexpr int kPartRoom = kPartFrames + 3;

[[gnu::always_inline]] inline void padFrames(double* p, int frames) {
    p[frames] = 0.0;
    p[frames + 1] = 0.0;
    p[frames + 2] = 0.0;
}

} // namespace vorpalix::lanes
