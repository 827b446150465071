#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "dsp/RimShotVoice.h"
#include "dsp/VoiceTestSupport.h"

namespace vorpalix {
namespace {

using test::stageCoefficient;

struct StageExpectation {
    double tune, decay;
    double f1, f2, f3; // stage frequencies, Hz
    double G1, G3;     // loop gains (G2 equals G1)
};

// Hand-computed from the knob laws: a = tune + 0.5, d = 2 decay, k = 1 - (d - 1) 0.032327,
// f = f0 a k, h = (d - 1)(1 - (a - 0.5) 0.5) + (a - 1) 0.75, G1 = G2 = h + 2.7, G3 = h + 2.6.
const StageExpectation kStageExpectations[] = {
    {0.5, 0.5, 520.0, 236.47, 1080.7, 2.7, 2.6},
    {0.0, 0.5, 260.0, 118.235, 540.35, 2.325, 2.225},
    {1.0, 0.5, 780.0, 354.705, 1621.05, 3.075, 2.975},
    {0.5, 0.0, 536.81004, 244.11437, 1115.6358, 1.95, 1.85},
    {0.5, 1.0, 503.18996, 228.82563, 1045.7642, 3.45, 3.35},
    {0.0, 0.0, 268.40502, 122.05718, 557.81789, 1.325, 1.225},
    {1.0, 1.0, 754.78494, 343.23845, 1568.6463, 3.575, 3.475},
};

TEST(RimShotVoice, KnobsSetStageFrequenciesAndLoopGains) {
    for (const double rate : {44100.0, 88200.0}) {
        for (const StageExpectation& e : kStageExpectations) {
            RimShotVoice rs;
            rs.setSampleRate(static_cast<float>(rate));
            rs.setTune(e.tune);
            rs.setDecay(e.decay);
            SCOPED_TRACE(testing::Message()
                         << "rate " << rate << " tune " << e.tune << " decay " << e.decay);
            EXPECT_NEAR(rs.stageCoefficient(0), stageCoefficient(e.f1, rate), 1e-8);
            EXPECT_NEAR(rs.stageCoefficient(1), stageCoefficient(e.f2, rate), 1e-8);
            EXPECT_NEAR(rs.stageCoefficient(2), stageCoefficient(e.f3, rate), 1e-8);
            EXPECT_NEAR(rs.stageLoopGain(0), e.G1, 1e-12);
            EXPECT_NEAR(rs.stageLoopGain(1), e.G1, 1e-12);
            EXPECT_NEAR(rs.stageLoopGain(2), e.G3, 1e-12);
        }
    }
}

TEST(RimShotVoice, SampleRateChangeKeepsKnobSettings) {
    RimShotVoice rs;
    rs.setTune(1.0);
    rs.setDecay(0.0);
    rs.setSampleRate(96000.0f);
    EXPECT_NEAR(rs.stageCoefficient(0), stageCoefficient(520.0 * 1.5 * 1.032327, 96000.0), 1e-9);
    EXPECT_NEAR(rs.stageLoopGain(0), 2.575, 1e-12); // h = -1 * 0.5 + 0.375
}

// Frames from the trigger until the hit ends: trunc(rate * 0.000416) frames of attack, then the
// envelope (about 1 after the attack) falls by 1 - 0.001 c per frame until it is below 0.002.
int expectedRimShotFrames(double rate) {
    const double c = 44100.0 / rate;
    const int attack = static_cast<int>(rate * 0.000416);
    return attack + static_cast<int>(std::ceil(std::log(0.002) / std::log(1.0 - 0.001 * c)));
}

// Below 44.1 kHz / 0.9 the attack coefficient 0.9 c is held at 1 (the envelope jumps to 1), so
// the hit lasts as long, and rings as loud, at low rates as at high ones.
TEST(RimShotVoice, HitEndsWhenItsEnvelopeFallsBelowTheThreshold) {
    for (const double rate : {11025.0, 16000.0, 44100.0, 88200.0}) {
        RimShotVoice rs;
        rs.setSampleRate(static_cast<float>(rate));
        rs.setLevel(1.0);
        rs.trigger(test::kUnitVelocity);
        const FrameInputs in{};
        int frames = 0;
        double peak = 0.0;
        while (rs.isPlaying() && frames < 1'000'000) {
            peak = std::max(peak, std::fabs(rs.render(in)));
            ++frames;
        }
        EXPECT_GT(peak, 0.1) << "rate " << rate;
        const int expected = expectedRimShotFrames(rate);
        EXPECT_EQ(frames, expected) << "rate " << rate;
        // 44.1 kHz: 18 attack frames and 6212 falling ones, about 141 ms.
        if (rate == 44100.0) {
            EXPECT_EQ(expected, 18 + 6212);
        }
        EXPECT_LT(rs.envelope(), 0.002);
        EXPECT_EQ(rs.render(in), 0.0);
    }
}

TEST(RimShotVoice, EnvelopeRisesDuringTheAttackThenFalls) {
    RimShotVoice rs;
    rs.setLevel(1.0);
    rs.trigger(test::kUnitVelocity);
    const FrameInputs in{};
    double previous = 0.0;
    for (int n = 1; n <= 18; ++n) { // trunc(44100 * 0.000416) = 18 attack frames
        rs.render(in);
        EXPECT_GE(rs.envelope(), previous);
        previous = rs.envelope();
    }
    EXPECT_NEAR(rs.envelope(), 1.0, 1e-9);
    rs.render(in);
    EXPECT_NEAR(rs.envelope(), previous * 0.999, 1e-9);
}

// The output is the saturated resonator sum times g and Level after the non-linearity, so both
// scale it linearly.
TEST(RimShotVoice, OutputScalesLinearlyWithVelocityAndLevel) {
    RimShotVoice a, b, c;
    a.setLevel(0.5);
    b.setLevel(0.5);
    c.setLevel(1.0);
    a.trigger(0.3f);
    b.trigger(0.6f);
    c.trigger(0.3f);
    const FrameInputs in{};
    double peak = 0.0;
    for (int n = 0; n < 2000; ++n) {
        const double ya = a.render(in);
        const double yb = b.render(in);
        const double yc = c.render(in);
        EXPECT_NEAR(yb, 2.0 * ya, 1e-12 + 1e-9 * std::fabs(ya));
        EXPECT_NEAR(yc, 2.0 * ya, 1e-12 + 1e-9 * std::fabs(ya));
        peak = std::max(peak, std::fabs(ya));
    }
    EXPECT_GT(peak, 0.01);
}

TEST(RimShotVoice, LevelZeroIgnoresTrigger) {
    RimShotVoice rs;
    rs.setLevel(0.0);
    rs.trigger(1.0f);
    EXPECT_FALSE(rs.isPlaying());
    EXPECT_EQ(rs.render({}), 0.0);
}

TEST(RimShotVoice, RetriggerRestartsTheHit) {
    RimShotVoice rs;
    rs.setLevel(1.0);
    rs.trigger(test::kUnitVelocity);
    for (int n = 0; n < 5000; ++n) {
        rs.render({});
    }
    rs.trigger(test::kUnitVelocity);
    EXPECT_EQ(rs.envelope(), 0.0);
    int frames = 0;
    while (rs.isPlaying() && frames < 100000) {
        rs.render({});
        ++frames;
    }
    EXPECT_EQ(frames, expectedRimShotFrames(44100.0));
}

} // namespace
} // namespace vorpalix
