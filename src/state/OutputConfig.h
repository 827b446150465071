#pragma once

namespace vorpalix {

// The output layout: an optional master (mono or a stereo pair), then one slot per instrument
// (a channel or a pair of channels). Read from the settings documents and fixed when the
// plug-in is created. Plain data: the user-interface thread reads it, and the audio thread keeps
// its own copy from then on.
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

} // namespace vorpalix
