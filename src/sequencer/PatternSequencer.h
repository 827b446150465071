#pragma once

#include <cstdint>

typedef struct _xmlNode xmlNode;

namespace vst {
struct VstEvents;
}

namespace vorpalix {

class DrumPlugin;
class DrumEngine;

// The pattern sequencer: the 96 patterns, the chain player and the note player, and the timing
// that drives them sample by sample from the plug-in's block routine.
class PatternSequencer {
public:
    PatternSequencer(DrumPlugin& plugin, DrumEngine& engine);

    // Audio thread. Block start before the audition: clears the step and flam countdowns and
    // fixes the players' step lengths for the block.
    void beginBlock();
    // Audio thread. Block start after the audition: latches the sequencer controls, reads the host
    // time, computes the tempo, acts on the transport command and sets the MIDI countdown.
    void startBlock();
    // Audio thread. Per frame before rendering: due MIDI events, schedules, step and flam events.
    void runFrame();
    // Audio thread. Per frame after routing: advances every position by one sample.
    void endFrame();

    // Audio thread (called from processEvents). Queues the note events of the list.
    void queueEvents(const vst::VstEvents* events);

    // UI thread. Reads a PatternBank element into the 96 patterns.
    void readPatternBank(const xmlNode* element);

    // UI or audio thread. Called by the plug-in whenever the mode is set.
    void setChainFlag(bool chain) { chainFlag_ = chain; }
    bool chainFlag() const { return chainFlag_; }

private:
    DrumPlugin& plugin_;
    DrumEngine& engine_;
    bool chainFlag_ = true;
};

} // namespace vorpalix
