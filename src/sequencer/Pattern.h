#pragma once

// One pattern: up to 16 steps for the eleven instruments and the total-accent row, with its
// length, time base, shuffle, flam and total-accent amounts and a name; the step-writing rules,
// the one-character-per-step row text and the Pattern XML element.
//
// Plain data: a pattern belongs to the bank that holds it, and the bank to one thread (the
// sequencer's live bank to the audio thread, the copy the documents and the editor work on to
// the user-interface thread). Patterns travel between the two as whole copies.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "dsp/Instruments.h"

typedef struct _xmlNode xmlNode;

namespace vorpalix {

constexpr int kPatternRows = kNumInstruments + 1; // BD .. RD, then TA
constexpr int kPatternSteps = 16;                 // steps stored per row
constexpr int kTotalAccentRow = kNumInstruments;  // the TA row
constexpr std::size_t kPatternNameLength = 18;

// Row names as the Pattern element spells them, in row order.
constexpr std::array<std::string_view, kPatternRows> kPatternRowNames = {
    "BD", "SD", "LT", "MT", "HT", "RS", "HC", "CH", "OH", "CR", "RD", "TA"};

// Step codes: bit 0 note, bit 1 flam, bit 2 accent.
constexpr int kStepNote = 1;
constexpr int kStepFlam = 2;
constexpr int kStepAccent = 4;

// The flags of one step. A step sounds as a plain hit (note) or as a flam, never both; accent
// alone is silent. In the TA row the note flag marks a totally accented step.
struct StepFlags {
    bool note = false;
    bool flam = false;
    bool accent = false;

    int code() const {
        return (note ? kStepNote : 0) | (flam ? kStepFlam : 0) | (accent ? kStepAccent : 0);
    }
    static StepFlags fromCode(int code) {
        return {(code & kStepNote) != 0, (code & kStepFlam) != 0, (code & kStepAccent) != 0};
    }
    bool operator==(const StepFlags&) const = default;
};

// "o" → 1, "x" → 2, "O" → 5, "X" → 6, every other character → 0 (case-sensitive).
int codeOfCharacter(char c);

class Pattern {
public:
    static constexpr int kDefaultLength = 16;
    static constexpr int kDefaultStepsPerBeat = 4;
    static constexpr float kDefaultShuffle = 0.0f;
    static constexpr float kDefaultFlam = 0.5f;
    static constexpr float kDefaultTotalAccent = 0.5f;
    static constexpr std::string_view kDefaultName = "No name";

    Pattern();

    // Every field back to its default: steps clear, length 16, 4 steps per beat,
    // shuffle 0, flam 0.5, total accent 0.5, name "No name".
    void resetPattern();

    // Writes one step by the step rules: rows RS, HC, CR and RD always carry
    // the accent bit; the TA row gets it with any hit; flam clears note; a hit in one hi-hat row
    // clears the same step of the other. Rows outside 0..11 or steps outside 0..15 are ignored.
    void setStep(int row, int step, int code);
    // The stored flags; clear for a row or step out of range.
    StepFlags step(int row, int step) const;
    // Stores flags as they are, without the step rules: whole-row and whole-pattern
    // copies, clears and rotations. A flags value with note and flam keeps flam only.
    void storeStep(int row, int step, StepFlags flags);
    // Clears every step of every row.
    void clearSteps();

    int length() const { return length_; }
    int stepsPerBeat() const { return stepsPerBeat_; }
    float shuffle() const { return shuffle_; }
    float flam() const { return flam_; }
    float totalAccent() const { return totalAccent_; }
    // The step length in beats: 1 / stepsPerBeat, computed as (4 / stepsPerBeat) * 0.25.
    double stepLength() const;

    // A length outside 1..16 gives 16; a time base other than 3, 4, 6 or 8 gives 4.
    void setLength(int length);
    void setStepsPerBeat(int stepsPerBeat);
    // Clamped to 0..1; NaN keeps the default of the field.
    void setShuffle(float value);
    void setFlam(float value);
    void setTotalAccent(float value);

    // The name, at most 18 bytes; a longer text is cut to 18 bytes without splitting
    // a UTF-8 character.
    std::string_view name() const { return std::string_view(name_.data(), nameLength_); }
    void setName(std::string_view name);

    // The row text: one character per step ("o", "x", "O", "X" or "."), length()
    // characters when toLength is set, 16 otherwise. Empty for a row out of range.
    std::string formatRow(int row, bool toLength) const;

    // Equal in every step, amount, length, time base and name.
    bool operator==(const Pattern&) const = default;

private:
    std::array<std::uint8_t, kPatternRows * kPatternSteps> steps_{};
    int length_ = kDefaultLength;
    int stepsPerBeat_ = kDefaultStepsPerBeat;
    float shuffle_ = kDefaultShuffle;
    float flam_ = kDefaultFlam;
    float totalAccent_ = kDefaultTotalAccent;
    std::array<char, kPatternNameLength> name_{};
    std::size_t nameLength_ = 0;
};

// Replaces the whole pattern from a Pattern element: defaults first, then the
// attributes (out-of-range or unreadable values give the defaults) and the row elements (the
// first 16 characters of each row text through setStep). A node that is not an element named
// Pattern changes nothing and gives false.
bool readPatternElement(Pattern& pattern, const xmlNode* element);

// A new, unattached Pattern element: attributes name, length, stepsPerBeat, shuffle,
// flam, totalAccent, then the twelve rows BD .. TA, each length() characters when toLength is
// set (pattern and bank files) or 16 (the host chunk). nullptr when memory runs out; the caller
// links the element into a tree or frees it with xmlFreeNode.
xmlNode* writePatternElement(const Pattern& pattern, bool toLength);

} // namespace vorpalix
