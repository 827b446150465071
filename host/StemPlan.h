#pragma once

#include "ChunkSummary.h"

#include <optional>
#include <string>
#include <vector>

namespace vorpalix::host {

// The output layout as the pins show it: master channels (0, 1 or 2) first, then eleven
// instrument slots of one or two channels each.
struct OutputLayout {
    int masterChannels = 2;
    bool instrumentsStereo = true;

    int channelCount() const {
        return masterChannels + kInstrumentCount * (instrumentsStereo ? 2 : 1);
    }
};

// One stem file: its name and the plug-in channels it takes, in file channel order.
struct StemFile {
    std::string name;
    std::vector<int> channels;
};

// The layout from the pin labels ("VX Master" for the master) and stereo flags; nothing when the
// pins do not form a layout of this instrument.
struct PinDescription {
    std::string label;
    bool stereo = false;
};
std::optional<OutputLayout> layoutFromPins(const std::vector<PinDescription>& pins);

class PluginHost;
// The output pins as a loaded plug-in labels them (an empty description where it gives none).
std::vector<PinDescription> outputPinsOf(PluginHost& host);

// The file name of an instrument ("bass-drum", ..., "ride").
const std::string& instrumentStemName(int instrument);

// One file per output that carries something: "master.wav" with the master's channels, then each
// instrument slot with at least one instrument routed to it, named after that instrument
// ("snare-drum.wav") or, when several share it, after the slot ("out-3.wav", slots counted from
// 1). A slot is one file of two channels (stereo outputs) or one channel (mono outputs).
std::vector<StemFile> planStems(const OutputLayout& layout, const ChunkSummary& routing);

} // namespace vorpalix::host
