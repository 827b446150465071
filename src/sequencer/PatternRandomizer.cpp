#include "sequencer/PatternRandomizer.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "sequencer/PatternSequencer.h"

namespace vorpalix {

namespace {

constexpr int kDefaultTemplate = kStepNote | kStepAccent;
constexpr int kInitialSeed = 1234;

bool validCell(int row, int step) {
    return row >= 0 && row < kPatternRows && step >= 0 && step < kPatternSteps;
}

std::size_t cell(int row, int step) {
    return static_cast<std::size_t>(row * kPatternSteps + step);
}

// A 32-bit value scaled by 2^-32 into a float below 1. Rounding to float could give exactly 1.0
// for the largest values, which no threshold could pass; those stay just below 1.
float unitFloat(std::uint32_t value) {
    const float u = static_cast<float>(static_cast<double>(value) * 0x1p-32);
    return u < 1.0f ? u : std::nextafter(1.0f, 0.0f);
}

} // namespace

PatternRandomizer::PatternRandomizer(PatternSequencer& sequencer) : sequencer_(sequencer) {
    templates_.fill(kDefaultTemplate);
    rowEnabled_.fill(true);
    generator_.setSeed(kInitialSeed);
    generator_.setSeed(static_cast<std::uint32_t>(std::time(nullptr)) + 1u);
}

bool PatternRandomizer::mode() const {
    return sequencer_.randomizerGateOn();
}

int PatternRandomizer::randomizedPattern() const {
    return randomized_;
}

void PatternRandomizer::clearRandomValues() {
    for (int row = 0; row < kRandomizerInstruments; ++row) {
        for (int step = 0; step < kPatternSteps; ++step) {
            sequencer_.setRandomValue(row, step, kNoRandomValue);
        }
    }
}

void PatternRandomizer::setRandomizerMode(bool on, int editedPattern) {
    const bool validEdited = isValidPattern(editedPattern);
    if (on) {
        if (mode() || !validEdited) {
            return;
        }
        const Pattern& pattern = sequencer_.patterns()[editedPattern];
        for (int row = 0; row < kPatternRows; ++row) {
            for (int step = 0; step < kPatternSteps; ++step) {
                backup_[cell(row, step)] = pattern.step(row, step);
            }
        }
        clearRandomValues();
        // The gate goes on last, so playback never filters with stale values.
        randomized_ = editedPattern;
        sequencer_.setRandomizerGate(true, editedPattern);
        return;
    }

    if (!mode()) {
        if (validEdited) {
            randomized_ = editedPattern;
        }
        return;
    }
    sequencer_.setRandomizerGate(false, randomized_);
    // The random values belong to the pattern that was randomized; it is the one committed, even
    // when the edited pattern has moved on meanwhile.
    Pattern& pattern = sequencer_.patterns()[randomized_];
    for (int row = 0; row < kRandomizerInstruments; ++row) {
        const float limit = sequencer_.randomizerThreshold(row);
        for (int step = 0; step < kPatternSteps; ++step) {
            if (sequencer_.randomValue(row, step) >= limit) {
                pattern.storeStep(row, step, StepFlags{});
            }
        }
    }
    clearRandomValues();
    if (validEdited) {
        randomized_ = editedPattern;
    }
}

void PatternRandomizer::randomizeNew() {
    if (!mode()) {
        return;
    }
    if (seed_ != 0) {
        history_.push_back(seed_);
    }
    const std::uint32_t seed = generator_.uniformBelow(kSeedRange) + 1u;
    generate(seed);
}

void PatternRandomizer::randomizePrevious() {
    if (!mode() || history_.empty()) {
        return;
    }
    const std::uint32_t seed = history_.back();
    history_.pop_back();
    generate(seed);
}

void PatternRandomizer::restoreRandomizedPattern() {
    if (!mode()) {
        return;
    }
    Pattern& pattern = sequencer_.patterns()[randomized_];
    for (int row = 0; row < kPatternRows; ++row) {
        for (int step = 0; step < kPatternSteps; ++step) {
            pattern.storeStep(row, step, backup_[cell(row, step)]);
        }
    }
    clearRandomValues();
}

void PatternRandomizer::generate(std::uint32_t seed) {
    seed_ = seed;
    generator_.setSeed(seed);
    Pattern& pattern = sequencer_.patterns()[randomized_];
    for (int row = 0; row < kPatternRows; ++row) {
        const bool randomized =
            row == kTotalAccentRow || rowEnabled_[static_cast<std::size_t>(row)];
        for (int step = 0; step < kPatternSteps; ++step) {
            const float u = unitFloat(generator_.next());
            const std::uint32_t a = generator_.uniformBelow(2);
            const std::uint32_t b = generator_.uniformBelow(2);
            const std::uint32_t c = generator_.uniformBelow(2);
            if (!randomized) {
                if (row < kRandomizerInstruments) {
                    sequencer_.setRandomValue(row, step, kNoRandomValue);
                }
                continue;
            }
            const int t = templates_[cell(row, step)];
            int code = (t & kStepNote) != 0 && a == 1 ? kStepNote : 0;
            if ((t & kStepFlam) != 0) {
                code = b == 1 ? kStepFlam : 0;
            }
            if (code != 0 && (t & kStepAccent) != 0 && c == 1) {
                code |= kStepAccent;
            }
            // The value is in place before the step, so a new hit is never heard unfiltered.
            if (row < kRandomizerInstruments) {
                sequencer_.setRandomValue(row, step, u);
            }
            pattern.setStep(row, step, code);
        }
    }
}

void PatternRandomizer::setTemplate(int row, int step, int code) {
    if (validCell(row, step)) {
        templates_[cell(row, step)] = static_cast<std::uint8_t>(code & 7);
    }
}

int PatternRandomizer::templateCode(int row, int step) const {
    return validCell(row, step) ? templates_[cell(row, step)] : 0;
}

void PatternRandomizer::setRowEnable(int row, bool buttonState, bool control) {
    if (row < 0 || row >= kRandomizerInstruments) {
        return;
    }
    if (control) {
        rowEnabled_.fill(false);
    }
    rowEnabled_[static_cast<std::size_t>(row)] = buttonState || control;
}

bool PatternRandomizer::rowEnabled(int row) const {
    if (row == kTotalAccentRow) {
        return true;
    }
    return row >= 0 && row < kPatternRows && rowEnabled_[static_cast<std::size_t>(row)];
}

} // namespace vorpalix
