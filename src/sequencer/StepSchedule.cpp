#include "sequencer/StepSchedule.h"

#include <cmath>

namespace vorpalix {

namespace {

// Headroom below the next whole sample for rounding carried by a position that was summed
// sample by sample (far below one sample, far above the rounding of any realistic song length).
constexpr double kWholeSampleTolerance = 1.0e-6;
// About 2.6 days at 768 kHz: longer waits are clamped.
constexpr double kLongestCountdown = 1.0e11;
// A step up to this many beats late still fires.
constexpr double kLateStepTolerance = 0.01;

// E: the end of the pair that holds P (P itself when P is a pair boundary).
double pairEnd(double position, double pair) {
    return std::ceil(position / pair) * pair;
}

} // namespace

std::int64_t countdownOf(double samples) {
    const double s = samples + kWholeSampleTolerance;
    if (!(s > 0.0)) {
        return 0; // also NaN
    }
    if (s >= kLongestCountdown) {
        return static_cast<std::int64_t>(kLongestCountdown);
    }
    return static_cast<std::int64_t>(s);
}

ScheduledStep scheduleChainStep(const ScheduleInput& in, int phase) {
    const double P = in.position;
    const double L = in.stepLength;
    const double spb = in.samplesPerBeat;
    if (P < 0.0) {
        return {countdownOf(-P * spb), kPhaseOnBeat};
    }
    const double E = pairEnd(P, 2.0 * L);
    const double O = E - L + L * in.shuffle;
    if (P <= O) {
        if (phase == kPhaseNone) {
            return {0, kPhaseOnBeat};
        }
        if (phase == kPhaseOnBeat) {
            return {countdownOf((O - P) * spb), kPhaseOffBeat};
        }
        if (P <= E - 2.0 * L + kLateStepTolerance) {
            return {0, kPhaseOnBeat};
        }
        return {countdownOf((E - P) * spb), kPhaseOnBeat};
    }
    if (phase != kPhaseOnBeat) {
        return {countdownOf((E - P) * spb), kPhaseOnBeat};
    }
    if (P <= E - kLateStepTolerance) {
        return {0, kPhaseOffBeat};
    }
    const double O2 = O + 2.0 * L;
    return {countdownOf((O2 - P) * spb), kPhaseOffBeat};
}

ScheduledStep scheduleNoteStep(const ScheduleInput& in, int phase) {
    const double P = in.position;
    const double L = in.stepLength;
    const double spb = in.samplesPerBeat;
    const double E = pairEnd(P, 2.0 * L);
    const double O = E - L + L * in.shuffle;
    if (P < O) {
        if (phase == kPhaseOffBeat) {
            return {countdownOf((E - P) * spb), kPhaseOnBeat};
        }
        return {countdownOf((O - P) * spb), kPhaseOffBeat};
    }
    if (phase == kPhaseOnBeat) {
        return {0, kPhaseOffBeat};
    }
    return {countdownOf((E - P) * spb), kPhaseOnBeat};
}

std::int64_t scheduleFlam(const ScheduleInput& in, double flam) {
    const double P = in.position;
    const double L = in.stepLength;
    const double X = pairEnd(P - L * flam, 2.0 * L) + L * flam;
    const double Y = X - L + L * in.shuffle;
    const double target = P < Y ? Y : X;
    return countdownOf((target - P) * in.samplesPerBeat);
}

} // namespace vorpalix
