#pragma once

// The pattern editing operations behind the panel's step keys and pattern buttons: write, tap,
// flam and last-step entry, clipboard copy and paste, clearing, rotation, the Scale and Rescale
// functions, pattern navigation, names and amounts, and the randomizer mode. Owns the edit state,
// the clipboard and the randomizer; the editor calls these operations with the values and
// modifier state its controls report, and refreshes its displays when one returns true.
//
// Threads: user-interface thread only. The operations work on the user-interface thread's copy
// of the patterns and never touch playback: each change is built on a copy of the pattern and
// handed to the editing host, which sends it to the audio thread and keeps it only when it was
// accepted. An operation whose change was refused changes nothing and returns false.

#include <string_view>

#include "sequencer/EditState.h"
#include "sequencer/EditingHost.h"
#include "sequencer/Pattern.h"
#include "sequencer/PatternRandomizer.h"

namespace vorpalix {

// The mouse and key state reported with a control change.
struct EditModifier {
    bool buttonHeld = false; // the left button is still down: push buttons act on release
    bool control = false;    // the Control key selects the alternative form
};

enum class ShiftDirection { Left, Right };

// Key values of the step keys.
constexpr float kKeyPlain = 0.8f;
constexpr float kKeyAccented = 1.0f;
constexpr float kKeySecondHalf = 0.4f; // with 1.0: a group key selects groups 4..7
// Audition velocities of tap mode.
constexpr float kTapVelocityAccented = 0.63f;
constexpr float kTapVelocityPlain = 0.378f;

class PatternEditing {
public:
    explicit PatternEditing(EditingHost& host);
    PatternEditing(const PatternEditing&) = delete;
    PatternEditing& operator=(const PatternEditing&) = delete;

    const EditState& state() const { return state_; }
    PatternRandomizer& randomizer() { return randomizer_; }
    const Pattern& clipboard() const { return clipboard_; }
    bool clipboardValid() const { return clipboardValid_; }

    // --- Mode switches (work with write mode on or off) ---------------------------------------
    // On: playback's current pattern becomes the edited pattern. Off: also ends randomizer
    // mode (committing the randomized pattern), last step, tap, flam and rescale modes (without
    // converting).
    void setWriteMode(bool on);
    void setTapMode(bool on) { state_.tapMode = on; }
    void setFlamMode(bool on) { state_.flamMode = on; }
    void setLastStepMode(bool on) { state_.lastStepMode = on; }
    void setAutoFollow(bool on) { state_.autoFollow = on; }
    // Enters or leaves randomizer mode on the edited pattern; false when playback could not be
    // told (the mode stays as it was).
    bool setRandomizerMode(bool on);
    // Write mode only. On: start = target = the edited pattern's scale code; when its length does
    // not suit that time base, the Last Step Mode button is to flash and no target is offered.
    // Off: converts the edited pattern when a different target was chosen.
    void setRescaleMode(bool on);

    // --- Pattern buttons (write mode only; push buttons act on release) -----------------------
    // The edited row, or with Control all 12 rows, loses all its steps.
    bool clearPattern(EditModifier modifier);
    // Acts at once (the editor calls it on the press): empties a valid clipboard, otherwise
    // copies the whole edited pattern into it.
    bool copyPattern();
    // Copies a valid clipboard over the edited pattern; without Control the clipboard is emptied.
    bool pastePattern(EditModifier modifier);
    // Rotates all 12 rows by one step within the pattern's length.
    bool rotatePattern(ShiftDirection direction, EditModifier modifier);
    // Scale Pattern: outside rescale mode the time base cycles 4 -> 8 -> 3 -> 6 -> 4 (steps
    // untouched); in rescale mode the target moves to the next conversion available.
    bool cycleScale(EditModifier modifier);
    // Next / Prev Pattern. In randomizer mode: a new random pattern / the previous seed. Otherwise,
    // with auto follow off: the edited pattern moves by 1, or by 12 with Control, within 0..95.
    bool nextPattern(EditModifier modifier);
    bool prevPattern(EditModifier modifier);
    // Patt Rand Undo, randomizer mode only: the randomized pattern as it was on entry.
    bool undoRandomizer(EditModifier modifier);

    // --- Step keys --------------------------------------------------------------------------
    // Key 0..15 with its value (0.8 plain, 1.0 accented, other empty). Write mode: randomizer
    // template, last step, tap or plain step entry, in that order of precedence. Write mode off
    // in chain mode: selects the chained pattern (Control extends the range). Returns true when
    // something changed.
    bool pressStepKey(int key, float value, EditModifier modifier);

    // --- Rows, names and amounts (write mode on or off) ---------------------------------------
    // The edited row 0..11; other values are ignored.
    bool setEditedRow(int row);
    // BD Select .. RD Select (rows 0..10): the edited row, or in randomizer mode the rows to
    // randomize (Control: this row alone).
    bool selectRow(int row, bool buttonState, EditModifier modifier);
    // The first 18 characters become the edited pattern's name.
    bool setPatternName(std::string_view name);
    // Only while the pattern attribute store is on: write mode on sets the edited pattern's
    // amount; write mode off sets the sequencer's current pattern's amount and, while it plays,
    // hands the value to playback at once.
    bool setPatternAttribute(PatternAttribute attribute, float value);

    // --- Edited pattern ---------------------------------------------------------------------
    // A stored edited pattern (0..95; others ignored).
    bool setEditedPattern(int pattern);
    // Called when playback reports a change of step or pattern: while write mode is off or auto
    // follow is on, the sequencer's current pattern becomes the edited pattern.
    bool followPlayback();

private:
    const Pattern& editedPattern() const;
    int codeOfKey(float value) const;
    bool tapStepKey(int key, float value);
    bool selectPatternByKey(int key, float value, bool control);

    EditingHost& host_;
    EditState state_;
    Pattern clipboard_;
    bool clipboardValid_ = false;
    PatternRandomizer randomizer_;
};

} // namespace vorpalix
