#pragma once

#include "dsp/Instruments.h"

namespace vorpalix {

// One rendered sample frame: [0] the master mix, [1 + i] instrument i (BD, SD, ..., RD).
struct OutputFrame {
    static constexpr int kMaster = 0;
    static constexpr int kSize = 1 + kNumInstruments;
    float values[kSize];
};

} // namespace vorpalix
