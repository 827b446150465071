#include "editor/PanelDisplays.h"

#include <algorithm>
#include <cmath>

namespace vorpalix {
namespace {

constexpr std::array<int, 12> kLetterOfPosition = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
constexpr std::array<bool, 12> kSharpOfPosition = {false, true,  false, true,  false, false,
                                                   true,  false, true,  false, true,  false};

constexpr NextStateTable kAllZero = {0, 0, 0, 0, 0, 0};
constexpr NextStateTable kOffAccent = {0, 0, 0, 5, 0, 3};   // off <-> accent
constexpr NextStateTable kOffOnAccent = {0, 0, 0, 4, 5, 3}; // off -> on -> accent -> off
constexpr NextStateTable kLastStep = {3, 0, 0, 3, 0, 0};
constexpr NextStateTable kTap = {3, 3, 3, 3, 3, 3};
constexpr NextStateTable kSelectPattern = {2, 0, 2, 0, 0, 0};
constexpr NextStateTable kSelectGroup = {1, 2, 1, 0, 0, 0};

// Rows whose steps are always accented: RS, HC, CR, RD and the total-accent row.
bool accentOnlyRow(int row) {
    return row == 5 || row == 6 || row == 9 || row == 10 || row == 11;
}

} // namespace

int noteLetterIndex(int k) {
    return kLetterOfPosition[static_cast<std::size_t>(std::clamp(k, 0, 11))];
}

bool isSharpPosition(int k) {
    return kSharpOfPosition[static_cast<std::size_t>(std::clamp(k, 0, 11))];
}

std::array<float, 4> tempoDigitValues(double bpm) {
    const int hundreds = static_cast<int>(std::floor(bpm / 100.0)) % 10;
    const int tens = static_cast<int>(std::floor(bpm / 10.0)) % 10;
    const int units = static_cast<int>(std::floor(bpm)) % 10;
    const int tenths = static_cast<int>(std::lround(10.0 * bpm)) % 10;
    return {static_cast<float>((hundreds + 1) * 0.2), static_cast<float>((tens + 2) / 18.0),
            static_cast<float>((units + 2) / 13.0), static_cast<float>((tenths + 2) / 11.0)};
}

std::array<float, 4> patternDigitValues(int pattern) {
    pattern = std::clamp(pattern, 0, 95);
    const int k = pattern % 12;
    return {1.0f, static_cast<float>((noteLetterIndex(k) + 11) / 17.0),
            isSharpPosition(k) ? static_cast<float>(11.0 / 12.0) : 1.0f,
            static_cast<float>((pattern / 12 + 2) / 10.0)};
}

double tempoOfDigitValues(const std::array<float, 4>& digits) {
    // Frame numbers, rounded half away from zero.
    const double h = std::round(digits[0] * 5.0);
    const double t = std::round(digits[1] * 18.0);
    const double u = std::round(digits[2] * 13.0);
    const double d = std::round(digits[3] * 11.0);
    const double tempo = (h - 1) * 100 + (t - 2) * 10 + (u - 2) + (d - 2) * 0.1;
    return std::clamp(tempo, 30.0, 303.0);
}

std::optional<NextStateTable> stepNextStateTable(const StepTableInputs& in, int step) {
    if (!in.sequencerOn) {
        return kAllZero;
    }
    const bool belowLength = step < in.patternLength;
    if (in.writeMode) {
        if (in.randomizerMode) {
            if (!belowLength) {
                return kAllZero;
            }
            return accentOnlyRow(in.selectedRow) ? kOffAccent : kOffOnAccent;
        }
        if (in.lastStepMode) {
            return kLastStep;
        }
        if (in.tapMode) {
            return belowLength ? kTap : kAllZero;
        }
        if (!belowLength) {
            return kAllZero;
        }
        return accentOnlyRow(in.selectedRow) ? kOffAccent : kOffOnAccent;
    }
    if (in.sequencerMode != 0) {
        return std::nullopt;
    }
    return step < 12 ? kSelectPattern : kSelectGroup;
}

float cellStepValue(int code, bool flamMode) {
    const bool hit = (code & (flamMode ? 2 : 1)) != 0;
    if (!hit) {
        return 0.6f;
    }
    return (code & 4) != 0 ? 1.0f : 0.8f;
}

int runningStepImage(float value) {
    if (value == 0.0f) {
        return 2;
    }
    if (value == 0.2f || value == 0.4f) {
        return 0;
    }
    if (value == 0.6f) {
        return 5;
    }
    if (value == 0.8f || value == 1.0f) {
        return 3;
    }
    return -1;
}

std::string randomizerCaption(unsigned long now, bool canStepBack) {
    if (now % 375 > 250) {
        return "    Randomizer    ";
    }
    return canStepBack ? "<   Randomizer   >" : "    Randomizer   >";
}

} // namespace vorpalix
