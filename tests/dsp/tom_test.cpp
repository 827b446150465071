#include "dsp/TomVoice.h"
#include "voice_test_util.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorpalix {
namespace {

using testing::kPlainVelocity;
using testing::TestNoise;

constexpr double kTwoPiF = 6.2831854820251465;

TEST(TomVoice, KnobMappingsHitDocumentedReferencePoints) {
    TomVoice tom(TomVoice::kLowTom);
    struct Point {
        double x, tune, kTone, depth, kDecay, tdMul;
    };
    for (const Point& p :
         {Point{0.0, 0.68, 0.1, 1.0, 0.0009, 2.25}, Point{0.5, 1.0, 0.001, 1.4, 0.00028, 0.75},
          Point{1.0, 1.32, 0.00045, 1.8, 0.0002, 0.25}}) {
        SCOPED_TRACE(p.x);
        tom.setTune(p.x);
        tom.setTone(p.x);
        tom.setTuneDepth(p.x);
        tom.setDecay(p.x);
        tom.setTuneDecay(p.x);
        EXPECT_NEAR(tom.tune(), p.tune, 1e-12);
        EXPECT_NEAR(tom.kTone(), p.kTone, 0.000002);
        EXPECT_NEAR(tom.depth(), p.depth, 1e-12);
        EXPECT_NEAR(tom.kDecay(), p.kDecay, 0.0000002);
        EXPECT_NEAR(tom.tdMul(), p.tdMul, 1e-12);
    }
    tom.setSampleRate(88200.0f);
    EXPECT_NEAR(tom.kTone(), 0.00045 / 2, 0.000001);
    EXPECT_NEAR(tom.kDecay(), 0.0002 / 2, 0.0000001);
    EXPECT_NEAR(tom.tdMul(), 0.25 / 2, 1e-12);
}

TEST(TomVoice, EachTomHasItsOwnThreeBaseFrequencies) {
    const TomVoice lt(TomVoice::kLowTom), mt(TomVoice::kMidTom), ht(TomVoice::kHighTom);
    EXPECT_EQ(lt.baseFrequency(0), 88.97);
    EXPECT_EQ(lt.baseFrequency(1), 57.67);
    EXPECT_EQ(lt.baseFrequency(2), 165.6);
    EXPECT_EQ(mt.baseFrequency(0), 110.0);
    EXPECT_EQ(mt.baseFrequency(1), 71.24);
    EXPECT_EQ(mt.baseFrequency(2), 181.65);
    EXPECT_EQ(ht.baseFrequency(0), 132.2);
    EXPECT_EQ(ht.baseFrequency(1), 89.89);
    EXPECT_EQ(ht.baseFrequency(2), 249.7);
}

// Frequency in Hz of oscillator k over the frame just rendered.
double frequencyOf(const TomVoice& tom, int k, double before, double rate) {
    return testing::phaseStep(before, tom.phase(k), kTwoPiF) * rate / kTwoPiF;
}

TEST(TomVoice, TuneDepthZeroKeepsEveryOscillatorAtItsTunedBase) {
    for (const auto& [knob, tune] : {std::pair{0.5, 1.0}, std::pair{1.0, 1.32}}) {
        TomVoice tom(TomVoice::kHighTom);
        tom.setLevel(1.0);
        tom.setTune(knob);
        tom.setTuneDepth(0.0);
        tom.trigger(kPlainVelocity);
        TestNoise noise;
        for (int i = 0; i < 89; ++i) {
            tom.render(noise.frame());
        }
        const double base[3] = {132.2, 89.89, 249.7};
        for (int i = 0; i < 10000 && tom.isPlaying(); ++i) {
            const double before[3] = {tom.phase(0), tom.phase(1), tom.phase(2)};
            tom.render(noise.frame());
            for (int k = 0; k < 3; ++k) {
                ASSERT_NEAR(frequencyOf(tom, k, before[k], 44100.0), base[k] * tune, 1e-6)
                    << "oscillator " << k << " frame " << i;
            }
        }
    }
}

TEST(TomVoice, DefaultKnobsSettleNearTheBaseFrequencies) {
    TomVoice tom(TomVoice::kLowTom);
    tom.setLevel(1.0);
    tom.trigger(kPlainVelocity);
    TestNoise noise;
    // Right after the hold the sweep raises every oscillator by up to 40 %.
    for (int i = 0; i < 90; ++i) {
        tom.render(noise.frame());
    }
    double before = tom.phase(0);
    tom.render(noise.frame());
    EXPECT_GT(frequencyOf(tom, 0, before, 44100.0), 88.97 * 1.3);
    // Late in the hit the sweep has decayed.
    for (int i = 0; i < 20000; ++i) {
        tom.render(noise.frame());
    }
    ASSERT_TRUE(tom.isPlaying());
    const double base[3] = {88.97, 57.67, 165.6};
    const double b[3] = {tom.phase(0), tom.phase(1), tom.phase(2)};
    tom.render(noise.frame());
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(frequencyOf(tom, k, b[k], 44100.0), base[k], base[k] * 0.015) << k;
    }
}

