#include "dsp/BassDrumVoice.h"
#include "voice_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace vorpalix {
namespace {

using testing::kPlainVelocity;
using testing::TestNoise;

constexpr double kTwoPiF = 6.2831854820251465;

TEST(BassDrumVoice, KnobMappingsHitDocumentedReferencePoints) {
    BassDrumVoice bd;
    struct Point {
        double x, fBase, kTune, sweepTop, attack, depth;
    };
    for (const Point& p :
         {Point{0.0, 30.0, 0.0067, 0.25, 0.25, 0.0}, Point{0.5, 52.76, 0.0012, 0.5, 1.75, 1.0},
          Point{1.0, 100.0, 0.0007, 0.75, 3.25, 5.0}}) {
        SCOPED_TRACE(p.x);
        bd.setPitch(p.x);
        bd.setTune(p.x);
        bd.setAttack(p.x);
        bd.setTuneDepth(p.x);
        EXPECT_NEAR(bd.fBase(), p.fBase, 0.005);
        EXPECT_NEAR(bd.kTune(), p.kTune, 0.000005);
        EXPECT_DOUBLE_EQ(bd.sweepTop(), p.sweepTop);
        EXPECT_DOUBLE_EQ(bd.attack(), p.attack);
        EXPECT_NEAR(bd.depth(), p.depth, 1e-9);
    }
    for (const auto& [x, kDecay] : {std::pair{0.0, 0.0025}, std::pair{0.25, 0.0015},
                                    std::pair{0.5, 0.00025}, std::pair{1.0, 0.00005}}) {
        bd.setDecay(x);
        EXPECT_NEAR(bd.kDecay(), kDecay, 0.000001) << "Decay " << x;
    }
}

TEST(BassDrumVoice, RateScaledCoefficientsFollowTheSampleRate) {
    BassDrumVoice bd;
    bd.setTune(0.0);
    bd.setDecay(0.25);
    bd.setSampleRate(88200.0f);
    // Recomputed from the stored knob values with c = 0.5 ...
    EXPECT_NEAR(bd.kTune(), 0.0067 / 2, 0.000003);
    EXPECT_NEAR(bd.kDecay(), 0.0015 / 2, 0.0000005);
    // ... and knob changes at the new rate use the new scale too.
    bd.setDecay(1.0);
    EXPECT_NEAR(bd.kDecay(), 0.00005 / 2, 0.0000005);
    bd.setSampleRate(22050.0f);
    EXPECT_NEAR(bd.kDecay(), 0.00005 * 2, 0.000001);
    // Frequencies are in Hz and do not depend on the rate.
    bd.setPitch(1.0);
    EXPECT_NEAR(bd.fBase(), 100.0, 0.005);
}

// Counts the frames the oscillator restarts from pi/2 (with Tune Depth 0 each such frame ends at
// pi/2 plus one step of fBase), then the frames the amplitude holds.
struct HoldLengths {
    int phaseHeld = 0;
    int amplitudeHeld = 0;
};

HoldLengths measureHolds(float rate) {
    BassDrumVoice bd;
    bd.setSampleRate(rate);
    bd.setLevel(1.0);
    bd.setDecay(0.0);
    bd.setPitch(0.5);
    bd.setTuneDepth(0.0);
    bd.trigger(kPlainVelocity);
    TestNoise noise;
    HoldLengths h;
    const double heldPhase = 1.5707963705062866 + kTwoPiF * 52.76 / rate;
    while (true) {
        bd.render(noise.frame());
        if (std::fabs(bd.phase() - heldPhase) > 1e-4 * kTwoPiF * 52.76 / rate) {
            break;
        }
        ++h.phaseHeld;
    }
    // The first frame after the hold already belongs to the amplitude hold.
    double env = bd.env2();
    h.amplitudeHeld = 1;
    while (true) {
        bd.render(noise.frame());
        if (bd.env2() != env) {
            break;
        }
        env = bd.env2();
        ++h.amplitudeHeld;
    }
    return h;
}

TEST(BassDrumVoice, HoldStagesLastTheSameTimeAtDoubleRate) {
    // 44100 * 0.00228 = 100.548: counts 100.548 .. 0.548 are held (101 frames); the amplitude
    // then holds while 2513.7 .. 0.7 remain (2514 frames).
    const HoldLengths at44 = measureHolds(44100.0f);
    EXPECT_EQ(at44.phaseHeld, 101);
    EXPECT_EQ(at44.amplitudeHeld, 2514);
    // 88200 * 0.00228 = 201.096 and 88200 * 0.057 = 5027.4.
    const HoldLengths at88 = measureHolds(88200.0f);
    EXPECT_EQ(at88.phaseHeld, 202);
    EXPECT_EQ(at88.amplitudeHeld, 5028);
}

// Instantaneous oscillator frequency (Hz) of the frame just rendered.
double frequencyAfterFrame(BassDrumVoice& bd, TestNoise& noise, double rate) {
    const double before = bd.phase();
    bd.render(noise.frame());
    return testing::phaseStep(before, bd.phase(), kTwoPiF) * rate / kTwoPiF;
}

TEST(BassDrumVoice, TuneDepthZeroGivesConstantPitch) {
    for (const auto& [pitch, hz] :
         {std::pair{0.0, 30.0}, std::pair{0.5, 52.76}, std::pair{1.0, 100.0}}) {
        BassDrumVoice bd;
        bd.setLevel(1.0);
        bd.setPitch(pitch);
        bd.setTuneDepth(0.0);
        bd.setDecay(0.5);
        bd.trigger(kPlainVelocity);
        TestNoise noise;
        for (int i = 0; i < 101; ++i) {
            bd.render(noise.frame());
        }
        for (int i = 0; i < 20000 && bd.isPlaying(); ++i) {
            ASSERT_NEAR(frequencyAfterFrame(bd, noise, 44100.0), hz, 0.01) << "frame " << i;
        }
    }
}

TEST(BassDrumVoice, PitchSweepStartsNear255HzAndFallsToTheBase) {
    BassDrumVoice bd;
    bd.setLevel(1.0);
    bd.setPitch(0.5);
    bd.setTuneDepth(0.5);
    bd.setTune(0.5);
    bd.setDecay(1.0);
    bd.trigger(kPlainVelocity);
    TestNoise noise;
    for (int i = 0; i < 101; ++i) {
        bd.render(noise.frame());
    }
    // The sweep of (510 * 0.5 - 52.76) * 1 = 202.24 Hz sits on top of 52.76 Hz.
    const double start = frequencyAfterFrame(bd, noise, 44100.0);
    EXPECT_GT(start, 245.0);
    EXPECT_LE(start, 255.0 + 0.01);
    // kTune 0.0012 per sample: after half a second the sweep has died away.
    for (int i = 0; i < 22050; ++i) {
        bd.render(noise.frame());
    }
    EXPECT_NEAR(frequencyAfterFrame(bd, noise, 44100.0), 52.76, 0.05);
}

// Frames from the hit until the voice falls idle.
long hitLength(float rate, double decay) {
    BassDrumVoice bd;
    bd.setSampleRate(rate);
    bd.setLevel(1.0);
    bd.setDecay(decay);
    bd.trigger(kPlainVelocity);
    TestNoise noise;
    return testing::renderUntilIdle(bd, 60L * 192000, noise, [](double) {});
}

TEST(BassDrumVoice, DecayOneRingsForAboutThreeSecondsAtAnyRate) {
    // env2 reaches gSq = (48/127 * 2.645)^2 = 0.99936 (less 0.07 per sample for 101 frames), holds
    // 2514 frames, then falls with 0.00005 per sample to 0.002.
    const double gSq = std::pow(0.37795275 * 2.645, 2.0);
    const double peak = gSq * (1.0 - std::pow(1.0 - 0.07, 101));
    const double decayFrames = std::log(0.002 / peak) / std::log(1.0 - 0.00005);
    const double expected = 101 + 2514 + decayFrames;
    const long at44 = hitLength(44100.0f, 1.0);
    EXPECT_NEAR(static_cast<double>(at44), expected, 3.0);
    EXPECT_GT(at44 / 44100.0, 2.8);
    const long at88 = hitLength(88200.0f, 1.0);
    EXPECT_NEAR(at88 / 88200.0, at44 / 44100.0, 0.001);
    const long at96 = hitLength(96000.0f, 1.0);
    EXPECT_NEAR(at96 / 96000.0, at44 / 44100.0, 0.001);
}

TEST(BassDrumVoice, LevelZeroIgnoresTheHit) {
    BassDrumVoice bd;
    bd.setLevel(0.0);
    bd.trigger(kPlainVelocity);
    EXPECT_FALSE(bd.isPlaying());
    TestNoise noise;
    EXPECT_EQ(bd.render(noise.frame()), 0.0);
}

TEST(BassDrumVoice, LevelZeroDuringAHitSilencesAtOnceButTheHitRunsOn) {
    BassDrumVoice bd;
    bd.setLevel(1.0);
    bd.trigger(kPlainVelocity);
    TestNoise noise;
    double peak = 0.0;
    for (int i = 0; i < 2000; ++i) {
        peak = std::max(peak, std::fabs(bd.render(noise.frame())));
    }
    EXPECT_GT(peak, 0.1);
    bd.setLevel(0.0);
    // After the hold the output smoother passes the output straight through.
    EXPECT_NEAR(bd.render(noise.frame()), 0.0, 1e-20);
    EXPECT_TRUE(bd.isPlaying());
    const long rest = testing::renderUntilIdle(bd, 20L * 44100, noise,
                                               [](double out) { ASSERT_NEAR(out, 0.0, 1e-20); });
    EXPECT_GT(rest, 1000);
    EXPECT_FALSE(bd.isPlaying());
}

TEST(BassDrumVoice, VelocityScalesTheBodyByTheSquaredGain) {
    auto peakFor = [](float velocity) {
        BassDrumVoice bd;
        bd.setLevel(1.0);
        bd.setAttack(0.0);
        bd.trigger(velocity);
        TestNoise noise;
        double peak = 0.0;
        // Skip the click, then look at the body during the amplitude hold.
        for (int i = 0; i < 2600; ++i) {
            const double out = bd.render(noise.frame());
            if (i > 600) {
                peak = std::max(peak, std::fabs(out));
            }
        }
        return peak;
    };
    // Doubling the velocity quadruples gSq and with it the body envelope.
    EXPECT_NEAR(peakFor(0.6f) / peakFor(0.3f), 4.0, 0.05);
}

TEST(BassDrumVoice, RetriggerRestartsTheHoldFromHalfPi) {
    BassDrumVoice bd;
    bd.setLevel(1.0);
    bd.setPitch(1.0);
    bd.setTuneDepth(0.0);
    bd.trigger(kPlainVelocity);
    TestNoise noise;
    for (int i = 0; i < 3000; ++i) {
        bd.render(noise.frame());
    }
    bd.trigger(0.63f);
    for (int i = 0; i < 50; ++i) {
        bd.render(noise.frame());
        // Restarted from pi/2 and advanced by one step of 100 Hz.
        ASSERT_NEAR(bd.phase(), 1.5707963705062866 + kTwoPiF * 100.0 / 44100.0, 1e-9);
    }
    EXPECT_NEAR(bd.gSq(), std::pow(0.63 * 2.645, 2.0), 1e-5);
}

} // namespace
} // namespace vorpalix
