#include "sequencer/PatternRescale.h"

#include <array>
#include <initializer_list>
#include <string_view>

#include "sequencer/Pattern.h"

namespace vorpalix {

namespace {

// One conversion: source and target time bases, the source lengths it accepts, and the template
// of one group. A growing template lists the target positions ('+' an empty step, any other
// character the next source step); a shrinking one lists the source positions ('-' dropped).
struct Conversion {
    int from;
    int to;
    std::initializer_list<int> lengths;
    std::string_view groupTemplate;
};

const std::array<Conversion, 8> kConversions = {{
    {6, 8, {6, 12}, "O+ooo+oo"},
    {6, 3, {6, 12}, "O-o-o-"},
    {3, 6, {3, 6}, "O+o+o+"},
    {3, 4, {3, 6, 9, 12}, "Ooo+"},
    {8, 6, {8, 16}, "O-ooo-oo"},
    {8, 4, {8, 16}, "O-o-o-o-"},
    {4, 8, {4, 8}, "O+o+o+o+"},
    {4, 3, {4, 8, 12, 16}, "Ooo-"},
}};

bool contains(std::initializer_list<int> values, int value) {
    for (int v : values) {
        if (v == value) {
            return true;
        }
    }
    return false;
}

} // namespace

int scaleCodeOf(int stepsPerBeat) {
    switch (stepsPerBeat) {
    case 6:
        return kScale6;
    case 3:
        return kScale3;
    case 8:
        return kScale8;
    default:
        return kScale4;
    }
}

int stepsPerBeatOf(int scaleCode) {
    switch (scaleCode) {
    case kScale6:
        return 6;
    case kScale3:
        return 3;
    case kScale8:
        return 8;
    default:
        return 4;
    }
}

int nextScaleCode(int scaleCode) {
    return ((scaleCode % 4 + 4) % 4 + 3) % 4;
}

bool lengthSuitsScale(int scaleCode, int length) {
    switch (scaleCode) {
    case kScale3:
        return contains({3, 6, 9, 12}, length);
    case kScale6:
        return contains({6, 12}, length);
    case kScale8:
        return contains({8, 16}, length);
    default:
        return contains({4, 8, 12, 16}, length);
    }
}

int nextRescaleTarget(int start, int target, int length) {
    int next = nextScaleCode(target);
    switch (start) {
    case kScale6:
        if (next == kScale4) {
            next = kScale8;
        }
        break;
    case kScale3:
        if (next == kScale8) {
            next = kScale3;
        } else if (next == kScale6 && length != 3 && length != 6) {
            next = kScale4;
        }
        break;
    case kScale8:
        if (next == kScale3) {
            next = kScale6;
        }
        break;
    default:
        if (next == kScale6) {
            next = kScale4;
        } else if (next == kScale8 && length != 4 && length != 8) {
            next = kScale3;
        }
        break;
    }
    return next;
}

bool rescalePattern(Pattern& pattern, int targetCode) {
    const int from = pattern.stepsPerBeat();
    const int to = stepsPerBeatOf(targetCode);
    const int length = pattern.length();
    const Conversion* conversion = nullptr;
    for (const Conversion& c : kConversions) {
        if (c.from == from && c.to == to && contains(c.lengths, length)) {
            conversion = &c;
        }
    }
    if (conversion == nullptr || targetCode < 0 || targetCode > 3) {
        return false;
    }

    const int s = from;
    const int t = to;
    const int groups = length / s;
    const int newLength = groups * t;
    const std::string_view groupTemplate = conversion->groupTemplate;

    for (int row = 0; row < kPatternRows; ++row) {
        std::array<StepFlags, kPatternSteps> source{};
        for (int step = 0; step < kPatternSteps; ++step) {
            source[static_cast<std::size_t>(step)] = pattern.step(row, step);
        }
        std::array<StepFlags, kPatternSteps> target{};
        for (int g = 0; g < groups; ++g) {
            if (t > s) {
                // Growing: each target position takes the next source step or stays empty.
                int next = g * s;
                for (int j = 0; j < t; ++j) {
                    if (groupTemplate[static_cast<std::size_t>(j)] != '+') {
                        target[static_cast<std::size_t>(g * t + j)] =
                            source[static_cast<std::size_t>(next++)];
                    }
                }
            } else {
                // Shrinking: each kept source position fills the next target step.
                int next = g * t;
                for (int i = 0; i < s; ++i) {
                    if (groupTemplate[static_cast<std::size_t>(i)] != '-') {
                        target[static_cast<std::size_t>(next++)] =
                            source[static_cast<std::size_t>(g * s + i)];
                    }
                }
            }
        }
        for (int step = 0; step < kPatternSteps; ++step) {
            pattern.storeStep(row, step, target[static_cast<std::size_t>(step)]);
        }
    }
    pattern.setLength(newLength);
    pattern.setStepsPerBeat(to);
    return true;
}

} // namespace vorpalix
