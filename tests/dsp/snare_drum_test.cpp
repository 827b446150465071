#include "dsp/SnareDrumVoice.h"
#include "voice_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vorpalix {
namespace {

using testing::kPlainVelocity;
using testing::TestNoise;

constexpr double kTwoPiF = 6.2831854820251465;
constexpr double kPiF = 3.1415927410125732;

TEST(SnareDrumVoice, KnobMappingsHitDocumentedReferencePoints) {
    SnareDrumVoice sd;
    for (const auto& [x, tune] :
         {std::pair{0.0, 0.66}, std::pair{0.5, 0.98}, std::pair{1.0, 1.30}}) {
        sd.setTune(x);
        EXPECT_NEAR(sd.tune(), tune, 1e-12) << x;
    }
    for (const auto& [x, kTone] : {std::pair{0.0, 0.0009}, std::pair{0.25, 0.0004},
                                   std::pair{0.5, 0.0003}, std::pair{1.0, 0.0001}}) {
        sd.setTone(x);
        EXPECT_NEAR(sd.kTone(), kTone, 1e-9) << x;
    }
    for (const auto& [x, decayMul] :
         {std::pair{0.0, 2.85}, std::pair{0.5, 1.0}, std::pair{1.0, 0.35}}) {
        sd.setDecay(x);
        EXPECT_NEAR(sd.decayMul(), decayMul, 0.0001) << x;
    }
    sd.setTuneDepth(0.5);
    EXPECT_DOUBLE_EQ(sd.depth(), 1.0);
    sd.setTuneDepth(1.0);
    EXPECT_DOUBLE_EQ(sd.depth(), 2.0);
    sd.setSnappy(1.0);
    EXPECT_DOUBLE_EQ(sd.snappy(), 0.75);
    sd.setSnappy(0.0);
    EXPECT_DOUBLE_EQ(sd.snappy(), 0.0);

    sd.setTone(1.0);
    sd.setDecay(0.5);
    sd.setSampleRate(88200.0f);
    EXPECT_NEAR(sd.kTone(), 0.00005, 1e-9);
    EXPECT_NEAR(sd.decayMul(), 0.5, 0.00005);
}

struct SnareTiming {
    int held = 0;      // frames with the oscillators resting at 3 pi / 8
    int gateOpen = 0;  // frames with the noise-burst gate open
    int gateStart = 0; // first frame with the gate open
};

SnareTiming measureTiming(float rate) {
    SnareDrumVoice sd;
    sd.setSampleRate(rate);
    sd.setLevel(1.0);
    sd.setTuneDepth(0.0);
    sd.trigger(kPlainVelocity);
    TestNoise noise;
    SnareTiming t;
    t.gateStart = -1;
    // While held, each frame restarts from 3 pi / 8 and takes one step at the tuned rate.
    const double heldA = 1.178097277879715 + kTwoPiF * 178.0 * 0.98 / rate;
    const double heldB = 1.178097277879715 + kTwoPiF * 258.0 * 0.98 / rate;
    for (int i = 0; i < 2000; ++i) {
        sd.render(noise.frame());
        if (std::fabs(sd.phaseA() - heldA) < 1e-9 && std::fabs(sd.phaseB() - heldB) < 1e-9 &&
            t.gateStart < 0) {
            ++t.held;
        }
        if (sd.gateB() == 1.0) {
            if (t.gateStart < 0) {
                t.gateStart = i;
            }
            ++t.gateOpen;
        }
    }
    return t;
}

TEST(SnareDrumVoice, HoldAndNoiseGateLastTwoMillisecondsEachAtAnyRate) {
    // trunc(44100 * 0.002) = 88: the counter runs 88 .. 0 during the hold (89 frames), then the
    // gate stays open while the noise-gate counter counts 88 frames down.
    const SnareTiming at44 = measureTiming(44100.0f);
    EXPECT_EQ(at44.held, 89);
    EXPECT_EQ(at44.gateStart, 89);
    EXPECT_EQ(at44.gateOpen, 88);
    // trunc(88200 * 0.002) = 176.
    const SnareTiming at88 = measureTiming(88200.0f);
    EXPECT_EQ(at88.held, 177);
    EXPECT_EQ(at88.gateStart, 177);
    EXPECT_EQ(at88.gateOpen, 176);
}

// Records the phase advance of both oscillators for every frame after the hold.
struct Steps {
    std::vector<double> a, b;
};

Steps recordSteps(double tuneKnob, int frames) {
    SnareDrumVoice sd;
    sd.setLevel(1.0);
    sd.setTune(tuneKnob);
    sd.setTuneDepth(0.0);
    sd.setTone(1.0);
    sd.setDecay(1.0);
    sd.trigger(kPlainVelocity);
    TestNoise noise;
    for (int i = 0; i < 89; ++i) {
        sd.render(noise.frame());
    }
    Steps s;
    for (int i = 0; i < frames && sd.isPlaying(); ++i) {
        const double a = sd.phaseA();
        const double b = sd.phaseB();
        sd.render(noise.frame());
        s.a.push_back(testing::phaseStep(a, sd.phaseA(), kTwoPiF));
        s.b.push_back(testing::phaseStep(b, sd.phaseB(), kTwoPiF));
    }
    return s;
}

TEST(SnareDrumVoice, TuneDepthZeroKeepsBothOscillatorsAtTheirTunedRates) {
    for (const auto& [knob, tune] : {std::pair{0.5, 0.98}, std::pair{1.0, 1.30}}) {
        const Steps s = recordSteps(knob, 10000);
        ASSERT_EQ(s.a.size(), 10000u);
        const double incA = kTwoPiF * 178.0 * tune / 44100.0;
        const double incB = kTwoPiF * 258.0 * tune / 44100.0;
        for (std::size_t i = 0; i < s.a.size(); ++i) {
            // Each cycle runs at the nominal rate or at its slowed rate, never anything else.
            const bool aOk =
                std::fabs(s.a[i] - incA) < 1e-9 || std::fabs(s.a[i] - 0.926 * incA) < 1e-9;
            const bool bOk =
                std::fabs(s.b[i] - incB) < 1e-9 || std::fabs(s.b[i] - 0.904 * incB) < 1e-9;
            ASSERT_TRUE(aOk) << "A frame " << i << ": " << s.a[i];
            ASSERT_TRUE(bOk) << "B frame " << i << ": " << s.b[i];
        }
    }
}

// Lengths in frames of successive cycles, measured between passes of the phase through pi.
std::vector<int> cycleLengths(const std::vector<double>& steps, double startPhase) {
    std::vector<int> lengths;
    double phase = startPhase;
    int last = -1;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const double next = phase + steps[i];
        if (phase < kPiF && next >= kPiF) {
            if (last >= 0) {
                lengths.push_back(static_cast<int>(i) - last);
            }
            last = static_cast<int>(i);
        }
        phase = next >= kTwoPiF ? next - kTwoPiF : next;
    }
    return lengths;
}

