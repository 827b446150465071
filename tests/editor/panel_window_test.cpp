// The open panel driven through a headless window with injected clicks and clock; what it did is
// read back through the plug-in (parameters, playback) and its pattern bank.

#include "PanelRig.h"

#include <array>

#include "editor/PanelTags.h"
#include "sequencer/PatternEditing.h"

namespace vorpalix::test {
namespace {

using toolkit::kControl;

// The internal sequencer on, on its own clock, in chain mode.
void internalSequencer(PanelRig& rig) {
    if (rig.control(kTagIntSeqState).getValue() < 0.5f)
        rig.report(kTagIntSeqState, 1.0f);
    rig.report(kTagIntSeqSync, 0.0f);
    rig.report(kTagIntSeqMode, 0.0f);
    rig.idle();
    ASSERT_TRUE(rig.controller().sequencerSettings().controls.state);
    ASSERT_EQ(rig.controller().sequencerSettings().controls.sync, kSyncInternal);
}

std::array<float, 4> digits(PanelRig& rig) {
    return {rig.control(kTagDigit100).getValue(), rig.control(kTagDigit10).getValue(),
            rig.control(kTagDigit1).getValue(), rig.control(kTagDigit01).getValue()};
}

void expectDigits(PanelRig& rig, std::array<float, 4> expected) {
    const auto shown = digits(rig);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(shown[i], expected[i], 1e-6) << "digit " << i;
}

TEST(PanelWindow, OpensWithEveryControlAndCostsNoDrawingWhileNothingChanges) {
    PanelRig rig;
    ASSERT_TRUE(rig.opened);
    EXPECT_EQ(rig.controls().createdCount, 187);
    for (int i = 0; i < 5; ++i)
        rig.idle();
    const auto draws = rig.editor().frame()->getDrawCount();
    for (int i = 0; i < 50; ++i)
        rig.idle();
    EXPECT_EQ(rig.editor().frame()->getDrawCount(), draws);

    // Open, close and open again: the panel is rebuilt and the modes stay.
    internalSequencer(rig);
    rig.writeMode(true);
    rig.plugin().dispatcher(vst::effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(rig.editor().window(), nullptr);
    ASSERT_NE(rig.plugin().dispatcher(vst::effEditOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(rig.controls().createdCount, 187);
    EXPECT_FLOAT_EQ(rig.control(kTagWriteMode).getValue(), 1.0f);
}

TEST(PanelWindow, CtrlClickOnSoloSwitchesTheOtherSolosTheOtherWay) {
    PanelRig rig;
    const int sd = kParamFirstSolo + int{kSD};
    rig.click(sd);
    EXPECT_EQ(rig.plugin().getParameter(sd), 1.0f);
    EXPECT_EQ(rig.plugin().getParameter(kParamFirstSolo + int{kBD}), 0.0f);
    rig.click(sd, kControl); // switches SD off: every other on
    EXPECT_EQ(rig.plugin().getParameter(sd), 0.0f);
    for (int i = 0; i < kNumInstruments; ++i) {
        if (i != kSD) {
            EXPECT_EQ(rig.plugin().getParameter(kParamFirstSolo + i), 1.0f) << i;
            EXPECT_EQ(rig.control(kParamFirstSolo + i).getValue(), 1.0f) << i;
        }
    }
    rig.click(sd, kControl); // switches SD on: every other off
    for (int i = 0; i < kNumInstruments; ++i)
        EXPECT_EQ(rig.plugin().getParameter(kParamFirstSolo + i), i == kSD ? 1.0f : 0.0f) << i;
    EXPECT_EQ(rig.plugin().getParameter(kParamFirstMute + int{kBD}), 0.0f); // Mutes untouched
}

TEST(PanelWindow, InstrumentSelectorAndSelectButtonsChooseTheSameRow) {
    PanelRig rig;
    internalSequencer(rig);
    rig.report(kTagInstrumentSelector, 1.0f);
    EXPECT_EQ(rig.editing().state().editedRow, 11);
    rig.writeMode(true);
    for (int i = 0; i < kNumInstruments; ++i) // the accent row lights every Select
        EXPECT_EQ(rig.control(kTagFirstSelect + i).getValue(), 1.0f);
    rig.click(kTagFirstSelect + int{kHT});
    EXPECT_EQ(rig.editing().state().editedRow, kHT);
    EXPECT_FLOAT_EQ(rig.control(kTagInstrumentSelector).getValue(), 5.0f / 12.0f);
    rig.report(kTagInstrumentSelector, rig.control(kTagInstrumentSelector).getValue());
    EXPECT_EQ(rig.editing().state().editedRow, kHT);
    EXPECT_EQ(rig.control(kTagFirstSelect + int{kHT}).getValue(), 1.0f);
    EXPECT_EQ(rig.control(kTagFirstSelect + int{kBD}).getValue(), 0.0f);
}

TEST(PanelWindow, TempoDigitsShowTheTempoForAWhileAndTakeANewOne) {
    PanelRig rig;
    internalSequencer(rig);
    rig.report(kParamTempo, 90.0f / 273.0f); // 120.0 BPM
    expectDigits(rig, {0.4f, 4.0f / 18.0f, 2.0f / 13.0f, 2.0f / 11.0f});
    EXPECT_TRUE(rig.control(kTagDigit1).isMouseEnabled());

    // Dragged to 3, 0, 5 and 9 tenths: 305.9, bounded to 303.
    rig.control(kTagDigit100).setValue(0.8f);
    rig.control(kTagDigit10).setValue(2.0f / 18.0f);
    rig.control(kTagDigit1).setValue(7.0f / 13.0f);
    rig.report(kTagDigit01, 1.0f);
    EXPECT_FLOAT_EQ(rig.plugin().getParameter(kParamTempo), 1.0f);
    expectDigits(rig, {0.8f, 2.0f / 18.0f, 5.0f / 13.0f, 2.0f / 11.0f});

    // With the sequencer stopped the tempo stays up for 3000 ms, then the pattern returns.
    rig.idle(2900);
    expectDigits(rig, {0.8f, 2.0f / 18.0f, 5.0f / 13.0f, 2.0f / 11.0f});
    rig.idle(200);
    EXPECT_FLOAT_EQ(rig.control(kTagDigit100).getValue(), 1.0f); // the letter P
    EXPECT_FALSE(rig.control(kTagDigit1).isMouseEnabled());
}

TEST(PanelWindow, DigitsNamePatternsLikeKeysAndNextPatternStopsAtTheLastGroup) {
    PanelRig rig;
    internalSequencer(rig);
    rig.writeMode(true);
    rig.editing().setEditedPattern(0);
    rig.click(kTagPrevPattern);                           // stays at 0, refreshes
    expectDigits(rig, {1.0f, 11.0f / 17.0f, 1.0f, 0.2f}); // P C - 1
    rig.click(kTagNextPattern, kControl);
    rig.click(kTagNextPattern);
    EXPECT_EQ(rig.editing().state().editedPattern, 13);
    expectDigits(rig, {1.0f, 11.0f / 17.0f, 11.0f / 12.0f, 0.3f}); // P C # 2

    rig.editing().setEditedPattern(83);
    rig.click(kTagNextPattern, kControl);
    EXPECT_EQ(rig.editing().state().editedPattern, 95);
    rig.editing().setEditedPattern(84);
    rig.click(kTagNextPattern, kControl);
    EXPECT_EQ(rig.editing().state().editedPattern, 84);
}

TEST(PanelWindow, WriteModeStepClicksEditTheEditedPattern) {
    PanelRig rig;
    internalSequencer(rig);
    rig.writeMode(true);
    rig.click(kTagFirstSelect + int{kSD});
    rig.click(kTagClearPattern);
    const int edited = rig.editing().state().editedPattern;
    auto cell = [&](int step) {
        return rig.controller().patterns()[edited].step(kSD, step).code();
    };
    EXPECT_FLOAT_EQ(rig.control(kTagFirstStep + 2).getValue(), 0.6f);
    rig.click(kTagFirstStep + 2); // off -> on
    EXPECT_EQ(cell(2), kStepNote);
    rig.click(kTagFirstStep + 2); // on -> accent
    EXPECT_EQ(cell(2), kStepNote | kStepAccent);
    EXPECT_FLOAT_EQ(rig.control(kTagFirstStep + 2).getValue(), 1.0f);
    rig.click(kTagFirstStep + 2); // accent -> off
    EXPECT_EQ(cell(2), 0);
}

TEST(PanelWindow, StepKeysArePadsWhileTheSequencerIsOff) {
    // Steps 13 and 14 play CH at 0.378 and OH at 0.63: the same sound as those auditions.
    for (const auto& [key, instrument, velocity] :
         {std::tuple{12, kCH, 0.378f}, std::tuple{13, kOH, 0.63f}}) {
        PanelRig rig;
        rig.report(kTagIntSeqState, 0.0f);
        rig.click(kTagFirstStep + key);
        const auto played = rig.direct.render(4096, 256);

        DirectPlugin reference;
        reference.plugin->controller().setSequencerState(false);
        reference.plugin->controller().requestAudition(instrument, velocity);
        const auto expected = reference.render(4096, 256);
        EXPECT_GT(peak(played[0]), 0.01f) << key;
        EXPECT_EQ(played, expected) << key;
    }
}

TEST(PanelWindow, RescaleOnALengthThatDoesNotSuitItsScaleFlashesLastStep) {
    PanelRig rig;
    internalSequencer(rig);
    rig.writeMode(true);
    rig.click(kTagLastStepMode);
    rig.click(kTagFirstStep + 9); // length 10
    rig.click(kTagLastStepMode);
    const int edited = rig.editing().state().editedPattern;
    ASSERT_EQ(rig.controller().patterns()[edited].length(), 10);
    ASSERT_EQ(rig.controller().patterns()[edited].stepsPerBeat(), 4);
    rig.click(kTagRescalePattern);
    EXPECT_TRUE(rig.editing().state().rescaleMode);
    EXPECT_TRUE(rig.button(kTagLastStepMode).isBlinking());
    EXPECT_FALSE(rig.button(kTagRescalePattern).isBlinking());
    rig.idle(1300);
    rig.idle();
    EXPECT_FALSE(rig.button(kTagLastStepMode).isBlinking());
}

TEST(PanelWindow, PlayActsOnlyWhileTheButtonIsHeld) {
    PanelRig rig;
    internalSequencer(rig);
    rig.report(kTagPlay, 0.0f); // a notification after the release
    rig.direct.render(2048, 256);
    EXPECT_FALSE(rig.controller().playback().isPlaying());
    rig.screen().mouseDown(rig.centre(kTagPlay));
    rig.idle();
    rig.screen().mouseUp(rig.centre(kTagPlay));
    rig.direct.render(2048, 256);
    EXPECT_TRUE(rig.controller().playback().isPlaying());
}

TEST(PanelWindow, RandomizerCaptionBlinksItsArrows) {
    PanelRig rig;
    internalSequencer(rig);
    rig.writeMode(true);
    rig.click(kTagPattRandomizer);
    ASSERT_TRUE(rig.editing().state().randomizerMode);
    EXPECT_TRUE(rig.button(kTagPattRandomizer).isBlinking());
    auto captionAt = [&](std::uint32_t phase) {
        const std::uint32_t t = rig.screen().getTicks();
        rig.screen().setTicks(t - t % 375 + 375 + phase - 20);
        rig.idle(20);
        return rig.displayText();
    };
    EXPECT_EQ(captionAt(250), "    Randomizer   >");
    EXPECT_EQ(captionAt(251), "    Randomizer    ");
    EXPECT_EQ(captionAt(374), "    Randomizer    ");
    rig.click(kTagNextPattern);
    rig.click(kTagNextPattern); // a seed to step back to
    EXPECT_EQ(captionAt(0), "<   Randomizer   >");
}

TEST(PanelWindow, LearnLabelEmptiesFiveSecondsAfterTheLastTouch) {
    PanelRig rig;
    rig.report(kTagMidiLearn, 1.0f);
    ASSERT_TRUE(rig.controller().learnMode());
    rig.report(kParamBDTune, 0.6f);
    auto* label = rig.controls().get<toolkit::TextLabel>(kKeyLearnLabel);
    EXPECT_EQ(label->getText(), "BD Tune  - 021");
    rig.idle(4900);
    EXPECT_EQ(label->getText(), "BD Tune  - 021");
    rig.idle(200);
    EXPECT_EQ(label->getText(), "");
    EXPECT_EQ(rig.controller().parameterBeingLearnt(), -1);
    EXPECT_TRUE(rig.controller().learnMode());
}

} // namespace
} // namespace vorpalix::test
