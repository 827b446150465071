// The step and flam schedules against step times worked out by hand: 120 BPM at 44.1 kHz is
// 22050 samples per beat, 5512.5 per sixteenth.

#include "sequencer/StepSchedule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vorpalix {
namespace {

constexpr double kSpb = 22050.0;

ScheduleInput at(double position, double shuffle = 0.0, double step = 0.25) {
    return {position, step, shuffle, kSpb};
}

TEST(StepSchedule, CountdownsTruncateAndNeverGoNegative) {
    EXPECT_EQ(countdownOf(5512.5), 5512);
    EXPECT_EQ(countdownOf(5512.0), 5512);
    EXPECT_EQ(countdownOf(0.99), 0);
    EXPECT_EQ(countdownOf(-0.7), 0);
    EXPECT_EQ(countdownOf(-1.0e9), 0);
    EXPECT_EQ(countdownOf(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_GT(countdownOf(std::numeric_limits<double>::infinity()), 0);
    EXPECT_GT(countdownOf(1.0e300), 0);
    // A whole-sample time that rounding put a hair below still lands on its sample.
    EXPECT_EQ(countdownOf(std::nextafter(5512.0, 0.0)), 5512);
}

TEST(StepSchedule, ChainFirstStepIsImmediateAndTheNextTwoFollowTheGrid) {
    // Phase none at a pair boundary: the on-beat now.
    ScheduledStep s = scheduleChainStep(at(0.0), kPhaseNone);
    EXPECT_EQ(s.countdown, 0);
    EXPECT_EQ(s.nextPhase, kPhaseOnBeat);
    // After the on-beat, one sample later: the off-beat at 0.25 beat, 5512.5 - 1 samples on.
    s = scheduleChainStep(at(1.0 / kSpb), kPhaseOnBeat);
    EXPECT_EQ(s.countdown, 5511);
    EXPECT_EQ(s.nextPhase, kPhaseOffBeat);
    // After the off-beat (fired at sample 5512): the next on-beat at 0.5 beat = sample 11025.
    s = scheduleChainStep(at(5513.0 / kSpb), kPhaseOffBeat);
    EXPECT_EQ(s.countdown, 11025 - 5513);
    EXPECT_EQ(s.nextPhase, kPhaseOnBeat);
}

TEST(StepSchedule, ChainWithShuffleDelaysTheOffBeat) {
    // Shuffle 0.8: the off-beat 1.8 steps after the on-beat (0.45 beat), the next on-beat 0.2
    // step later (0.5 beat).
    ScheduledStep s = scheduleChainStep(at(0.0 + 1.0 / kSpb, 0.8), kPhaseOnBeat);
    EXPECT_EQ(s.countdown, static_cast<std::int64_t>(0.45 * kSpb) - 1);
    // 0.04 beat is 882 samples exactly, although 0.5 - 0.46 rounds to a hair below 0.04.
    s = scheduleChainStep(at(0.46, 0.8), kPhaseOffBeat);
    EXPECT_EQ(s.countdown, 882);
}

TEST(StepSchedule, ChainCatchesUpLateStepsWithinTheTolerance) {
    // Last step an off-beat, position 0.005 beat past the next pair's start: fire now.
    ScheduledStep s = scheduleChainStep(at(0.505), kPhaseOffBeat);
    EXPECT_EQ(s.countdown, 0);
    EXPECT_EQ(s.nextPhase, kPhaseOnBeat);
    // 0.02 beat past: that on-beat is given up, the next comes at 1.0.
    s = scheduleChainStep(at(0.52), kPhaseOffBeat);
    EXPECT_EQ(s.countdown, static_cast<std::int64_t>((1.0 - 0.52) * kSpb));
    // Last step an on-beat and the off-beat (0.25) already passed: up to 0.01 beat before the
    // pair end the off-beat still fires now.
    s = scheduleChainStep(at(0.3), kPhaseOnBeat);
    EXPECT_EQ(s.countdown, 0);
    EXPECT_EQ(s.nextPhase, kPhaseOffBeat);
    // Within 0.01 of the pair end it waits for the off-beat of the next pair.
    s = scheduleChainStep(at(0.495), kPhaseOnBeat);
    EXPECT_EQ(s.countdown, static_cast<std::int64_t>((0.75 - 0.495) * kSpb));
    EXPECT_EQ(s.nextPhase, kPhaseOffBeat);
}

TEST(StepSchedule, ChainBeforeTheSongStartWaitsForZero) {
    const ScheduledStep s = scheduleChainStep(at(-0.5), kPhaseNone);
    EXPECT_EQ(s.countdown, 11025);
    EXPECT_EQ(s.nextPhase, kPhaseOnBeat);
}

TEST(StepSchedule, HostStartingAtBeatFourFiresAtOnce) {
    const ScheduledStep s = scheduleChainStep(at(4.0), kPhaseNone);
    EXPECT_EQ(s.countdown, 0);
    EXPECT_EQ(s.nextPhase, kPhaseOnBeat);
}

TEST(StepSchedule, NoteStepsAlternateOnTheGrid) {
    ScheduledStep s = scheduleNoteStep(at(0.0), kPhaseNone);
    EXPECT_EQ(s.countdown, 0);
    EXPECT_EQ(s.nextPhase, kPhaseOnBeat);
    s = scheduleNoteStep(at(1.0 / kSpb), kPhaseOnBeat);
    EXPECT_EQ(s.countdown, 5511);
    EXPECT_EQ(s.nextPhase, kPhaseOffBeat);
    s = scheduleNoteStep(at(0.3), kPhaseOffBeat);
    EXPECT_EQ(s.countdown, static_cast<std::int64_t>(0.2 * kSpb));
    EXPECT_EQ(s.nextPhase, kPhaseOnBeat);
    // Past the off-beat with an on-beat last: the off-beat now.
    s = scheduleNoteStep(at(0.3), kPhaseOnBeat);
    EXPECT_EQ(s.countdown, 0);
    EXPECT_EQ(s.nextPhase, kPhaseOffBeat);
    // Before the off-beat after an off-beat: wait for the pair end.
    s = scheduleNoteStep(at(0.1), kPhaseOffBeat);
    EXPECT_EQ(s.countdown, static_cast<std::int64_t>(0.4 * kSpb));
}

TEST(StepSchedule, FlamHitsFollowEachStepTimeByFlamSteps) {
    // Flam 0.252 of a step after the on-beat at 0 and after the off-beat at 0.25.
    const double f = 0.252;
    EXPECT_EQ(scheduleFlam(at(0.0), f), static_cast<std::int64_t>(0.252 * 0.25 * kSpb));
    EXPECT_EQ(scheduleFlam(at(0.1), f), static_cast<std::int64_t>((0.25 + 0.063 - 0.1) * kSpb));
    EXPECT_EQ(scheduleFlam(at(0.32), f), static_cast<std::int64_t>((0.5 + 0.063 - 0.32) * kSpb));
    // With shuffle 0.8 the off-beat flam moves with its step: 0.45 + 0.063.
    EXPECT_EQ(scheduleFlam(at(0.1, 0.8), f),
              static_cast<std::int64_t>((0.45 + 0.063 - 0.1) * kSpb));
}

TEST(StepSchedule, TripletGridUsesAThirdOfABeat) {
    const double L = 1.0 / 3.0;
    // After the on-beat at 0, the off-beat at 1/3 beat = 7350 samples.
    const ScheduledStep s = scheduleChainStep(at(1.0 / kSpb, 0.0, L), kPhaseOnBeat);
    EXPECT_EQ(s.countdown, 7350 - 1);
    const ScheduledStep n = scheduleChainStep(at(7351.0 / kSpb, 0.0, L), kPhaseOffBeat);
    EXPECT_EQ(n.countdown, 14700 - 7351);
}

} // namespace
} // namespace vorpalix
