#include "dsp/DrumEngine.h"
#include "dsp/ParameterIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace vorpalix {
namespace {

// The engine is large (eleven voices); keep it off the test's stack.
std::unique_ptr<DrumEngine> makeEngine() {
    auto engine = std::make_unique<DrumEngine>();
    for (int i = 0; i < 48; ++i) {
        engine->setEngineParameter(i, 0.5f);
    }
    return engine;
}

void renderFrames(DrumEngine& engine, int frames) {
    OutputFrame out;
    for (int i = 0; i < frames; ++i) {
        engine.renderFrame(out);
    }
}

double velocityOfLastBassDrumHit(const DrumEngine& engine) {
    return std::sqrt(engine.bassDrum().gSq()) / 2.645;
}

TEST(DrumEngine, VolumeSetsTheMasterGainAsTwiceTheSquare) {
    auto engine = makeEngine();
    engine->setEngineParameter(kParamVolume, 0.5f);
    EXPECT_DOUBLE_EQ(engine->masterGain(), 0.5);
    engine->setEngineParameter(kParamVolume, 1.0f);
    EXPECT_DOUBLE_EQ(engine->masterGain(), 2.0);
    engine->setEngineParameter(kParamVolume, 0.0f);
    EXPECT_DOUBLE_EQ(engine->masterGain(), 0.0);
}

TEST(DrumEngine, MasterGainScalesEveryOutput) {
    auto quiet = makeEngine();
    auto loud = makeEngine();
    quiet->setEngineParameter(kParamVolume, 0.5f);
    loud->setEngineParameter(kParamVolume, 1.0f);
    quiet->triggerVoice(kBD, 0.5f);
    loud->triggerVoice(kBD, 0.5f);
    OutputFrame a, b;
    double largest = 0.0;
    for (int i = 0; i < 3000; ++i) {
        quiet->renderFrame(a);
        loud->renderFrame(b);
        for (int k = 0; k < OutputFrame::kSize; ++k) {
            ASSERT_NEAR(b.values[k], 4.0f * a.values[k], 1e-6f + 1e-6f * std::fabs(b.values[k]));
        }
        largest = std::max(largest, static_cast<double>(std::fabs(b.values[0])));
    }
    EXPECT_GT(largest, 0.1);
}

TEST(DrumEngine, OutputFrameCarriesTheMasterThenEachInstrument) {
    auto engine = makeEngine();
    engine->triggerVoice(kSD, 0.5f);
    engine->triggerVoice(kHT, 0.5f);
    OutputFrame out;
    bool sawSnare = false, sawTom = false;
    for (int i = 0; i < 2000; ++i) {
        engine->renderFrame(out);
        for (int k = 1; k < OutputFrame::kSize; ++k) {
            if (k != 1 + kSD && k != 1 + kHT) {
                ASSERT_EQ(out.values[k], 0.0f) << "slot " << k;
            }
        }
        sawSnare = sawSnare || out.values[1 + kSD] != 0.0f;
        sawTom = sawTom || out.values[1 + kHT] != 0.0f;
        ASSERT_NEAR(out.values[0], out.values[1 + kSD] + out.values[1 + kHT], 1e-6f);
    }
    EXPECT_TRUE(sawSnare);
    EXPECT_TRUE(sawTom);
}

TEST(DrumEngine, MuteAndSoloDecideWhichInstrumentsPlay) {
    auto engine = makeEngine();
    for (int i = 0; i < kNumInstruments; ++i) {
        EXPECT_TRUE(engine->isEnabled(i)) << i;
    }
    // Mute: set above 0.5 only.
    engine->setEngineParameter(muteParameter(kBD), 0.5f);
    EXPECT_TRUE(engine->isEnabled(kBD));
    engine->setEngineParameter(muteParameter(kBD), 0.51f);
    EXPECT_FALSE(engine->isEnabled(kBD));
    engine->triggerVoice(kBD, 0.5f);
    EXPECT_FALSE(engine->isPlaying(kBD));

    // A solo silences everything else, whatever the mute flags say, and mute is ignored for
    // soloed instruments.
    engine->setEngineParameter(muteParameter(kSD), 1.0f);
    engine->setEngineParameter(soloParameter(kSD), 1.0f);
    engine->setEngineParameter(soloParameter(kBD), 1.0f);
    for (int i = 0; i < kNumInstruments; ++i) {
        EXPECT_EQ(engine->isEnabled(i), i == kSD || i == kBD) << i;
    }
    engine->triggerStep(kLT, false, false);
    EXPECT_FALSE(engine->isPlaying(kLT));
    engine->triggerStep(kSD, false, false);
    EXPECT_TRUE(engine->isPlaying(kSD));

    // Clearing the last solo brings the mute flags back.
    engine->setEngineParameter(soloParameter(kSD), 0.0f);
    engine->setEngineParameter(soloParameter(kBD), 0.0f);
    EXPECT_FALSE(engine->isEnabled(kBD));
    EXPECT_FALSE(engine->isEnabled(kSD));
    EXPECT_TRUE(engine->isEnabled(kLT));
    EXPECT_TRUE(engine->isMuted(kSD));
    EXPECT_FALSE(engine->isSoloed(kSD));
}

TEST(DrumEngine, MutingDoesNotCutASoundingHit) {
    auto engine = makeEngine();
    engine->triggerVoice(kBD, 0.5f);
    renderFrames(*engine, 100);
    engine->setEngineParameter(muteParameter(kBD), 1.0f);
    renderFrames(*engine, 100);
    EXPECT_TRUE(engine->isPlaying(kBD));
}

TEST(DrumEngine, StepVelocitiesAddAccentAndTotalAccent) {
    auto engine = makeEngine();
    engine->setTotalAccent(1.0);
    engine->triggerStep(kBD, false, false);
    EXPECT_NEAR(velocityOfLastBassDrumHit(*engine), 0.37795275, 1e-6);
    engine->triggerStep(kBD, true, false);
    EXPECT_NEAR(velocityOfLastBassDrumHit(*engine), 0.62995275, 1e-6);
    engine->triggerStep(kBD, true, true);
    EXPECT_NEAR(velocityOfLastBassDrumHit(*engine), 0.37795275 + 0.252 + 0.252, 1e-6);
    EXPECT_NEAR(std::sqrt(engine->bassDrum().gSq()), 2.3328, 0.0001);

    engine->setTotalAccent(0.5);
    engine->triggerStep(kBD, true, true);
    EXPECT_NEAR(velocityOfLastBassDrumHit(*engine), 0.37795275 + 0.252 + 0.126, 1e-6);

    // Plain and accented flam hits ignore the accent flag but take total accent.
    engine->triggerStepPlain(kBD, true, false);
    EXPECT_NEAR(velocityOfLastBassDrumHit(*engine), 0.37795275, 1e-6);
    engine->triggerStepPlain(kBD, true, true);
    EXPECT_NEAR(velocityOfLastBassDrumHit(*engine), 0.37795275 + 0.126, 1e-6);
    engine->triggerStepAccented(kBD, false, false);
    EXPECT_NEAR(velocityOfLastBassDrumHit(*engine), 0.6299528, 1e-6);
    engine->triggerStepAccented(kBD, false, true);
    EXPECT_NEAR(velocityOfLastBassDrumHit(*engine), 0.6299528 + 0.126, 1e-6);
}

TEST(DrumEngine, NoiseFollowsTheSeededGeneratorAndRestartsWithTheRate) {
    auto engine = makeEngine();
    // Hand-computed: n = B as signed 32-bit times 2^-32, then A ^= B, B += A.
    const double expected[] = {-271733879.0 / 4294967296.0, 2018915345.0 / 4294967296.0,
                               1765077162.0 / 4294967296.0, 52378845.0 / 4294967296.0};
    for (const double n : expected) {
        renderFrames(*engine, 1);
        EXPECT_DOUBLE_EQ(engine->noise(), n);
    }
    engine->setSampleRate(48000.0f);
    renderFrames(*engine, 1);
    EXPECT_DOUBLE_EQ(engine->noise(), expected[0]);

    double sum = 0.0;
    for (int i = 0; i < 100000; ++i) {
        renderFrames(*engine, 1);
        ASSERT_GE(engine->noise(), -0.5);
        ASSERT_LT(engine->noise(), 0.5);
        sum += engine->noise();
    }
    EXPECT_NEAR(sum / 100000.0, 0.0, 0.01);
}

// Frame (counted from 0 after the hit) at which the tom-noise burst envelope jumps up.
int burstFrame(DrumEngine& engine, int maxFrames) {
    double last = engine.tomNoiseEnvelope();
    for (int i = 0; i < maxFrames; ++i) {
        renderFrames(engine, 1);
        if (engine.tomNoiseEnvelope() > last + 0.1) {
            return i;
        }
        last = engine.tomNoiseEnvelope();
    }
    return -1;
}

TEST(DrumEngine, TomNoiseBurstArrivesTwoMillisecondsAfterATomHit) {
    auto engine = makeEngine();
    engine->triggerVoice(kMT, 0.5f);
    // trunc(44100 * 0.002) = 88 frames of countdown; the burst starts at E = L, less one step
    // of 0.04 per sample.
    EXPECT_EQ(burstFrame(*engine, 1000), 88);
    EXPECT_NEAR(engine->tomNoiseEnvelope(), 0.5 * (1.0 - 0.04), 1e-9);

    engine->setSampleRate(88200.0f);
    engine->setEngineParameter(12, 1.0f);
    engine->triggerVoice(kLT, 0.5f);
    EXPECT_EQ(burstFrame(*engine, 1000), 176);
    EXPECT_NEAR(engine->tomNoiseEnvelope(), 0.5 * (1.0 - 0.02), 1e-9);
}

TEST(DrumEngine, AnyLaterHitWithinTwoMillisecondsCancelsTheTomNoiseBurst) {
    auto engine = makeEngine();
    engine->triggerVoice(kHT, 0.6f);
    renderFrames(*engine, 40);
    engine->triggerVoice(kCH, 0.5f); // an instrument of another kind, 0.9 ms later
    EXPECT_EQ(burstFrame(*engine, 1000), -1);

    // A bass drum at Level 0 ignores the hit but its pre-trigger step still cancels the burst.
    engine->setEngineParameter(0, 0.0f);
    engine->triggerVoice(kHT, 0.6f);
    renderFrames(*engine, 40);
    engine->triggerVoice(kBD, 0.5f);
    EXPECT_FALSE(engine->isPlaying(kBD));
    EXPECT_EQ(burstFrame(*engine, 1000), -1);

    // A muted instrument's hit is dropped before the pre-trigger step: the burst survives.
    engine->setEngineParameter(muteParameter(kSD), 1.0f);
    engine->triggerVoice(kHT, 0.6f);
    renderFrames(*engine, 40);
    engine->triggerVoice(kSD, 0.5f);
    EXPECT_EQ(burstFrame(*engine, 1000), 88 - 40);

    // A hit after the burst has started leaves it decaying.
    renderFrames(*engine, 5);
    const double before = engine->tomNoiseEnvelope();
    engine->triggerVoice(kRS, 0.5f);
    renderFrames(*engine, 1);
    EXPECT_NEAR(engine->tomNoiseEnvelope(), before * (1.0 - 0.04), 1e-9);
}

TEST(DrumEngine, LevelZeroInstrumentIgnoresHits) {
    auto engine = makeEngine();
    engine->setEngineParameter(6, 0.0f);
    engine->triggerVoice(kSD, 0.5f);
    EXPECT_FALSE(engine->isPlaying(kSD));
    engine->setEngineParameter(6, 0.25f);
    engine->triggerVoice(kSD, 0.5f);
    EXPECT_TRUE(engine->isPlaying(kSD));
    EXPECT_EQ(engine->voice(kSD).level(), 0.25);
}

TEST(DrumEngine, ParametersReachTheVoices) {
    auto engine = makeEngine();
    engine->setEngineParameter(2, 1.0f);
    EXPECT_NEAR(engine->bassDrum().fBase(), 100.0, 0.005);
    engine->setEngineParameter(11, 1.0f);
    EXPECT_DOUBLE_EQ(engine->snareDrum().snappy(), 0.75);
    engine->setEngineParameter(12 + 1, 1.0f);
    EXPECT_NEAR(engine->tom(kLT).tune(), 1.32, 1e-12);
    engine->setEngineParameter(18 + 3, 0.0f);
    EXPECT_DOUBLE_EQ(engine->tom(kMT).depth(), 1.0);
    engine->setEngineParameter(24 + 5, 1.0f);
    EXPECT_NEAR(engine->tom(kHT).tdMul(), 0.25, 1e-12);
    EXPECT_NEAR(engine->tom(kLT).tdMul(), 0.75, 1e-12);
    engine->setEngineParameter(30, 0.75f);
    EXPECT_EQ(engine->voice(kRS).level(), 0.75);
    engine->setEngineParameter(47 - 2, 0.125f);
    EXPECT_EQ(engine->voice(kRD).level(), 0.125);
}

TEST(DrumEngine, MalformedParameterCallsChangeNothingOrAreClamped) {
    auto engine = makeEngine();
    const double gain = engine->masterGain();
    engine->setEngineParameter(-1, 1.0f);
    engine->setEngineParameter(75, 1.0f);
    engine->setEngineParameter(1 << 30, 1.0f);
    engine->setEngineParameter(kParamVolume, std::nanf(""));
    engine->setEngineParameter(kParamVolume, INFINITY);
    EXPECT_EQ(engine->masterGain(), gain);
    for (int i = 0; i < kNumInstruments; ++i) {
        EXPECT_TRUE(engine->isEnabled(i));
    }
    // Tempo, Flam, Shuffle and Total Accent are not engine knobs.
    engine->setEngineParameter(52, 0.0f);
    EXPECT_EQ(engine->totalAccent(), 0.5);
    // Values outside 0..1 are clamped.
    engine->setEngineParameter(kParamVolume, 7.0f);
    EXPECT_EQ(engine->masterGain(), 2.0);
    engine->setEngineParameter(4, -3.0f);
    EXPECT_NEAR(engine->bassDrum().kDecay(), 0.0025, 1e-6);
    engine->setTotalAccent(std::nan(""));
    EXPECT_EQ(engine->totalAccent(), 0.5);
    engine->setTotalAccent(9.0);
    EXPECT_EQ(engine->totalAccent(), 1.0);
}

TEST(DrumEngine, MalformedTriggersAreIgnoredOrBounded) {
    auto engine = makeEngine();
    engine->triggerVoice(-1, 0.5f);
    engine->triggerVoice(kNumInstruments, 0.5f);
    engine->triggerStep(1000, true, true);
    engine->triggerVoice(kBD, std::nanf(""));
    engine->triggerVoice(kSD, INFINITY);
    for (int i = 0; i < kNumInstruments; ++i) {
        EXPECT_FALSE(engine->isPlaying(i)) << i;
    }
    EXPECT_FALSE(engine->isPlaying(-5));
    EXPECT_EQ(engine->voiceOutput(99), 0.0);
    // Velocities are bounded to 0..1.
    engine->triggerVoice(kBD, 1e30f);
    EXPECT_NEAR(std::sqrt(engine->bassDrum().gSq()), 2.645, 1e-5);
    engine->triggerVoice(kBD, -3.0f);
    EXPECT_EQ(engine->bassDrum().gSq(), 0.0);
    OutputFrame out;
    for (int i = 0; i < 44100; ++i) {
        engine->renderFrame(out);
        for (const float v : out.values) {
            ASSERT_TRUE(std::isfinite(v));
        }
    }
}

TEST(DrumEngine, MalformedSampleRatesAreIgnoredOrClamped) {
    auto engine = makeEngine();
    engine->setSampleRate(48000.0f);
    for (const float bad : {0.0f, -44100.0f, std::nanf(""), INFINITY, -INFINITY}) {
        engine->setSampleRate(bad);
        EXPECT_EQ(engine->sampleRateInfo().rate, 48000.0) << bad;
        EXPECT_EQ(engine->voice(kBD).sampleRate().rate, 48000.0) << bad;
    }
    engine->setSampleRate(1e9f);
    EXPECT_EQ(engine->sampleRateInfo().rate, DrumEngine::kMaxSampleRate);
    engine->setSampleRate(8000.0f);
    EXPECT_EQ(engine->sampleRateInfo().rate, DrumEngine::kMinSampleRate);
    // Still sound at the clamped rate.
    for (int i = 0; i < 5; ++i) {
        engine->triggerVoice(i, 0.8f);
    }
    OutputFrame out;
    float peak = 0.0f;
    for (int i = 0; i < 22050; ++i) {
        engine->renderFrame(out);
        for (const float v : out.values) {
            ASSERT_TRUE(std::isfinite(v));
        }
        peak = std::max(peak, std::fabs(out.values[0]));
    }
    EXPECT_GT(peak, 0.05f);
    EXPECT_LT(peak, 10.0f);
}

TEST(DrumEngine, TomNoiseEnvelopeStaysWithinItsLevelAtLowRates) {
    for (const float rate : {11025.0f, 16000.0f, 22050.0f}) {
        auto engine = makeEngine();
        engine->setSampleRate(rate);
        engine->triggerVoice(kLT, 0.5f);
        for (int i = 0; i < 2000; ++i) {
            renderFrames(*engine, 1);
            ASSERT_LE(engine->tomNoiseEnvelope(), 0.5) << rate;
            ASSERT_GE(engine->tomNoiseEnvelope(), -1e-20) << rate;
            ASSERT_LT(std::fabs(engine->tomNoise()), 2.0) << rate;
        }
    }
}

} // namespace
} // namespace vorpalix
