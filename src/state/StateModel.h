#pragma once

// The instrument's state as the settings documents and the chunk read and write it. The plug-in
// keeps every part on the user-interface thread (its copies of the patterns and the controller
// map among them); after a document has changed the model, the plug-in sends the result to the
// audio thread as one whole state.

#include <array>

#include "dsp/Instruments.h"
#include "sequencer/SequencerHost.h"
#include "state/OutputConfig.h"

namespace vorpalix {

class ControllerMap;
class ParameterTable;
class PatternBank;
class PatternEditing;
class PresetBank;

// The sequencer settings that documents carry besides the patterns.
struct SequencerSettings {
    SequencerControls controls; // state, sync, mode
    bool attributeStore = true; // each pattern's own amounts drive playback
    int rangeFrom = 0;          // the chained range
    int rangeTo = 0;
    int freeModeThreshold = 100; // free mode: the velocity that starts a pattern
    bool operator==(const SequencerSettings&) const = default;
};

// The host parameter values, set through the plug-in's own parameter path (clamping, NaN
// ignored, the knobs feeding the selected presets).
class ParameterValues {
public:
    virtual ~ParameterValues() = default;
    virtual float value(int index) const = 0;
    virtual void setValue(int index, float value) = 0;
};

struct StateModel {
    const ParameterTable& parameters;
    ParameterValues& values;
    SequencerSettings& sequencer;
    std::array<int, kNumInstruments>& outputSlots;
    OutputConfig& outputConfig;
    PatternBank& patterns;
    PresetBank& presets;
    ControllerMap& controllers;
    // The editor's edit state, while one exists; documents skip the editor state without it.
    PatternEditing* editing = nullptr;
    // Set by a reader that applied a PatternRange (which also moves the chain's next pattern).
    bool rangeRead = false;
};

} // namespace vorpalix