TEST(SnareDrumVoice, OscillatorCyclesAlternateInLength) {
    const Steps s = recordSteps(0.5, 8000);
    // A at 178 * 0.98 = 174.44 Hz: 252.8 frames, every second cycle 1/0.926 longer (273.0).
    const std::vector<int> a = cycleLengths(s.a, 1.178097277879715);
    ASSERT_GE(a.size(), 20u);
    for (std::size_t i = 0; i + 1 < a.size(); ++i) {
        const int shortOne = std::min(a[i], a[i + 1]);
        const int longOne = std::max(a[i], a[i + 1]);
        EXPECT_NEAR(shortOne, 252.8, 1.0) << i;
        EXPECT_NEAR(longOne, 273.0, 1.0) << i;
    }
    // B at 258 * 0.98 = 252.84 Hz: 174.4 frames, every third cycle 1/0.904 longer (192.9).
    const std::vector<int> b = cycleLengths(s.b, 1.178097277879715);
    ASSERT_GE(b.size(), 30u);
    int longCycles = 0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (b[i] > 183) {
            EXPECT_NEAR(b[i], 192.9, 1.0) << i;
            ++longCycles;
            if (i + 3 < b.size()) {
                EXPECT_GT(b[i + 3], 183) << "every third cycle is slow, " << i;
            }
        } else {
            EXPECT_NEAR(b[i], 174.4, 1.0) << i;
        }
    }
    EXPECT_NEAR(longCycles, static_cast<int>(b.size()) / 3, 1);
}

