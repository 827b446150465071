#pragma once

// Fakes for the pattern editing and randomizer tests: a sequencer host that never plays on its
// own, a trigger sink that records hits, and an editing host that records what the operations
// hand to the plug-in. The players are moved by calling the sequencer's player operations.

#include "sequencer/PatternEditing.h"
#include "sequencer/PatternSequencer.h"
#include "sequencer/SequencerHost.h"

#include <string>
#include <vector>

namespace vorpalix::test {

class IdleSequencerHost : public SequencerHost {
public:
    SequencerControls requestedControls() override { return {}; }
    int takeTransportCommand() override { return 0; }
    const vst::VstTimeInfo* hostTime(vst::VstInt32) override { return nullptr; }
    double sampleRate() override { return 44100.0; }
    double internalTempo() override { return 120.0; }
    double shuffle() override { return 0.0; }
    double flam() override { return 0.121; }
    bool patternAttributeStore() override { return false; }
    void setShuffle(float) override {}
    void setFlam(float) override {}
    void setTotalAccentLevel(float) override {}
    int freeModeThreshold() override { return 100; }
};

struct Hit {
    int instrument;
    bool accent;
    bool totalAccent;
    bool operator==(const Hit&) const = default;
};

class RecordingSink : public StepTriggerSink {
public:
    void triggerStep(int i, bool accent, bool ta) override { hits.push_back({i, accent, ta}); }
    void triggerStepPlain(int i, bool accent, bool ta) override { hits.push_back({i, accent, ta}); }
    void triggerStepAccented(int i, bool accent, bool ta) override {
        hits.push_back({i, accent, ta});
    }
    std::vector<Hit> hits;
};

struct Audition {
    int instrument;
    float velocity;
};

class RecordingEditingHost : public EditingHost {
public:
    bool patternAttributeStore() override { return store; }
    void setShuffle(float value) override { amounts.push_back("shuffle " + std::to_string(value)); }
    void setFlam(float value) override { amounts.push_back("flam " + std::to_string(value)); }
    void setTotalAccentLevel(float value) override {
        amounts.push_back("totalAccent " + std::to_string(value));
    }
    void requestAudition(int instrument, float velocity) override {
        auditions.push_back({instrument, velocity});
    }

    bool store = true;
    std::vector<std::string> amounts;
    std::vector<Audition> auditions;
};

// A sequencer with fake surroundings and the editing model on it.
struct EditingFixture {
    IdleSequencerHost sequencerHost;
    RecordingSink sink;
    RecordingEditingHost editingHost;
    PatternSequencer sequencer{sequencerHost, sink};
    PatternEditing editing{sequencer, editingHost};

    Pattern& pattern(int index) { return sequencer.patterns()[index]; }
};

constexpr EditModifier kRelease{false, false};
constexpr EditModifier kReleaseControl{false, true};
constexpr EditModifier kHeld{true, false};

// The step codes of a row as text, one character per step: the code digit 0..7.
inline std::string rowCodes(const Pattern& pattern, int row) {
    std::string text;
    for (int step = 0; step < kPatternSteps; ++step) {
        text += static_cast<char>('0' + pattern.step(row, step).code());
    }
    return text;
}

// Sets a row from a text of step codes (digits), through the stored flags as they are.
inline void storeRowCodes(Pattern& pattern, int row, const std::string& codes) {
    for (int step = 0; step < kPatternSteps && step < static_cast<int>(codes.size()); ++step) {
        pattern.storeStep(row, step,
                          StepFlags::fromCode(codes[static_cast<std::size_t>(step)] - '0'));
    }
}

} // namespace vorpalix::test
