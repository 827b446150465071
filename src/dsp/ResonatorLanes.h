#pragma once
// Four resonator stages stepped side by side, one per lane of a vector of doubles: each lane does
// exactly what ResonatorStage::step does, in the same order, so each stage's values are
// bit-identical to stepping it alone. Audio thread, inside a kernel built for the vector width.

#include "dsp/ResonatorStage.h"
#include "dsp/SimdLanes.h"

namespace vorpalix {

template <class V> struct ResonatorLanes {
    static_assert(lanes::kCountOf<V> == 4, "one lane per stage");
    using Stages = ResonatorStage* const[4];

    V w, G, q, s0, s1, s2, y1, y2, y3, y4, out;

    [[gnu::always_inline]] explicit ResonatorLanes(Stages& stages)
        : w(get(stages, &ResonatorStage::w)), G(get(stages, &ResonatorStage::G)),
          q(get(stages, &ResonatorStage::q)), s0(get(stages, &ResonatorStage::s0)),
          s1(get(stages, &ResonatorStage::s1)), s2(get(stages, &ResonatorStage::s2)),
          y1(get(stages, &ResonatorStage::y1)), y2(get(stages, &ResonatorStage::y2)),
          y3(get(stages, &ResonatorStage::y3)), y4(get(stages, &ResonatorStage::y4)),
          out(get(stages, &ResonatorStage::out)) {}

    [[gnu::always_inline]] void store(Stages& stages) const {
        for (int k = 0; k < 4; ++k) {
            ResonatorStage& stage = *stages[k];
            stage.s0 = s0[k];
            stage.s1 = s1[k];
            stage.s2 = s2[k];
            stage.y1 = y1[k];
            stage.y2 = y2[k];
            stage.y3 = y3[k];
            stage.y4 = y4[k];
            stage.out = out[k];
        }
    }

    [[gnu::always_inline]] static V clampUnit(const V& x) {
        return lanes::select(x < -1.0, lanes::splat<V>(-1.0),
                             lanes::select(x > 1.0, lanes::splat<V>(1.0), x));
    }

    // ResonatorStage::step with input u and bias per lane; returns the outputs.
    [[gnu::always_inline]] V step(const V& u, const V& bias) {
        s1 = clampUnit(s0);
        s0 = 0.418 * s0 + 0.582 * G * y4;
        s2 = 0.36 * s0 + 0.64 * s1;
        const V v = 1.0 - w;
        y1 = clampUnit((u - s2) * w + v * y1 + bias);
        y2 = v * y2 + w * y1 + bias;
        y3 = v * y3 + w * y2 + bias;
        y4 = v * y4 + w * y3 + bias;
        out = (y1 - y4) * q;
        return out;
    }

private:
    [[gnu::always_inline]] static V get(Stages& stages, double ResonatorStage::*m) {
        return lanes::fromLanes<V>([&](int k) { return stages[k]->*m; });
    }
};

} // namespace vorpalix