// Frames during which envelope A keeps rising after a hit: the hold (2 ms).
int risingFrames(float rate) {
    TomVoice tom(TomVoice::kMidTom);
    tom.setSampleRate(rate);
    tom.setLevel(1.0);
    tom.trigger(kPlainVelocity);
    TestNoise noise;
    int n = 0;
    double last = tom.envelopeA();
    while (true) {
        tom.render(noise.frame());
        if (tom.envelopeA() <= last) {
            return n;
        }
        last = tom.envelopeA();
        ++n;
    }
}

TEST(TomVoice, HoldLastsTwoMillisecondsAtAnyRate) {
    EXPECT_EQ(risingFrames(44100.0f), 89);  // trunc(88.2) + 1
    EXPECT_EQ(risingFrames(88200.0f), 177); // trunc(176.4) + 1
}

struct Fall {
    double sweepSeconds = 0.0; // until the sweep envelope falls below 0.25
    double ampSeconds = 0.0;   // until envelope A falls below 0.25
};

Fall measureFall(float rate) {
    TomVoice tom(TomVoice::kLowTom);
    tom.setSampleRate(rate);
    tom.setLevel(1.0);
    tom.setDecay(1.0);
    tom.trigger(kPlainVelocity);
    TestNoise noise;
    Fall f;
    for (long i = 1; tom.isPlaying() && (f.sweepSeconds == 0.0 || f.ampSeconds == 0.0); ++i) {
        tom.render(noise.frame());
        if (i > 1000 && f.sweepSeconds == 0.0 && tom.sweep() < 0.25) {
            f.sweepSeconds = i / static_cast<double>(rate);
        }
        if (i > 1000 && f.ampSeconds == 0.0 && tom.envelopeA() < 0.25) {
            f.ampSeconds = i / static_cast<double>(rate);
        }
    }
    return f;
}

TEST(TomVoice, SweepDecaysMoreSlowlyAtHigherRatesWhileTheEnvelopesKeepTheirTiming) {
    const Fall at44 = measureFall(44100.0f);
    const Fall at96 = measureFall(96000.0f);
    ASSERT_GT(at44.sweepSeconds, 0.0);
    ASSERT_GT(at96.sweepSeconds, 0.0);
    // The sweep coefficient carries the rate scale squared, so its time grows with the rate.
    EXPECT_NEAR(at96.sweepSeconds / at44.sweepSeconds, 96000.0 / 44100.0, 0.05);
    // The amplitude envelope has the rate scale once and keeps its time.
    EXPECT_NEAR(at96.ampSeconds / at44.ampSeconds, 1.0, 0.01);
}

TEST(TomVoice, TuneDecayZeroIsTheFastestSweep) {
    auto sweepAfter = [](double tuneDecay, int frames) {
        TomVoice tom(TomVoice::kMidTom);
        tom.setLevel(1.0);
        tom.setTuneDecay(tuneDecay);
        tom.trigger(kPlainVelocity);
        TestNoise noise;
        for (int i = 0; i < frames; ++i) {
            tom.render(noise.frame());
        }
        return tom.sweep();
    };
    // After the hold the two sweep halves fall with 2.25 * 0.0002 and 2.25 * 0.0015 (Tune Decay
    // 0) or 0.25 times those (Tune Decay 1) per sample, from just below 1.
    const double fast = sweepAfter(0.0, 89 + 2000);
    const double slow = sweepAfter(1.0, 89 + 2000);
    const double start = 1.0 - std::pow(0.9, 89);
    EXPECT_NEAR(fast, start * 0.5 * (std::pow(1 - 0.00045, 2000) + std::pow(1 - 0.003375, 2000)),
                0.002);
    EXPECT_NEAR(slow, start * 0.5 * (std::pow(1 - 0.00005, 2000) + std::pow(1 - 0.000375, 2000)),
                0.002);
}

TEST(TomVoice, LevelZeroIgnoresTheHit) {
    TomVoice tom(TomVoice::kHighTom);
    tom.setLevel(0.0);
    tom.trigger(kPlainVelocity);
    EXPECT_FALSE(tom.isPlaying());
}

TEST(TomVoice, TomNoiseIsMixedUnderItsEnvelope) {
    TomVoice quiet(TomVoice::kLowTom), noisy(TomVoice::kLowTom);
    for (TomVoice* t : {&quiet, &noisy}) {
        t->setLevel(1.0);
        t->setTone(1.0);
        t->trigger(kPlainVelocity);
    }
    double largest = 0.0;
    for (int i = 0; i < 4000; ++i) {
        const double a = quiet.render(FrameInputs{0.0, 0.0});
        const double b = noisy.render(FrameInputs{0.0, 0.1});
        largest = std::max(largest, std::fabs(b - a));
    }
    // eN approaches gSq: the 0.1 noise level times the level follower, Level and 0.6435.
    EXPECT_GT(largest, 0.1 * 0.9 * 0.5 * 0.6435);
    EXPECT_LT(largest, 0.1 * 1.1 * 0.6435);
}

} // namespace
} // namespace vorpalix
