#pragma once

// When the next step and the next flam hit of a player fall, as a countdown in samples from the
// player's position in beats. Steps come in pairs of length 2L that start at whole multiples of
// 2L of the position: the on-beat step at the start of a pair, the off-beat step L(1 + s) after
// it (s = shuffle as a fraction of a step). A flam hit follows each step time by L·f.
//
// Pure functions of their arguments (any thread); the players call them on the audio thread
// whenever a countdown is unscheduled.

#include <cstdint>

namespace vorpalix {

// The last step event of a player: none yet, an on-beat step, an off-beat step.
enum StepPhase : int { kPhaseNone = -1, kPhaseOnBeat = 0, kPhaseOffBeat = 1 };

struct ScheduledStep {
    std::int64_t countdown; // samples until the step; 0 = in this frame
    int nextPhase;          // the phase the step will have when it fires
};

// The quantities every schedule works with.
struct ScheduleInput {
    double position;       // P, beats
    double stepLength;     // L, beats
    double shuffle;        // s, fraction of a step
    double samplesPerBeat; // spb, > 0
};

// Samples to a countdown: truncated toward zero, never negative, bounded. A step whose exact
// time is a whole number of samples away lands on that sample even when the position carries
// rounding from being summed sample by sample.
std::int64_t countdownOf(double samples);

// The chain player's next step. Tolerates late positions: a step missed by at most 0.01 beat
// fires at once.
ScheduledStep scheduleChainStep(const ScheduleInput& in, int phase);

// The note player's next step.
ScheduledStep scheduleNoteStep(const ScheduleInput& in, int phase);

// The next flam hit (f = flam as a fraction of a step): L·f after the next on- or off-beat step
// time that has that hit still ahead.
std::int64_t scheduleFlam(const ScheduleInput& in, double flam);

} // namespace vorpalix
