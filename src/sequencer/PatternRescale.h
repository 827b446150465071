#pragma once

// Time-base changes of a pattern: the scale codes, the lengths each time base can be converted
// from, the cycle of conversion targets, and the conversion of the steps themselves.

#include "sequencer/EditState.h"

namespace vorpalix {

class Pattern;

// The scale code of a time base; any value other than 3, 6 or 8 steps per beat counts as 4.
int scaleCodeOf(int stepsPerBeat);
// Steps per beat of a scale code 0..3 (6, 3, 8, 4); 4 for other codes.
int stepsPerBeatOf(int scaleCode);
// The next code of the plain Scale cycle 4 -> 8 -> 3 -> 6 -> 4: (code + 3) mod 4.
int nextScaleCode(int scaleCode);

// Whether a length suits a time base for conversion: 3 per beat 3, 6, 9, 12; 6 per beat 6, 12;
// 8 per beat 8, 16; 4 per beat 4, 8, 12, 16.
bool lengthSuitsScale(int scaleCode, int length);

// The rescale target after target, for a conversion that started at start with the pattern's
// length: the cycle skips targets no conversion of that start and length exists for
// (6: 6 -> 8 -> 3; 3: 3 -> 6 -> 4, or 3 -> 4 for lengths 9 and 12; 8: 8 -> 6 -> 4;
// 4: 4 -> 8 -> 3, or 4 -> 3 for lengths 12 and 16).
int nextRescaleTarget(int start, int target, int length);

// UI thread. Converts the pattern's steps to the time base of targetCode, keeping the rhythm:
// groups of source steps are spread over (or thinned to) groups of target steps, every row with
// all its flags; steps from the new length on are cleared, then length and time base change.
// Returns false, changing nothing, for a pair of time bases or a length without a conversion.
bool rescalePattern(Pattern& pattern, int targetCode);

} // namespace vorpalix
