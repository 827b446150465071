#pragma once

// What the pattern editing operations and the randomizer need from the plug-in: the
// user-interface thread's copy of the patterns, the way changes reach playback, and playback as
// the audio thread last published it.
//
// Threads: user-interface thread.

#include "sequencer/Pattern.h"
#include "sequencer/PatternBank.h"
#include "sequencer/PlaybackSnapshot.h"
#include "sequencer/RandomizerGate.h"

namespace vorpalix {

enum class PatternAttribute { Flam, Shuffle, TotalAccent };

// What the editing operations and the randomizer need from the plug-in. Every operation that
// changes something returns false, changing nothing, when playback could not be told (its
// command queue was full).
class EditingHost {
public:
    virtual ~EditingHost() = default;

    // The patterns as the user-interface thread holds them.
    virtual const PatternBank& patterns() const = 0;
    // Pattern index (0..95) becomes pattern, here and in playback.
    virtual bool replacePattern(int index, const Pattern& pattern) = 0;
    // One step of pattern index written by the step rules (Pattern::setStep), here and in
    // playback.
    virtual bool writeStep(int index, int row, int step, int code) = 0;
    // One amount of pattern index; with toPlayback also handed to running playback at once.
    virtual bool setPatternAmount(int index, PatternAttribute attribute, float value,
                                  bool toPlayback) = 0;
    // The randomizer gate for playback and, when pattern is given, pattern index with it, both
    // taking effect in the same block.
    virtual bool sendRandomizer(const RandomizerGate& gate, int index, const Pattern* pattern) = 0;
    // The randomizer threshold of instrument 0..10.
    virtual float randomizerThreshold(int instrument) const = 0;

    // Playback as last published by the audio thread.
    virtual PlaybackView playback() const = 0;
    // The chained range: set to from..to, or extended to pattern.
    virtual bool setRange(int from, int to) = 0;
    virtual bool extendRange(int pattern) = 0;
    virtual bool patternAttributeStore() const = 0;
    // A direct hit of an instrument, played at the start of the next block.
    virtual bool requestAudition(int instrument, float velocity) = 0;
};

} // namespace vorpalix
