#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "dsp/DrumEngine.h"

namespace vorpalix {
namespace {

constexpr int kClosedHatLevel = 36;
constexpr int kOpenHatLevel = 39;
constexpr int kFirstMute = 53;

// Peak of one instrument's output over the given number of frames.
double peakOf(DrumEngine& engine, int instrument, int frames) {
    OutputFrame frame;
    double peak = 0.0;
    for (int n = 0; n < frames; ++n) {
        engine.renderFrame(frame);
        peak = std::max(peak, std::fabs(engine.voiceOutput(instrument)));
    }
    return peak;
}

// Renders long enough for a choked hat's low-pass to ring out.
void settle(DrumEngine& engine) {
    peakOf(engine, kCH, 300);
}

class HatChoke : public testing::Test {
protected:
    void SetUp() override {
        engine_->setEngineParameter(kClosedHatLevel, 1.0f);
        engine_->setEngineParameter(kOpenHatLevel, 1.0f);
        engine_->setEngineParameter(kOpenHatLevel + 2, 1.0f); // long open hat
    }
    std::unique_ptr<DrumEngine> engine_ = std::make_unique<DrumEngine>();
};

TEST_F(HatChoke, EachHatSilencesTheOtherAndARetriggerSoundsAgain) {
    DrumEngine& e = *engine_;
    e.triggerVoice(kCH, 0.5f);
    EXPECT_GT(peakOf(e, kCH, 300), 0.01);

    e.triggerVoice(kOH, 0.5f);
    settle(e);
    EXPECT_LT(peakOf(e, kCH, 1000), 1e-9);
    EXPECT_GT(peakOf(e, kOH, 1000), 0.005);

    e.triggerVoice(kCH, 0.5f); // clears the closed hat's choke, sets the open hat's
    EXPECT_GT(peakOf(e, kCH, 300), 0.01);
    EXPECT_LT(peakOf(e, kOH, 1000), 1e-9);

    e.triggerVoice(kOH, 0.5f); // the open hat sounds again from its start
    EXPECT_GT(peakOf(e, kOH, 300), 0.01);
}

TEST_F(HatChoke, SilentOpenHatStillChokesTheClosedHat) {
    DrumEngine& e = *engine_;
    e.setEngineParameter(kOpenHatLevel, 0.0f);
    e.triggerVoice(kCH, 0.5f);
    peakOf(e, kCH, 200);
    e.triggerVoice(kOH, 0.5f);
    EXPECT_FALSE(e.isPlaying(kOH));
    settle(e);
    EXPECT_LT(peakOf(e, kCH, 1000), 1e-9);
}

TEST_F(HatChoke, MutedOpenHatDoesNotChokeTheClosedHat) {
    DrumEngine& e = *engine_;
    e.setEngineParameter(kFirstMute + kOH, 1.0f);
    e.triggerVoice(kCH, 0.5f);
    peakOf(e, kCH, 200);
    e.triggerVoice(kOH, 0.5f);
    settle(e);
    EXPECT_GT(peakOf(e, kCH, 300), 0.001);
}

TEST(DrumEngineVoices, RimShotClapHatsAndCymbalsReachTheirOutputs) {
    auto engine = std::make_unique<DrumEngine>();
    const int levels[] = {30, 33, 36, 39, 42, 45}; // RS, HC, CH, OH, CR, RD
    const int instruments[] = {kRS, kHC, kCH, kOH, kCR, kRD};
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(testing::Message() << "instrument " << instruments[k]);
        engine->setEngineParameter(levels[k], 1.0f);
        engine->triggerStep(instruments[k], false, false);
        EXPECT_TRUE(engine->isPlaying(instruments[k]));
        OutputFrame frame;
        double peak = 0.0;
        for (int n = 0; n < 2000; ++n) {
            engine->renderFrame(frame);
            const float slot = frame.values[1 + instruments[k]];
            peak = std::max(peak, std::fabs(static_cast<double>(slot)));
            EXPECT_FLOAT_EQ(slot, static_cast<float>(engine->masterGain() *
                                                     engine->voiceOutput(instruments[k])));
        }
        EXPECT_GT(peak, 0.001);
        // Let it die away before the next instrument.
        for (int n = 0; n < 10 * 44100 && engine->isPlaying(instruments[k]); ++n) {
            engine->renderFrame(frame);
        }
        EXPECT_FALSE(engine->isPlaying(instruments[k]));
    }
}

} // namespace
} // namespace vorpalix
