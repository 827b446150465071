#include "sequencer/PatternEditing.h"

#include <array>
#include <cmath>

#include "sequencer/PatternRescale.h"

namespace vorpalix {

namespace {

constexpr int kStepKeys = 16;
constexpr int kPatternKeys = 12;               // keys 0..11 pick a pattern within the group
constexpr int kPairedTapKeys = 10;             // keys 0..9 play BD..HT in accented / plain pairs
constexpr int kFirstSingleTapInstrument = kRS; // keys 10..15 play RS..RD

// Key values are the states of a step button (multiples of 0.2), compared with a margin.
bool keyValueIs(float value, float reference) {
    return std::fabs(value - reference) < 0.01f;
}

} // namespace

PatternEditing::PatternEditing(EditingHost& host) : host_(host), randomizer_(host) {}

const Pattern& PatternEditing::editedPattern() const {
    return host_.patterns()[state_.editedPattern];
}

// --- Mode switches ---------------------------------------------------------------------------

void PatternEditing::setWriteMode(bool on) {
    if (on) {
        state_.writeMode = true;
        setEditedPattern(host_.playback().currentPattern());
        return;
    }
    state_.writeMode = false;
    setRandomizerMode(false);
    state_.lastStepMode = false;
    state_.tapMode = false;
    state_.flamMode = false;
    state_.rescaleMode = false;
    state_.rescaleChoosing = false;
}

bool PatternEditing::setRandomizerMode(bool on) {
    if (on == state_.randomizerMode) {
        return true;
    }
    if (!randomizer_.setRandomizerMode(on, state_.editedPattern)) {
        return false;
    }
    state_.randomizerMode = on;
    return true;
}

void PatternEditing::setRescaleMode(bool on) {
    if (!on) {
        const bool convert = state_.rescaleMode && state_.rescaleTarget != state_.rescaleStart;
        state_.rescaleMode = false;
        state_.rescaleChoosing = false;
        if (convert && state_.writeMode) {
            Pattern pattern = editedPattern();
            if (rescalePattern(pattern, state_.rescaleTarget)) {
                host_.replacePattern(state_.editedPattern, pattern);
            }
        }
        return;
    }
    if (!state_.writeMode || state_.rescaleMode) {
        return;
    }
    const Pattern& pattern = editedPattern();
    const int code = scaleCodeOf(pattern.stepsPerBeat());
    state_.rescaleMode = true;
    state_.rescaleStart = code;
    state_.rescaleTarget = code;
    state_.rescaleChoosing = lengthSuitsScale(code, pattern.length());
    state_.lastStepFlashRequest = !state_.rescaleChoosing;
}

// --- Pattern buttons -------------------------------------------------------------------------

bool PatternEditing::clearPattern(EditModifier modifier) {
    if (!state_.writeMode || modifier.buttonHeld) {
        return false;
    }
    Pattern pattern = editedPattern();
    for (int row = 0; row < kPatternRows; ++row) {
        if (modifier.control || row == state_.editedRow) {
            for (int step = 0; step < kPatternSteps; ++step) {
                pattern.storeStep(row, step, StepFlags{});
            }
        }
    }
    return host_.replacePattern(state_.editedPattern, pattern);
}

bool PatternEditing::copyPattern() {
    if (!state_.writeMode) {
        return false;
    }
    if (clipboardValid_) {
        clipboard_.clearSteps();
        clipboardValid_ = false;
    } else {
        clipboard_ = editedPattern();
        clipboardValid_ = true;
    }
    return true;
}

bool PatternEditing::pastePattern(EditModifier modifier) {
    if (!state_.writeMode || modifier.buttonHeld || !clipboardValid_) {
        return false;
    }
    if (!host_.replacePattern(state_.editedPattern, clipboard_)) {
        return false;
    }
    if (!modifier.control) {
        clipboard_.clearSteps();
        clipboardValid_ = false;
    }
    return true;
}

bool PatternEditing::rotatePattern(ShiftDirection direction, EditModifier modifier) {
    if (!state_.writeMode || modifier.buttonHeld) {
        return false;
    }
    Pattern pattern = editedPattern();
    const int length = pattern.length();
    for (int row = 0; row < kPatternRows; ++row) {
        std::array<StepFlags, kPatternSteps> steps{};
        for (int step = 0; step < length; ++step) {
            steps[static_cast<std::size_t>(step)] = pattern.step(row, step);
        }
        for (int step = 0; step < length; ++step) {
            // Right: each step one place later, the last to step 0. Left: the reverse.
            const int from = direction == ShiftDirection::Right ? (step + length - 1) % length
                                                                : (step + 1) % length;
            pattern.storeStep(row, step, steps[static_cast<std::size_t>(from)]);
        }
    }
    return host_.replacePattern(state_.editedPattern, pattern);
}

bool PatternEditing::cycleScale(EditModifier modifier) {
    if (!state_.writeMode || modifier.buttonHeld) {
        return false;
    }
    Pattern pattern = editedPattern();
    if (state_.rescaleMode) {
        state_.rescaleTarget =
            nextRescaleTarget(state_.rescaleStart, state_.rescaleTarget, pattern.length());
        return true;
    }
    pattern.setStepsPerBeat(stepsPerBeatOf(nextScaleCode(scaleCodeOf(pattern.stepsPerBeat()))));
    return host_.replacePattern(state_.editedPattern, pattern);
}

bool PatternEditing::nextPattern(EditModifier modifier) {
    if (!state_.writeMode || modifier.buttonHeld) {
        return false;
    }
    if (state_.randomizerMode) {
        return randomizer_.randomizeNew();
    }
    if (state_.autoFollow) {
        return false;
    }
    const int step = modifier.control ? kPatternsPerGroup : 1;
    if (state_.editedPattern + step > kPatternCount - 1) {
        return false;
    }
    state_.editedPattern += step;
    return true;
}

bool PatternEditing::prevPattern(EditModifier modifier) {
    if (!state_.writeMode || modifier.buttonHeld) {
        return false;
    }
    if (state_.randomizerMode) {
        if (!randomizer_.hasHistory()) {
            return false;
        }
        return randomizer_.randomizePrevious();
    }
    if (state_.autoFollow) {
        return false;
    }
    const int step = modifier.control ? kPatternsPerGroup : 1;
    if (state_.editedPattern - step < 0) {
        return false;
    }
    state_.editedPattern -= step;
    return true;
}

bool PatternEditing::undoRandomizer(EditModifier modifier) {
    if (!state_.randomizerMode || modifier.buttonHeld) {
        return false;
    }
    return randomizer_.restoreRandomizedPattern();
}

// --- Step keys -------------------------------------------------------------------------------

int PatternEditing::codeOfKey(float value) const {
    int code = 0;
    if (keyValueIs(value, kKeyPlain)) {
        code = kStepNote;
    } else if (keyValueIs(value, kKeyAccented)) {
        code = kStepNote | kStepAccent;
    }
    if (state_.flamMode && code != 0) {
        code = (code & ~kStepNote) | kStepFlam;
    }
    return code;
}

bool PatternEditing::pressStepKey(int key, float value, EditModifier modifier) {
    if (key < 0 || key >= kStepKeys) {
        return false;
    }
    if (!state_.writeMode) {
        return host_.playback().chainFlag && selectPatternByKey(key, value, modifier.control);
    }
    if (state_.randomizerMode) {
        randomizer_.setTemplate(state_.editedRow, key, codeOfKey(value));
        return true;
    }
    if (state_.lastStepMode) {
        Pattern pattern = editedPattern();
        pattern.setLength(key + 1);
        return host_.replacePattern(state_.editedPattern, pattern);
    }
    if (state_.tapMode) {
        return tapStepKey(key, value);
    }
    return host_.writeStep(state_.editedPattern, state_.editedRow, key, codeOfKey(value));
}

bool PatternEditing::tapStepKey(int key, float) {
    const PlaybackView playback = host_.playback();
    if (!playback.isPlaying()) {
        return false;
    }
    const int pattern = playback.playingPattern();
    const int step = playback.playingStep();
    if (!isValidPattern(pattern) || step < 0 || step >= kPatternSteps) {
        return false;
    }
    if (key >= host_.patterns()[pattern].length()) {
        return false;
    }
    int instrument = 0;
    bool accented = false;
    if (key < kPairedTapKeys) {
        instrument = key / 2;
        accented = key % 2 == 0;
    } else {
        instrument = key - kPairedTapKeys + kFirstSingleTapInstrument;
    }
    int code = state_.flamMode ? kStepFlam : kStepNote;
    if (accented) {
        code |= kStepAccent;
    }
    if (!host_.writeStep(pattern, instrument, step, code)) {
        return false;
    }
    host_.requestAudition(instrument, accented ? kTapVelocityAccented : kTapVelocityPlain);
    return true;
}

bool PatternEditing::selectPatternByKey(int key, float value, bool control) {
    const int next = host_.playback().nextPattern;
    if (!isValidPattern(next)) {
        return false;
    }
    int pattern = 0;
    if (key < kPatternKeys) {
        pattern = kPatternsPerGroup * (next / kPatternsPerGroup) + key;
    } else {
        const bool secondHalf =
            keyValueIs(value, kKeySecondHalf) || keyValueIs(value, kKeyAccented);
        const int group = secondHalf ? key - 8 : key - kPatternKeys;
        pattern = kPatternsPerGroup * group + next % kPatternsPerGroup;
    }
    return control ? host_.extendRange(pattern) : host_.setRange(pattern, pattern);
}

// --- Rows, names and amounts -----------------------------------------------------------------

bool PatternEditing::setEditedRow(int row) {
    if (row < 0 || row >= kPatternRows) {
        return false;
    }
    state_.editedRow = row;
    return true;
}

bool PatternEditing::selectRow(int row, bool buttonState, EditModifier modifier) {
    if (row < 0 || row >= kRandomizerInstruments) {
        return false;
    }
    if (state_.randomizerMode) {
        randomizer_.setRowEnable(row, buttonState, modifier.control);
        return true;
    }
    return setEditedRow(row);
}

bool PatternEditing::setPatternName(std::string_view name) {
    Pattern pattern = editedPattern();
    pattern.setName(name);
    return host_.replacePattern(state_.editedPattern, pattern);
}

bool PatternEditing::setPatternAttribute(PatternAttribute attribute, float value) {
    if (!host_.patternAttributeStore() || std::isnan(value)) {
        return false;
    }
    int index = state_.editedPattern;
    const PlaybackView playback = host_.playback();
    if (!state_.writeMode) {
        index = playback.currentPattern();
        if (!isValidPattern(index)) {
            return false;
        }
    }
    const bool toPlayback = !state_.writeMode && playback.isPlaying();
    return host_.setPatternAmount(index, attribute, value, toPlayback);
}

// --- Edited pattern --------------------------------------------------------------------------

bool PatternEditing::setEditedPattern(int pattern) {
    if (!isValidPattern(pattern)) {
        return false;
    }
    state_.editedPattern = pattern;
    return true;
}

bool PatternEditing::followPlayback() {
    if (state_.writeMode && !state_.autoFollow) {
        return false;
    }
    const int current = host_.playback().currentPattern();
    if (!isValidPattern(current) || current == state_.editedPattern) {
        return false;
    }
    state_.editedPattern = current;
    return true;
}

} // namespace vorpalix
