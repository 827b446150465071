#pragma once

// The playback side of randomizer mode: while the gate is on, only the gated pattern sounds, and
// of it only the instruments whose random value at the step lies below their threshold. The
// randomizer fills it on the user-interface thread and sends it to playback whole, together
// with the pattern it belongs to.

#include <array>
#include <cstddef>

#include "sequencer/Pattern.h"

namespace vorpalix {

constexpr int kRandomizerInstruments = kNumInstruments; // rows 0..10 are filtered; TA never is
constexpr float kNoRandomValue = -1.0f; // a step without a random value always sounds

struct RandomizerGate {
    bool on = false;
    int pattern = -1;
    std::array<float, kRandomizerInstruments * kPatternSteps> values;

    RandomizerGate() { clearValues(); }

    // 0.0 outside rows 0..10 and steps 0..15.
    float value(int instrument, int step) const {
        return valid(instrument, step) ? values[cell(instrument, step)] : 0.0f;
    }
    void setValue(int instrument, int step, float value) {
        if (valid(instrument, step)) {
            values[cell(instrument, step)] = value;
        }
    }
    void clearValues() { values.fill(kNoRandomValue); }

private:
    static bool valid(int instrument, int step) {
        return instrument >= 0 && instrument < kRandomizerInstruments && step >= 0 &&
               step < kPatternSteps;
    }
    static std::size_t cell(int instrument, int step) {
        return static_cast<std::size_t>(instrument * kPatternSteps + step);
    }
};

} // namespace vorpalix
