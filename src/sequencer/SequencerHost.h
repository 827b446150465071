#pragma once

// What the pattern sequencer needs from its surroundings: the plug-in's controls, clock and
// amounts (SequencerHost) and somewhere to send its hits (StepTriggerSink). The plug-in connects
// them to DrumPlugin and DrumEngine; tests connect fakes, so that the sequencer's timing can be
// checked sample by sample on its own.
//
// Every operation is called on the audio thread, from the block routine, and must not allocate,
// lock or block.

#include "plugin/VstInterface.h"

namespace vorpalix {

// The sequencer controls as requested by the editor or the documents; latched at block start.
struct SequencerControls {
    bool state = true; // the internal sequencer is on
    int sync = 1;      // 0 internal clock, 1 external (host tempo and position)
    int mode = 0;      // 0 chain, 1 normal, 2 free
};

class SequencerHost {
public:
    virtual ~SequencerHost() = default;

    virtual SequencerControls requestedControls() = 0;
    // The one-shot transport command (0 none, 1 Play, 2 StopCont), reset to none by the call.
    virtual int takeTransportCommand() = 0;
    // The host's time record for the filter, or nullptr when the host gives none.
    virtual const vst::VstTimeInfo* hostTime(vst::VstInt32 filter) = 0;
    virtual double sampleRate() = 0;
    // The internal clock's tempo in BPM.
    virtual double internalTempo() = 0;
    // Shuffle and flam as fractions of a step.
    virtual double shuffle() = 0;
    virtual double flam() = 0;
    // While on, every step and flam event first applies its pattern's own amounts.
    virtual bool patternAttributeStore() = 0;
    // Knob values 0..1 of the pattern amounts, applied unconditionally.
    virtual void setShuffle(float value) = 0;
    virtual void setFlam(float value) = 0;
    virtual void setTotalAccentLevel(float value) = 0;
    // Free mode: note-on velocities at or above this start a pattern.
    virtual int freeModeThreshold() = 0;
};

// The engine's step triggers: a plain step hit, the plain first hit of a flam step, and the
// louder delayed hit of a flam step (velocities are the engine's business).
class StepTriggerSink {
public:
    virtual ~StepTriggerSink() = default;
    virtual void triggerStep(int instrument, bool accent, bool totalAccent) = 0;
    virtual void triggerStepPlain(int instrument, bool accent, bool totalAccent) = 0;
    virtual void triggerStepAccented(int instrument, bool accent, bool totalAccent) = 0;
};

} // namespace vorpalix
