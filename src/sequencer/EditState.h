#pragma once

// What the panel is editing and how: the edited pattern and row and the mode flags of the step
// keys. The editor owns one, saves parts of it with the plug-in state and hands it to the pattern
// editing operations, which are the only code that changes it.
//
// Threads: UI thread only.

namespace vorpalix {

// Scale codes of the Scale and Rescale functions: the time bases in the order of the panel's
// scale lights.
enum ScaleCode : int { kScale6 = 0, kScale3 = 1, kScale8 = 2, kScale4 = 3 };

struct EditState {
    int editedPattern = 0; // 0..95
    int editedRow = 0;     // 0..11, 11 = TA
    bool writeMode = false;
    bool tapMode = false;
    bool flamMode = false;
    bool lastStepMode = false;
    bool autoFollow = false;
    bool randomizerMode = false;
    bool rescaleMode = false;
    int rescaleStart = kScale4;  // scale code of the edited pattern when rescale mode began
    int rescaleTarget = kScale4; // scale code the pattern is converted to when the mode ends
    // Set when rescale mode began on a pattern whose length suits its time base: the Rescale
    // button and the start's scale light blink while a target is chosen.
    bool rescaleChoosing = false;
    // Set when rescale mode began on a pattern whose length does not suit its time base; the
    // editor flashes the Last Step Mode button and clears the flag.
    bool lastStepFlashRequest = false;
};

} // namespace vorpalix
