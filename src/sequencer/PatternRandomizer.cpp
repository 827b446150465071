#include "sequencer/PatternRandomizer.h"

#include <algorithm>
#include <cmath>
#include <ctime>

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

PatternRandomizer::PatternRandomizer(EditingHost& host) : host_(host) {
    templates_.fill(kDefaultTemplate);
    rowEnabled_.fill(true);
    generator_.setSeed(kInitialSeed);
    generator_.setSeed(static_cast<std::uint32_t>(std::time(nullptr)) + 1u);
}

bool PatternRandomizer::setRandomizerMode(bool on, int editedPattern) {
    const bool validEdited = isValidPattern(editedPattern);
    if (on) {
        if (mode() || !validEdited) {
            return true;
        }
        // The gate goes on with every random value cleared, so playback never filters with
        // stale values.
        RandomizerGate gate;
        gate.on = true;
        gate.pattern = editedPattern;
        if (!host_.sendRandomizer(gate, editedPattern, nullptr)) {
            return false;
        }
        const Pattern& pattern = host_.patterns()[editedPattern];
        for (int row = 0; row < kPatternRows; ++row) {
            for (int step = 0; step < kPatternSteps; ++step) {
                backup_[cell(row, step)] = pattern.step(row, step);
            }
        }
        gate_ = gate;
        randomized_ = editedPattern;
        return true;
    }

    if (!mode()) {
        if (validEdited) {
            randomized_ = editedPattern;
        }
        return true;
    }
    // The random values belong to the pattern that was randomized; it is the one committed, even
    // when the edited pattern has moved on meanwhile.
    Pattern pattern = host_.patterns()[randomized_];
    for (int row = 0; row < kRandomizerInstruments; ++row) {
        const float limit = host_.randomizerThreshold(row);
        for (int step = 0; step < kPatternSteps; ++step) {
            if (gate_.value(row, step) >= limit) {
                pattern.storeStep(row, step, StepFlags{});
            }
        }
    }
    RandomizerGate gate;
    gate.pattern = randomized_;
    if (!host_.sendRandomizer(gate, randomized_, &pattern)) {
        return false;
    }
    gate_ = gate;
    if (validEdited) {
        randomized_ = editedPattern;
    }
    return true;
}

bool PatternRandomizer::randomizeNew() {
    if (!mode()) {
        return false;
    }
    const MersenneTwister before = generator_;
    const std::uint32_t seed = generator_.uniformBelow(kSeedRange) + 1u;
    const std::uint32_t previous = seed_;
    if (!generate(seed)) {
        generator_ = before;
        return false;
    }
    if (previous != 0) {
        history_.push_back(previous);
    }
    return true;
}

bool PatternRandomizer::randomizePrevious() {
    if (!mode() || history_.empty()) {
        return false;
    }
    const MersenneTwister before = generator_;
    if (!generate(history_.back())) {
        generator_ = before;
        return false;
    }
    history_.pop_back();
    return true;
}

bool PatternRandomizer::restoreRandomizedPattern() {
    if (!mode()) {
        return false;
    }
    Pattern pattern = host_.patterns()[randomized_];
    for (int row = 0; row < kPatternRows; ++row) {
        for (int step = 0; step < kPatternSteps; ++step) {
            pattern.storeStep(row, step, backup_[cell(row, step)]);
        }
    }
    RandomizerGate gate = gate_;
    gate.clearValues();
    if (!host_.sendRandomizer(gate, randomized_, &pattern)) {
        return false;
    }
    gate_ = gate;
    return true;
}

bool PatternRandomizer::generate(std::uint32_t seed) {
    generator_.setSeed(seed);
    Pattern pattern = host_.patterns()[randomized_];
    RandomizerGate gate = gate_;
    for (int row = 0; row < kPatternRows; ++row) {
        const bool randomized =
            row == kTotalAccentRow || rowEnabled_[static_cast<std::size_t>(row)];
        for (int step = 0; step < kPatternSteps; ++step) {
            const float u = unitFloat(generator_.next());
            const std::uint32_t a = generator_.uniformBelow(2);
            const std::uint32_t b = generator_.uniformBelow(2);
            const std::uint32_t c = generator_.uniformBelow(2);
            if (!randomized) {
                gate.setValue(row, step, kNoRandomValue);
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
            gate.setValue(row, step, u);
            pattern.setStep(row, step, code);
        }
    }
    if (!host_.sendRandomizer(gate, randomized_, &pattern)) {
        return false;
    }
    gate_ = gate;
    seed_ = seed;
    return true;
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
