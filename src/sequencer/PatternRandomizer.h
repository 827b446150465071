#pragma once

// The pattern randomizer: generates new steps for one pattern from a seed and per-step templates,
// gives every generated step a random value that playback compares with its instrument's
// threshold, and on leaving the mode deletes the steps that did not pass. Earlier seeds are kept
// so the user can step back, and the steps as they were on entry can be restored.
//
// The playback side of the mode (the gate flag, the gated pattern and the random values of rows
// 0..10) is a RandomizerGate that this object keeps and sends to playback whole, together with
// the pattern it belongs to, so that a block never hears new steps with old random values. The
// thresholds are parameters 75..85, read through the editing host.
//
// Threads: user-interface thread only. Every operation that changes the pattern or the gate
// returns false, changing nothing, when playback could not be told.

#include <array>
#include <cstdint>
#include <vector>

#include "sequencer/EditingHost.h"
#include "sequencer/MersenneTwister.h"
#include "sequencer/Pattern.h"
#include "sequencer/RandomizerGate.h"

namespace vorpalix {

constexpr int kSeedRange = 1000000; // seeds are 1..1000000

class PatternRandomizer {
public:
    // Seeds the generator with 1234 and then at once with the calendar time in seconds + 1.
    explicit PatternRandomizer(EditingHost& host);
    PatternRandomizer(const PatternRandomizer&) = delete;
    PatternRandomizer& operator=(const PatternRandomizer&) = delete;

    // UI thread. Entering (on) makes editedPattern the randomized pattern, backs up its steps and
    // clears every random value; entering while the mode is on changes nothing, so the backup
    // taken on entry survives. Leaving (off) commits: every hit of rows 0..10 of the randomized
    // pattern whose random value is at least its instrument's threshold is deleted, then the
    // random values are cleared and editedPattern becomes the randomized pattern. An edited
    // pattern outside 0..95 is ignored.
    bool setRandomizerMode(bool on, int editedPattern);
    bool mode() const { return gate_.on; }
    int randomizedPattern() const { return randomized_; }
    // The gate as last sent to playback.
    const RandomizerGate& gate() const { return gate_; }

    // UI thread, mode on only. Pushes the current seed (if any) onto the history, draws a new
    // seed 1..1000000 from the running generator, reseeds with it and generates.
    bool randomizeNew();
    // UI thread, mode on only. Pops the last seed from the history, reseeds with it and generates;
    // nothing when the history is empty. The seed that was current is dropped.
    bool randomizePrevious();
    // UI thread, mode on only. The randomized pattern's steps return to the backup taken on entry
    // and every random value is cleared. Seed and history stay.
    bool restoreRandomizedPattern();

    // UI thread. Template of one step (a step code); rows outside 0..11 or steps outside 0..15
    // are ignored.
    void setTemplate(int row, int step, int code);
    int templateCode(int row, int step) const;
    // UI thread. Row 0..10 is randomized when buttonState or control is set; with control every
    // other row is disabled. Other rows are ignored.
    void setRowEnable(int row, bool buttonState, bool control);
    bool rowEnabled(int row) const;

    std::uint32_t currentSeed() const { return seed_; }
    bool hasHistory() const { return !history_.empty(); }
    std::size_t historySize() const { return history_.size(); }

    // UI thread. Reseeds the running generator, from which new seeds are drawn (tests use it for
    // reproducible runs).
    void seedGenerator(std::uint32_t seed) { generator_.setSeed(seed); }

private:
    // Reseeds with seed and rewrites the randomized pattern's randomized rows: for each
    // row 0..11 and step 0..15 one 32-bit draw for the random value and three fair bits a, b, c
    // that choose note, flam and accent within the template. Rows that are not randomized draw
    // the same values, discard them and keep their steps. The TA row is always randomized.
    bool generate(std::uint32_t seed);

    EditingHost& host_;
    RandomizerGate gate_;
    MersenneTwister generator_;
    std::uint32_t seed_ = 0;
    std::vector<std::uint32_t> history_;

    int randomized_ = 0;
    std::array<StepFlags, kPatternRows * kPatternSteps> backup_{};
    std::array<std::uint8_t, kPatternRows * kPatternSteps> templates_;
    std::array<bool, kPatternRows> rowEnabled_;
};

} // namespace vorpalix
