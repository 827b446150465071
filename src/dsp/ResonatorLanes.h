#pragma once
// Four resonator stages stepped side by side, one per lane of a vector of doubles: each lane does
// exactly what ResonatorStage::step does, in the same order, so each stage's values are
// bit-identical to stepping it alone. Audio thread, inside a kernel built for the vector width.

#include "dsp/ResonatorStage.h"
#include "dsp/SimdLanes.h"

namespace vorpalix {

template <class V> struct ResonatorLanes : BasicResonatorStage<V> {
    static_assert(lanes::kCountOf<V> == 4, "one lane per stage");
    using Stages = ResonatorStage* const[4];
    using Lanes = BasicResonatorStage<V>;
    using Member = double ResonatorStage::*;
    using LaneMember = V Lanes::*;
    static constexpr Member kState[] = {
        &ResonatorStage::s0, &ResonatorStage::s1, &ResonatorStage::s2, &ResonatorStage::y1,
        &ResonatorStage::y2, &ResonatorStage::y3, &ResonatorStage::y4, &ResonatorStage::out};
    static constexpr LaneMember kLaneState[] = {&Lanes::s0, &Lanes::s1, &Lanes::s2, &Lanes::y1,
                                                &Lanes::y2, &Lanes::y3, &Lanes::y4, &Lanes::out};

    [[gnu::always_inline]] explicit ResonatorLanes(Stages& stages) {
        this->w = get(stages, &ResonatorStage::w);
        this->G = get(stages, &ResonatorStage::G);
        this->q = get(stages, &ResonatorStage::q);
        for (int m = 0; m < 8; ++m) {
            this->*kLaneState[m] = get(stages, kState[m]);
        }
    }

    [[gnu::always_inline]] void store(Stages& stages) const {
        for (int m = 0; m < 8; ++m) {
            for (int k = 0; k < 4; ++k) {
                stages[k]->*kState[m] = (this->*kLaneState[m])[k];
            }
        }
    }

private:
    [[gnu::always_inline]] static V get(Stages& stages, Member m) {
        return lanes::fromLanes<V>([&](int k) { return stages[k]->*m; });
    }
};

} // namespace vorpalix
