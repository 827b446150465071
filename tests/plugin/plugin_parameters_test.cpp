#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "PluginTestSupport.h"
#include "sequencer/PatternSequencer.h"

namespace vorpalix::test {
namespace {

// The values playback works with, as the audio thread holds them after the next block start.
const SequencerConnection& playbackValues(DirectPlugin& p) {
    p.processEmptyBlock();
    return p.plugin->processor().connection();
}

TEST(PluginParameters, TempoKnobMapsToBpmInTenthsRoundedHalfAway) {
    DirectPlugin p;
    EXPECT_DOUBLE_EQ(playbackValues(p).tempo(), 166.5); // the embedded default 0.5
    p.plugin->setParameter(kParamTempo, 0.0f);
    EXPECT_NEAR(playbackValues(p).tempo(), 30.0, 1e-9);
    p.plugin->setParameter(kParamTempo, 1.0f);
    EXPECT_NEAR(playbackValues(p).tempo(), 303.0, 1e-9);
    // 0.25 * 273 + 30 = 98.25 BPM -> 98.3 (the tenth is rounded half away from zero).
    p.plugin->setParameter(kParamTempo, 0.25f);
    EXPECT_NEAR(playbackValues(p).tempo(), 98.3, 1e-9);
}

TEST(PluginParameters, ValuesOutsideTheUnitRangeAreClampedAndNanIgnored) {
    DirectPlugin p;
    p.plugin->setParameter(kParamVolume, 1e30f);
    EXPECT_EQ(p.plugin->getParameter(kParamVolume), 1.0f);
    p.plugin->setParameter(kParamVolume, -3.0f);
    EXPECT_EQ(p.plugin->getParameter(kParamVolume), 0.0f);
    p.plugin->setParameter(kParamVolume, 0.25f);
    p.plugin->setParameter(kParamVolume, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(p.plugin->getParameter(kParamVolume), 0.25f);
    p.plugin->setParameter(kParamTempo, std::numeric_limits<float>::infinity());
    EXPECT_NEAR(playbackValues(p).tempo(), 303.0, 1e-9);

    // The engine sees the clamped value: master gain 2 * 1^2.
    p.plugin->setParameter(kParamVolume, 1e9f);
    p.processEmptyBlock();
    EXPECT_DOUBLE_EQ(p.plugin->processor().engine().masterGain(), 2.0);
}

TEST(PluginParameters, DisplayTextIsWrittenEvenIntoAnUnclearedBuffer) {
    DirectPlugin p;
    for (const int index : {0, int{kParamTempo}, kNumHostParameters - 1, kNumHostParameters, -1}) {
        char text[vst::kVstMaxParamStrLen + 1];
        std::memset(text, 'x', sizeof text);
        p.plugin->dispatcher(vst::effGetParamDisplay, index, 0, text, 0.0f);
        EXPECT_EQ(std::strlen(text), 0u) << "parameter " << index;
    }
}

TEST(PluginParameters, IndicesOutsideTheHostRangeStoreNothing) {
    DirectPlugin p;
    p.plugin->setParameter(100, 0.7f);
    p.plugin->setParameter(-1, 0.7f);
    EXPECT_EQ(p.plugin->getParameter(100), 0.0f);
    EXPECT_EQ(p.plugin->getParameter(86), 0.0f);
    EXPECT_EQ(p.plugin->getParameter(-1), 0.0f);
}

TEST(PluginParameters, KnobChangesGoIntoTheSelectedPreset) {
    DirectPlugin p;
    p.plugin->setParameter(4, 0.8f); // BD Decay
    EXPECT_FLOAT_EQ(p.plugin->controller().presets().preset(0, 0).value(4), 0.8f);
    p.plugin->setParameter(47, 0.1f); // RD Decay, third knob of the ride
    EXPECT_FLOAT_EQ(p.plugin->controller().presets().preset(10, 0).value(2), 0.1f);
}

TEST(PluginParameters, FlamShuffleAndTotalAccentFollowTheirKnobsOnceTheStoreIsOff) {
    DirectPlugin p;
    // The embedded state switches the attribute store off, so the defaults are in force.
    EXPECT_FALSE(p.plugin->controller().sequencerSettings().attributeStore);
    EXPECT_NEAR(playbackValues(p).flamFraction(), 0.5 * 0.262 + 0.121, 1e-6);
    EXPECT_NEAR(playbackValues(p).shuffleFraction(), 0.0, 1e-12);
    p.processEmptyBlock();
    EXPECT_NEAR(p.plugin->processor().engine().totalAccent(), 0.5, 1e-6);

    p.plugin->setParameter(kParamShuffle, 1.0f);
    EXPECT_NEAR(playbackValues(p).shuffleFraction(), 0.8, 1e-6);

    // With the store on the knob value is kept but playback keeps its shuffle.
    p.plugin->controller().setPatternAttributeStore(true);
    p.plugin->setParameter(kParamShuffle, 0.5f);
    EXPECT_FLOAT_EQ(p.plugin->getParameter(kParamShuffle), 0.5f);
    EXPECT_NEAR(playbackValues(p).shuffleFraction(), 0.8, 1e-6);

    // Switching the sequencer off also keeps the knobs from acting.
    p.plugin->controller().setPatternAttributeStore(false);
    p.plugin->controller().setSequencerState(false);
    p.plugin->setParameter(kParamFlam, 1.0f);
    EXPECT_NEAR(playbackValues(p).flamFraction(), 0.5 * 0.262 + 0.121, 1e-6);
}

TEST(PluginParameters, SetProgramZeroResendsTheKnobsAndOtherProgramsAreIgnored) {
    DirectPlugin p;
    p.plugin->controller().takeChangedParameters();
    p.plugin->dispatcher(vst::effSetProgram, 0, 1, nullptr, 0.0f);
    auto marks = p.plugin->controller().takeChangedParameters();
    EXPECT_EQ(marks[0] | marks[1], 0u);
    p.plugin->dispatcher(vst::effSetProgram, 0, 0, nullptr, 0.0f);
    marks = p.plugin->controller().takeChangedParameters();
    EXPECT_EQ(marks[0], (std::uint64_t{1} << kNumKnobs) - 1); // knobs 0..47, nothing else
    EXPECT_EQ(marks[1], 0u);
    p.processEmptyBlock();
    EXPECT_DOUBLE_EQ(p.plugin->processor().engine().voice(0).level(), 0.5);
    EXPECT_EQ(p.plugin->dispatcher(vst::effGetProgram, 0, 0, nullptr, 0.0f), 0);
}

TEST(PluginParameters, OutputNumbersOutsideTheSlotsAreIgnored) {
    DirectPlugin p;
    p.plugin->controller().setOutputNumber(3, 7);
    EXPECT_EQ(p.plugin->controller().outputNumber(3), 7);
    p.plugin->controller().setOutputNumber(3, 11);
    p.plugin->controller().setOutputNumber(11, 2);
    p.plugin->controller().setOutputNumber(-1, 2);
    p.plugin->controller().setOutputNumber(3, -1);
    EXPECT_EQ(p.plugin->controller().outputNumber(3), 7);
}

TEST(PluginParameters, SequencerModeSetsTheChainFlag) {
    DirectPlugin p;
    p.plugin->controller().setSequencerMode(kModeNormal);
    EXPECT_EQ(p.plugin->controller().sequencerSettings().controls.mode, kModeNormal);
    p.processEmptyBlock();
    EXPECT_FALSE(p.plugin->processor().sequencer().chainFlag());
    p.plugin->controller().setSequencerMode(kModeChain);
    EXPECT_EQ(p.plugin->controller().sequencerSettings().controls.mode, kModeChain);
    p.processEmptyBlock();
    EXPECT_TRUE(p.plugin->processor().sequencer().chainFlag());
}

} // namespace
} // namespace vorpalix::test