TEST(SnareDrumVoice, SnappyZeroRemovesTheNoise) {
    for (const double snappy : {0.0, 0.5}) {
        SnareDrumVoice withNoise, silentNoise;
        for (SnareDrumVoice* sd : {&withNoise, &silentNoise}) {
            sd->setLevel(1.0);
            sd->setSnappy(snappy);
            sd->trigger(kPlainVelocity);
        }
        TestNoise noise;
        double largestDifference = 0.0;
        while (withNoise.isPlaying() || silentNoise.isPlaying()) {
            const double a = withNoise.render(noise.frame());
            const double b = silentNoise.render(FrameInputs{});
            largestDifference = std::max(largestDifference, std::fabs(a - b));
        }
        if (snappy == 0.0) {
            EXPECT_EQ(largestDifference, 0.0);
        } else {
            EXPECT_GT(largestDifference, 0.01);
        }
    }
}

long snareLength(float rate, double tone) {
    SnareDrumVoice sd;
    sd.setSampleRate(rate);
    sd.setLevel(1.0);
    sd.setTone(tone);
    sd.trigger(kPlainVelocity);
    TestNoise noise;
    return testing::renderUntilIdle(sd, 10L * 192000, noise, [](double) {});
}

TEST(SnareDrumVoice, ToneSetsHowLongTheSnapRings) {
    // The snap envelope rises toward gSq with 0.005 per sample for 89 frames and then falls with
    // kTone; the voice ends when 1 - exp(-2 e4) - 0.05 < 0.002, i.e. e4 < -ln(0.948) / 2.
    const double gSq = std::pow(0.37795275 * 2.645, 2.0);
    const double e4Peak = gSq * (1.0 - std::pow(1.0 - 0.005, 89));
    const double e4End = -std::log(0.948) / 2.0;
    const double toneOne = 89 + std::log(e4End / e4Peak) / std::log(1.0 - 0.0001);
    EXPECT_NEAR(static_cast<double>(snareLength(44100.0f, 1.0)), toneOne, 3.0);
    // With Tone 0 the snap is gone early and the tail envelope (0.0003 per sample down to
    // 0.002 / 0.03) ends the hit.
    const double eTPeak = gSq * (1.0 - std::pow(1.0 - 0.2, 89));
    const double tail = 89 + std::log((0.002 / 0.03) / eTPeak) / std::log(1.0 - 0.0003);
    EXPECT_NEAR(static_cast<double>(snareLength(44100.0f, 0.0)), tail, 3.0);
    // At 88.2 kHz: 177 hold frames with 0.0025 per sample, then 0.00005 per sample; about the
    // same time in seconds.
    const double e4Peak88 = gSq * (1.0 - std::pow(1.0 - 0.0025, 177));
    const double toneOne88 = 177 + std::log(e4End / e4Peak88) / std::log(1.0 - 0.00005);
    EXPECT_NEAR(static_cast<double>(snareLength(88200.0f, 1.0)), toneOne88, 3.0);
    EXPECT_NEAR(toneOne88 / 88200.0, toneOne / 44100.0, 0.002);
}

TEST(SnareDrumVoice, LevelZeroIgnoresTheHit) {
    SnareDrumVoice sd;
    sd.setLevel(0.0);
    sd.trigger(kPlainVelocity);
    EXPECT_FALSE(sd.isPlaying());
}

} // namespace
} // namespace vorpalix
