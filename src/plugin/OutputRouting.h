#pragma once

#include <array>

#include "dsp/Instruments.h"
#include "dsp/OutputFrame.h"
#include "state/OutputConfig.h"

namespace vorpalix {

// Adds one frame to the current sample of each channel: the master to its channels, instrument i
// to the channel (or pair) of its output slot. Slots are 0..10, so no channel beyond the count
// is addressed. Audio thread.
inline void routeFrame(const OutputFrame& frame, const OutputConfig& config,
                       const std::array<int, kNumInstruments>& slots, float* const* channels) {
    const int m = config.masterChannels();
    if (m > 0) {
        *channels[0] += frame.values[0];
        if (m == 2) {
            *channels[1] += frame.values[0];
        }
    }
    if (config.instrumentsStereo) {
        for (int i = 0; i < kNumInstruments; ++i) {
            const int c = m + 2 * slots[i];
            *channels[c] += frame.values[i + 1];
            *channels[c + 1] += frame.values[i + 1];
        }
    } else {
        for (int i = 0; i < kNumInstruments; ++i) {
            *channels[m + slots[i]] += frame.values[i + 1];
        }
    }
}

} // namespace vorpalix
