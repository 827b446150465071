#pragma once

#include <array>

#include "dsp/OutputFrame.h"

namespace vorpalix {

// The output layout: an optional master (mono or a stereo pair), then one slot per instrument
// (a channel or a pair of channels). Fixed when the plug-in is created.
struct OutputConfig {
    bool masterOn = true;
    bool masterStereo = true;
    bool instrumentsStereo = true;

    // Number of master channels: 0 (off), 1 (mono) or 2 (stereo).
    int masterChannels() const { return masterOn ? (masterStereo ? 2 : 1) : 0; }
    // Number of instrument channels: 11 (mono) or 22 (stereo).
    int instrumentChannels() const { return instrumentsStereo ? 22 : 11; }
    int outputCount() const { return masterChannels() + instrumentChannels(); }
};

// Adds one frame to the current sample of each channel: the master to its channels, instrument i
// to the channel (or pair) of its output slot. Slots are 0..10, so no channel beyond the count
// is addressed. Audio thread.
inline void routeFrame(const OutputFrame& frame, const OutputConfig& config,
                       const std::array<int, 11>& slots, float* const* channels) {
    const int m = config.masterChannels();
    if (m > 0) {
        *channels[0] += frame.values[0];
        if (m == 2) {
            *channels[1] += frame.values[0];
        }
    }
    if (config.instrumentsStereo) {
        for (int i = 0; i < 11; ++i) {
            const int c = m + 2 * slots[i];
            *channels[c] += frame.values[i + 1];
            *channels[c + 1] += frame.values[i + 1];
        }
    } else {
        for (int i = 0; i < 11; ++i) {
            *channels[m + slots[i]] += frame.values[i + 1];
        }
    }
}

} // namespace vorpalix
