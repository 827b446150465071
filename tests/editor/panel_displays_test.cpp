// The formulas behind the panel's displays: digits, step tables, step values, rescale targets and
// captions.

#include "editor/PanelDisplays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vorpalix {
namespace {

TEST(PanelDisplays, TempoDigitsShowTheTempoAndReadBackTheSameTempo) {
    const auto d = tempoDigitValues(120.0);
    EXPECT_FLOAT_EQ(d[0], 0.4f);
    EXPECT_FLOAT_EQ(d[1], 4.0f / 18.0f);
    EXPECT_FLOAT_EQ(d[2], 2.0f / 13.0f);
    EXPECT_FLOAT_EQ(d[3], 2.0f / 11.0f);
    for (int tenths = 300; tenths <= 3030; ++tenths) {
        const double bpm = tenths / 10.0;
        ASSERT_NEAR(tempoOfDigitValues(tempoDigitValues(bpm)), bpm, 1e-9) << bpm;
    }
    // Digits dragged to 3, 0, 5 and 9 tenths: 305.9, bounded to 303.
    EXPECT_EQ(tempoOfDigitValues({4 * 0.2f, 2 / 18.0f, 7 / 13.0f, 11 / 11.0f}), 303.0);
}

TEST(PanelDisplays, PatternDigitsNameTheKeyAndGroup) {
    const auto p0 = patternDigitValues(0);
    EXPECT_EQ(p0, (std::array<float, 4>{1.0f, 11 / 17.0f, 1.0f, 0.2f}));
    const auto p13 = patternDigitValues(13);
    EXPECT_EQ(p13, (std::array<float, 4>{1.0f, 11 / 17.0f, 11 / 12.0f, 0.3f}));
    std::vector<int> sharps;
    for (int k = 0; k < 12; ++k) {
        if (isSharpPosition(k)) {
            sharps.push_back(k);
        }
    }
    EXPECT_EQ(sharps, (std::vector<int>{1, 3, 6, 8, 10}));
    EXPECT_EQ(noteLetterIndex(11), 6);
}

TEST(PanelDisplays, StepTablesFollowTheEditingMode) {
    StepTableInputs in;
    EXPECT_EQ(stepNextStateTable(in, 0), (NextStateTable{0, 0, 0, 0, 0, 0})); // sequencer off
    in.sequencerOn = true;
    EXPECT_EQ(stepNextStateTable(in, 3), (NextStateTable{2, 0, 2, 0, 0, 0}));
    EXPECT_EQ(stepNextStateTable(in, 12), (NextStateTable{1, 2, 1, 0, 0, 0}));
    in.sequencerMode = 1;
    EXPECT_FALSE(stepNextStateTable(in, 3).has_value());
    in.writeMode = true;
    in.patternLength = 10;
    EXPECT_EQ(stepNextStateTable(in, 9), (NextStateTable{0, 0, 0, 4, 5, 3}));
    EXPECT_EQ(stepNextStateTable(in, 10), (NextStateTable{0, 0, 0, 0, 0, 0}));
    in.selectedRow = 11;
    EXPECT_EQ(stepNextStateTable(in, 0), (NextStateTable{0, 0, 0, 5, 0, 3}));
    in.lastStepMode = true;
    EXPECT_EQ(stepNextStateTable(in, 15), (NextStateTable{3, 0, 0, 3, 0, 0}));
    in.randomizerMode = true; // the randomizer template comes first
    EXPECT_EQ(stepNextStateTable(in, 15), (NextStateTable{0, 0, 0, 0, 0, 0}));
}

TEST(PanelDisplays, StepValuesAndTheRunningStepsInverseImage) {
    EXPECT_EQ(cellStepValue(0, false), 0.6f);
    EXPECT_EQ(cellStepValue(1, false), 0.8f);
    EXPECT_EQ(cellStepValue(5, false), 1.0f);
    EXPECT_EQ(cellStepValue(5, true), 0.6f);
    EXPECT_EQ(cellStepValue(6, true), 1.0f);
    EXPECT_EQ(runningStepImage(0.0f), 2);
    EXPECT_EQ(runningStepImage(0.4f), 0);
    EXPECT_EQ(runningStepImage(0.6f), 5);
    EXPECT_EQ(runningStepImage(1.0f), 3);
    EXPECT_EQ(runningStepImage(0.5f), -1);
}

TEST(PanelDisplays, TheRandomizerCaptionBlinksItsArrows) {
    EXPECT_EQ(randomizerCaption(250, true), "<   Randomizer   >");
    EXPECT_EQ(randomizerCaption(251, true), "    Randomizer    ");
    EXPECT_EQ(randomizerCaption(375, false), "    Randomizer   >");
}

} // namespace
} // namespace vorpalix
