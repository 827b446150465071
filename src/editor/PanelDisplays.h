#pragma once

// What the panel's LEDs, digits and step buttons show, computed from plain state: the formulas
// behind the display refreshes, kept free of controls so that each can be checked on its own.

#include <array>
#include <optional>
#include <string>

namespace vorpalix {

// Values of the four tempo digits, in the order hundreds, tens, units, tenths ("Display Digit
// 100", "10", "1", "01"), showing a tempo in BPM.
std::array<float, 4> tempoDigitValues(double bpm);

// Values of the four digits naming pattern 0..95 as "P", note letter, sharp or dash, group
// number: pattern 0 reads P C - 1, pattern 13 reads P C # 2.
std::array<float, 4> patternDigitValues(int pattern);

// The tempo the four digits show while being dragged (values 0..1 in the order above), bounded
// to 30..303 BPM.
double tempoOfDigitValues(const std::array<float, 4>& digits);

// Position k (0..11) in a group of twelve patterns, named like the keys of an octave.
int noteLetterIndex(int k); // 0 = C .. 6 = B
bool isSharpPosition(int k);

// The six next states of a step button (what a click on state s leads to).
using NextStateTable = std::array<int, 6>;

struct StepTableInputs {
    bool sequencerOn = false;
    int sequencerMode = 0; // 0 chain, 1 normal, 2 free
    bool writeMode = false;
    bool randomizerMode = false;
    bool lastStepMode = false;
    bool tapMode = false;
    int selectedRow = 0; // 0..11
    int patternLength = 16;
};

// The next-state table of step button `step` (0..15), or nullopt where it stays as it is.
std::optional<NextStateTable> stepNextStateTable(const StepTableInputs& in, int step);

// The step button value of a pattern (or randomizer template) cell in write mode: 1.0 with the
// note bit (flam bit in flam mode) and accent, 0.8 with the bit alone, else 0.6.
float cellStepValue(int code, bool flamMode);

// The state whose image the running step shows over a step of this value (the inverse of what
// it shows), or -1 for a value that has none.
int runningStepImage(float value);

// The randomizer caption shown on the pattern name display at tick `now` (ms).
std::string randomizerCaption(unsigned long now, bool canStepBack);

} // namespace vorpalix
