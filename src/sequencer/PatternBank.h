#pragma once

// The 96 patterns of the sequencer, 8 groups of 12 (one MIDI octave per group), and the
// PatternBank XML element that carries them in the settings document, the host chunk and bank
// files. Plain data, owned by one thread at a time: the sequencer's live bank belongs to the
// audio thread, the copy that documents and the editor change to the user-interface thread.

#include <array>

#include "sequencer/Pattern.h"

namespace vorpalix {

constexpr int kPatternCount = 96;
constexpr int kPatternsPerGroup = 12;

constexpr bool isValidPattern(int index) {
    return index >= 0 && index < kPatternCount;
}

// The chained range of patterns the chain player runs through.
struct PatternRange {
    int from = 0;
    int to = 0;

    // from..to when both lie in one group, from..from otherwise.
    static constexpr PatternRange of(int from, int to) {
        return {from, from / kPatternsPerGroup == to / kPatternsPerGroup ? to : from};
    }
    // The range extended to pattern: it becomes the end, or the start when it lies below the
    // start (the old start then ends the range).
    constexpr PatternRange extendedTo(int pattern) const {
        return pattern < from ? PatternRange{pattern, from} : PatternRange{from, pattern};
    }
    bool operator==(const PatternRange&) const = default;
};

class PatternBank {
public:
    // Every pattern reset.
    PatternBank() = default;

    // index must lie in 0..95 (see isValidPattern).
    Pattern& operator[](int index) { return patterns_[static_cast<std::size_t>(index)]; }
    const Pattern& operator[](int index) const {
        return patterns_[static_cast<std::size_t>(index)];
    }

    // Resets all 96 patterns.
    void resetAll();

    bool operator==(const PatternBank&) const = default;

private:
    std::array<Pattern, kPatternCount> patterns_;
};

// Reads the Pattern children of a PatternBank element, in document order, into slots
// 0, 1, 2 ...; children of other kinds are skipped and Pattern children after the 96th ignored.
// Slots that receive no Pattern keep what they held. Returns the number of patterns read; a node
// that is not an element named PatternBank changes nothing and gives 0.
int readPatternBank(PatternBank& bank, const xmlNode* element);

// A new, unattached PatternBank element with the 96 patterns in slot order, rows
// written to each pattern's length when toLength is set, 16 characters otherwise. nullptr when
// memory runs out.
xmlNode* writePatternBank(const PatternBank& bank, bool toLength);

} // namespace vorpalix
