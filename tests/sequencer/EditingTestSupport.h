#pragma once

// Fakes for the pattern editing and randomizer tests: a sequencer host that never plays on its
// own, a trigger sink that records hits, and an editing host that keeps the user interface's
// copy of the patterns, hands every change straight to a real sequencer (as the plug-in's audio
// thread would at its next block) and records what else the operations send. The players are
// moved by calling the sequencer's player operations.

#include "sequencer/EditingHost.h"
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
    TransportInfo transport() override { return {}; }
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

class DirectEditingHost : public EditingHost {
public:
    explicit DirectEditingHost(PatternSequencer& sequencer) : sequencer_(sequencer) {}

    const PatternBank& patterns() const override { return bank; }
    bool replacePattern(int index, const Pattern& pattern) override {
        if (refuse) {
            return false;
        }
        bank[index] = pattern;
        sequencer_.replacePattern(index, pattern);
        return true;
    }
    bool writeStep(int index, int row, int step, int code) override {
        if (refuse) {
            return false;
        }
        bank[index].setStep(row, step, code);
        sequencer_.writeStep(index, row, step, code);
        return true;
    }
    bool setPatternAmount(int index, PatternAttribute attribute, float value,
                          bool toPlayback) override {
        if (refuse) {
            return false;
        }
        Pattern& p = bank[index];
        const char* name = "";
        float applied = 0.0f;
        switch (attribute) {
        case PatternAttribute::Flam:
            p.setFlam(value);
            name = "flam ";
            applied = p.flam();
            break;
        case PatternAttribute::Shuffle:
            p.setShuffle(value);
            name = "shuffle ";
            applied = p.shuffle();
            break;
        case PatternAttribute::TotalAccent:
            p.setTotalAccent(value);
            name = "totalAccent ";
            applied = p.totalAccent();
            break;
        }
        sequencer_.replacePattern(index, p);
        if (toPlayback) {
            amounts.push_back(name + std::to_string(applied));
        }
        return true;
    }
    bool sendRandomizer(const RandomizerGate& gate, int index, const Pattern* pattern) override {
        if (refuse) {
            return false;
        }
        sequencer_.setRandomizerGate(gate);
        if (pattern != nullptr) {
            bank[index] = *pattern;
            sequencer_.replacePattern(index, *pattern);
        }
        return true;
    }
    float randomizerThreshold(int instrument) const override {
        return sequencer_.randomizerThreshold(instrument);
    }
    PlaybackView playback() const override { return sequencer_.view(); }
    bool setRange(int from, int to) override {
        if (refuse) {
            return false;
        }
        sequencer_.setRange(from, to);
        return true;
    }
    bool extendRange(int pattern) override {
        if (refuse) {
            return false;
        }
        sequencer_.extendRange(pattern);
        return true;
    }
    bool patternAttributeStore() const override { return store; }
    bool requestAudition(int instrument, float velocity) override {
        if (refuse) {
            return false;
        }
        auditions.push_back({instrument, velocity});
        return true;
    }

    // Hands the whole copy to the sequencer, after a test wrote patterns into it directly.
    void sync() { sequencer_.replaceBank(std::make_unique<PatternBank>(bank)); }

    PatternBank bank;
    bool store = true;
    // While set, every change is refused, as a full command queue would.
    bool refuse = false;
    std::vector<std::string> amounts;
    std::vector<Audition> auditions;

private:
    PatternSequencer& sequencer_;
};

// A sequencer with fake surroundings and the editing model on it.
struct EditingFixture {
    IdleSequencerHost sequencerHost;
    RecordingSink sink;
    PatternSequencer sequencer{sequencerHost, sink};
    DirectEditingHost editingHost{sequencer};
    PatternEditing editing{editingHost};

    // The user interface's copy; call editingHost.sync() before playing what a test wrote here.
    Pattern& pattern(int index) { return editingHost.bank[index]; }
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
