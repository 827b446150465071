#include "dsp/BassDrumVoice.h"
#include "dsp/DrumEngine.h"
#include "dsp/ParameterIndex.h"
#include "dsp/SnareDrumVoice.h"
#include "dsp/TomVoice.h"
#include "voice_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vorpalix {
namespace {

using testing::TestNoise;

// 11025 and 16000 go below the usual rates, where the fastest followers need limiting.
constexpr float kRates[] = {11025.0f, 16000.0f, 22050.0f, 44100.0f,
                            48000.0f, 88200.0f, 96000.0f, 192000.0f};

// Knob settings to try: all knobs at 0, 0.5 and 1, and each knob alone at 0 and 1.
std::vector<std::vector<double>> knobSettings(int knobCount) {
    std::vector<std::vector<double>> settings;
    for (const double all : {0.0, 0.5, 1.0}) {
        settings.emplace_back(knobCount, all);
    }
    for (int k = 0; k < knobCount; ++k) {
        for (const double x : {0.0, 1.0}) {
            std::vector<double> s(knobCount, 0.5);
            s[k] = x;
            settings.push_back(s);
        }
    }
    return settings;
}

// Plays a hit, a retrigger in the middle of it, and lets it ring out. Every sample must be
// finite, not subnormal, and bounded; the voice must fall idle within 30 seconds.
template <typename V>
void checkVoice(V& voice, float rate, float velocity, const std::string& what) {
    SCOPED_TRACE(what + " at " + std::to_string(rate) + " velocity " + std::to_string(velocity));
    TestNoise noise;
    const long maxFrames = static_cast<long>(30.0 * rate);
    auto check = [](double out) {
        ASSERT_TRUE(std::isfinite(out));
        ASSERT_FALSE(testing::isSubnormal(out)) << out;
        ASSERT_LT(std::fabs(out), 20.0);
    };
    voice.trigger(velocity);
    ASSERT_TRUE(voice.isPlaying());
    for (int i = 0; i < static_cast<int>(rate * 0.003) && voice.isPlaying(); ++i) {
        check(voice.render(noise.frame()));
    }
    voice.trigger(velocity);
    const long frames = testing::renderUntilIdle(voice, maxFrames, noise, check);
    EXPECT_LT(frames, maxFrames) << "did not fall idle";
    EXPECT_EQ(voice.render(noise.frame()), 0.0);
}

TEST(DrumVoiceRobustness, BassDrumIsFiniteAndEndsForEveryKnobAndRate) {
    for (const float rate : kRates) {
        for (const auto& s : knobSettings(5)) {
            BassDrumVoice bd;
            bd.setSampleRate(rate);
            bd.setLevel(1.0);
            bd.setTune(s[0]);
            bd.setPitch(s[1]);
            bd.setAttack(s[2]);
            bd.setDecay(s[3]);
            bd.setTuneDepth(s[4]);
            for (const float v : {0.0f, 0.37795275f, 1.0f}) {
                checkVoice(bd, rate, v, "BD");
            }
        }
    }
}

TEST(DrumVoiceRobustness, SnareDrumIsFiniteAndEndsForEveryKnobAndRate) {
    for (const float rate : kRates) {
        for (const auto& s : knobSettings(5)) {
            SnareDrumVoice sd;
            sd.setSampleRate(rate);
            sd.setLevel(1.0);
            sd.setTune(s[0]);
            sd.setTone(s[1]);
            sd.setTuneDepth(s[2]);
            sd.setDecay(s[3]);
            sd.setSnappy(s[4]);
            for (const float v : {0.0f, 0.37795275f, 1.0f}) {
                checkVoice(sd, rate, v, "SD");
            }
        }
    }
}

TEST(DrumVoiceRobustness, TomsAreFiniteAndEndForEveryKnobAndRate) {
    for (const float rate : kRates) {
        for (const auto& s : knobSettings(5)) {
            for (const TomVoice::Tuning& tuning :
                 {TomVoice::kLowTom, TomVoice::kMidTom, TomVoice::kHighTom}) {
                TomVoice tom(tuning);
                tom.setSampleRate(rate);
                tom.setLevel(1.0);
                tom.setTune(s[0]);
                tom.setTone(s[1]);
                tom.setTuneDepth(s[2]);
                tom.setDecay(s[3]);
                tom.setTuneDecay(s[4]);
                for (const float v : {0.0f, 0.37795275f, 1.0f}) {
                    checkVoice(tom, rate, v, "tom " + std::to_string(tuning.f1));
                }
            }
        }
    }
}

TEST(DrumVoiceRobustness, EngineOutputIsFiniteAndFreeOfSubnormalsAtEveryRate) {
    for (const float rate : kRates) {
        SCOPED_TRACE(rate);
        auto engine = std::make_unique<DrumEngine>();
        engine->setSampleRate(rate);
        for (int p = 0; p < 48; ++p) {
            engine->setEngineParameter(p, p % 3 == 0 ? 1.0f : 0.5f);
        }
        engine->setEngineParameter(kParamVolume, 1.0f);
        for (int i = 0; i < kNumInstruments; ++i) {
            engine->triggerStep(i, true, true);
        }
        OutputFrame out;
        long frames = 0;
        bool anyPlaying = true;
        while (anyPlaying && frames < 30L * static_cast<long>(rate)) {
            engine->renderFrame(out);
            ++frames;
            for (const float v : out.values) {
                ASSERT_TRUE(std::isfinite(v));
                ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL);
            }
            anyPlaying = false;
            for (int i = 0; i < kNumInstruments; ++i) {
                anyPlaying = anyPlaying || engine->isPlaying(i);
            }
        }
        EXPECT_FALSE(anyPlaying);
        // Once everything is idle the outputs are exactly 0.
        engine->renderFrame(out);
        for (const float v : out.values) {
            EXPECT_EQ(v, 0.0f);
        }
    }
}

} // namespace
} // namespace vorpalix
