// The pattern editing operations of the step keys and pattern buttons, driven on a real
// sequencer with fake surroundings.

#include "EditingTestSupport.h"
#include "sequencer/PatternRescale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vorpalix {
namespace {

using test::kHeld;
using test::kRelease;
using test::kReleaseControl;
using test::rowCodes;
using test::storeRowCodes;

constexpr int kTA = 11;

class PatternEditingTest : public ::testing::Test, protected test::EditingFixture {
protected:
    void writeOn(int pattern) {
        sequencer.setRange(pattern, pattern);
        editing.setWriteMode(true);
        ASSERT_EQ(editing.state().editedPattern, pattern);
    }
    // Every row of a pattern as code text.
    std::string allRows(const Pattern& p) {
        std::string text;
        for (int row = 0; row < 12; ++row) {
            text += rowCodes(p, row) + "|";
        }
        return text;
    }
    void fill(Pattern& p) {
        for (int row = 0; row < 12; ++row) {
            std::string codes;
            for (int step = 0; step < 16; ++step) {
                codes += "0125"[(row + step) % 4];
            }
            storeRowCodes(p, row, codes);
        }
    }
};

TEST_F(PatternEditingTest, StartsInTheDocumentedState) {
    const EditState& s = editing.state();
    EXPECT_EQ(s.editedPattern, 0);
    EXPECT_EQ(s.editedRow, 0);
    EXPECT_FALSE(s.writeMode || s.tapMode || s.flamMode || s.lastStepMode || s.autoFollow ||
                 s.randomizerMode || s.rescaleMode);
    EXPECT_FALSE(editing.clipboardValid());
}

TEST_F(PatternEditingTest, EditingOperationsNeedWriteMode) {
    fill(pattern(0));
    const std::string before = allRows(pattern(0));
    EXPECT_FALSE(editing.clearPattern(kReleaseControl));
    EXPECT_FALSE(editing.copyPattern());
    EXPECT_FALSE(editing.rotatePattern(ShiftDirection::Right, kRelease));
    EXPECT_FALSE(editing.cycleScale(kRelease));
    EXPECT_FALSE(editing.nextPattern(kRelease));
    EXPECT_FALSE(editing.prevPattern(kRelease));
    editing.setRescaleMode(true);
    EXPECT_FALSE(editing.state().rescaleMode);
    sequencer.setChainFlag(false); // step keys select nothing outside chain mode
    EXPECT_FALSE(editing.pressStepKey(3, kKeyAccented, kRelease));
    EXPECT_EQ(allRows(pattern(0)), before);
    EXPECT_EQ(pattern(0).stepsPerBeat(), 4);
    EXPECT_EQ(editing.state().editedPattern, 0);
}

TEST_F(PatternEditingTest, WriteModeOnEditsTheSequencersCurrentPattern) {
    sequencer.setRange(30, 30);
    editing.setWriteMode(true);
    EXPECT_EQ(editing.state().editedPattern, 30);
    editing.setWriteMode(false);

    sequencer.setChainFlag(false);
    sequencer.startNote(17);
    editing.setWriteMode(true);
    EXPECT_EQ(editing.state().editedPattern, 17);
}

TEST_F(PatternEditingTest, WriteModeOffEndsTheOtherModesWithoutConverting) {
    writeOn(3);
    fill(pattern(3));
    const std::string before = allRows(pattern(3));
    editing.setTapMode(true);
    editing.setFlamMode(true);
    editing.setLastStepMode(true);
    editing.setRescaleMode(true);
    editing.cycleScale(kRelease); // a target other than the start
    ASSERT_NE(editing.state().rescaleTarget, editing.state().rescaleStart);
    editing.setRandomizerMode(true);
    ASSERT_TRUE(sequencer.randomizerGateOn());

    editing.setWriteMode(false);
    const EditState& s = editing.state();
    EXPECT_FALSE(s.tapMode || s.flamMode || s.lastStepMode || s.rescaleMode || s.randomizerMode);
    EXPECT_FALSE(sequencer.randomizerGateOn());
    EXPECT_EQ(pattern(3).stepsPerBeat(), 4);
    EXPECT_EQ(pattern(3).length(), 16);
    EXPECT_EQ(allRows(pattern(3)), before);
}

TEST_F(PatternEditingTest, ClearTakesTheEditedRowOrWithControlAllRows) {
    writeOn(2);
    fill(pattern(2));
    pattern(2).setName("Groove");
    pattern(2).setLength(11);
    editing.setEditedRow(kTA);
    const Pattern before = pattern(2);

    EXPECT_FALSE(editing.clearPattern(kHeld)); // acts on release only
    EXPECT_EQ(allRows(pattern(2)), allRows(before));

    EXPECT_TRUE(editing.clearPattern(kRelease));
    for (int row = 0; row < 12; ++row) {
        EXPECT_EQ(rowCodes(pattern(2), row),
                  row == kTA ? std::string(16, '0') : rowCodes(before, row));
    }
    EXPECT_TRUE(editing.clearPattern(kReleaseControl));
    for (int row = 0; row < 12; ++row) {
        EXPECT_EQ(rowCodes(pattern(2), row), std::string(16, '0'));
    }
    EXPECT_EQ(pattern(2).name(), "Groove");
    EXPECT_EQ(pattern(2).length(), 11);
}

TEST_F(PatternEditingTest, CopyThenPasteWithoutControlEmptiesTheClipboard) {
    writeOn(3);
    fill(pattern(3));
    pattern(3).setName("Source");
    pattern(3).setLength(7);
    pattern(3).setStepsPerBeat(6);
    pattern(3).setShuffle(0.25f);
    pattern(3).setFlam(0.75f);
    pattern(3).setTotalAccent(0.125f);
    EXPECT_TRUE(editing.copyPattern());
    EXPECT_TRUE(editing.clipboardValid());

    ASSERT_TRUE(editing.nextPattern(kRelease));
    ASSERT_EQ(editing.state().editedPattern, 4);
    EXPECT_FALSE(editing.pastePattern(kHeld));
    EXPECT_TRUE(editing.pastePattern(kRelease));
    EXPECT_EQ(allRows(pattern(4)), allRows(pattern(3)));
    EXPECT_EQ(pattern(4).name(), "Source");
    EXPECT_EQ(pattern(4).length(), 7);
    EXPECT_EQ(pattern(4).stepsPerBeat(), 6);
    EXPECT_EQ(pattern(4).shuffle(), 0.25f);
    EXPECT_EQ(pattern(4).flam(), 0.75f);
    EXPECT_EQ(pattern(4).totalAccent(), 0.125f);
    EXPECT_FALSE(editing.clipboardValid());

    ASSERT_TRUE(editing.nextPattern(kRelease));
    EXPECT_FALSE(editing.pastePattern(kRelease));
    EXPECT_EQ(pattern(5).name(), "No name");
}

TEST_F(PatternEditingTest, PasteWithControlKeepsTheClipboardForMorePastes) {
    writeOn(10);
    fill(pattern(10));
    pattern(10).setName("Many");
    editing.copyPattern();
    for (int target = 11; target <= 13; ++target) {
        ASSERT_TRUE(editing.nextPattern(kRelease));
        EXPECT_TRUE(editing.pastePattern(kReleaseControl));
        EXPECT_EQ(pattern(target).name(), "Many");
        EXPECT_EQ(allRows(pattern(target)), allRows(pattern(10)));
    }
    EXPECT_TRUE(editing.clipboardValid());
}

TEST_F(PatternEditingTest, CopyPressedTwiceCancels) {
    writeOn(1);
    pattern(1).setName("One");
    editing.copyPattern();
    editing.copyPattern();
    EXPECT_FALSE(editing.clipboardValid());
    ASSERT_TRUE(editing.nextPattern(kRelease));
    EXPECT_FALSE(editing.pastePattern(kRelease));
    EXPECT_EQ(pattern(2).name(), "No name");
}

TEST_F(PatternEditingTest, ClipboardCopiesTheContentNotALink) {
    writeOn(1);
    storeRowCodes(pattern(1), 0, "5000000000000000");
    editing.copyPattern();
    storeRowCodes(pattern(1), 0, "0000000000000005"); // changed after copying
    ASSERT_TRUE(editing.nextPattern(kRelease));
    editing.pastePattern(kRelease);
    EXPECT_EQ(rowCodes(pattern(2), 0), "5000000000000000");
}

TEST_F(PatternEditingTest, RotationStaysWithinTheLength) {
    writeOn(0);
    pattern(0).setLength(12);
    for (int row = 0; row < 12; ++row) {
        storeRowCodes(pattern(0), row, "1000000000062525");
    }
    EXPECT_FALSE(editing.rotatePattern(ShiftDirection::Right, kHeld));
    ASSERT_TRUE(editing.rotatePattern(ShiftDirection::Right, kRelease));
    for (int row = 0; row < 12; ++row) {
        EXPECT_EQ(rowCodes(pattern(0), row), "6100000000002525") << row;
    }
    ASSERT_TRUE(editing.rotatePattern(ShiftDirection::Left, kRelease));
    ASSERT_TRUE(editing.rotatePattern(ShiftDirection::Left, kRelease));
    for (int row = 0; row < 12; ++row) {
        EXPECT_EQ(rowCodes(pattern(0), row), "0000000000612525") << row;
    }
}

TEST_F(PatternEditingTest, RotationOfLengthOneChangesNothing) {
    writeOn(0);
    pattern(0).setLength(1);
    storeRowCodes(pattern(0), 0, "5100000000000000");
    editing.rotatePattern(ShiftDirection::Right, kRelease);
    EXPECT_EQ(rowCodes(pattern(0), 0), "5100000000000000");
}

TEST_F(PatternEditingTest, ScalePressedFourTimesReturnsToTheFirstTimeBase) {
    writeOn(0);
    fill(pattern(0));
    const std::string before = allRows(pattern(0));
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(editing.cycleScale(kRelease));
        seen.push_back(pattern(0).stepsPerBeat());
    }
    EXPECT_EQ(seen, (std::vector<int>{8, 3, 6, 4}));
    EXPECT_EQ(allRows(pattern(0)), before);
    EXPECT_EQ(pattern(0).length(), 16);
}

TEST_F(PatternEditingTest, RescaleFourToEightDoublesTheLength) {
    writeOn(0);
    pattern(0).setLength(8);
    storeRowCodes(pattern(0), 0, "5125512500000000");
    editing.setRescaleMode(true);
    EXPECT_TRUE(editing.state().rescaleChoosing);
    EXPECT_FALSE(editing.state().lastStepFlashRequest);
    EXPECT_EQ(editing.state().rescaleStart, kScale4);
    editing.cycleScale(kRelease);
    EXPECT_EQ(editing.state().rescaleTarget, kScale8);
    EXPECT_EQ(pattern(0).stepsPerBeat(), 4); // nothing converted while choosing
    editing.setRescaleMode(false);
    EXPECT_EQ(pattern(0).length(), 16);
    EXPECT_EQ(pattern(0).stepsPerBeat(), 8);
    EXPECT_EQ(rowCodes(pattern(0), 0), "5010205050102050");
}

TEST_F(PatternEditingTest, RescaleThreeToFourLeavesEveryFourthStepEmpty) {
    writeOn(0);
    pattern(0).setStepsPerBeat(3);
    pattern(0).setLength(12);
    storeRowCodes(pattern(0), 3, "1111111111110000");
    editing.setRescaleMode(true);
    editing.cycleScale(kRelease); // 3 -> 4 for length 12
    EXPECT_EQ(editing.state().rescaleTarget, kScale4);
    editing.setRescaleMode(false);
    EXPECT_EQ(pattern(0).length(), 16);
    EXPECT_EQ(pattern(0).stepsPerBeat(), 4);
    EXPECT_EQ(rowCodes(pattern(0), 3), "1110111011101110");
}

TEST_F(PatternEditingTest, RescaleOfAnUnsuitableLengthFlashesLastStepAndChangesNothing) {
    writeOn(0);
    pattern(0).setLength(10);
    fill(pattern(0));
    const std::string before = allRows(pattern(0));
    editing.setRescaleMode(true);
    EXPECT_TRUE(editing.state().rescaleMode);
    EXPECT_TRUE(editing.state().lastStepFlashRequest);
    EXPECT_FALSE(editing.state().rescaleChoosing);
    EXPECT_EQ(editing.state().rescaleTarget, editing.state().rescaleStart);
    editing.setRescaleMode(false);
    EXPECT_EQ(pattern(0).length(), 10);
    EXPECT_EQ(pattern(0).stepsPerBeat(), 4);
    EXPECT_EQ(allRows(pattern(0)), before);

    // Choosing a target anyway: the conversion refuses the length.
    editing.setRescaleMode(true);
    editing.cycleScale(kRelease);
    editing.setRescaleMode(false);
    EXPECT_EQ(pattern(0).length(), 10);
    EXPECT_EQ(pattern(0).stepsPerBeat(), 4);
    EXPECT_EQ(allRows(pattern(0)), before);
}

TEST_F(PatternEditingTest, RescaleBackToTheStartChangesNothing) {
    writeOn(0);
    pattern(0).setLength(16);
    fill(pattern(0));
    const std::string before = allRows(pattern(0));
    editing.setRescaleMode(true);
    editing.cycleScale(kRelease); // 3
    editing.cycleScale(kRelease); // 4 again
    editing.setRescaleMode(false);
    EXPECT_EQ(pattern(0).stepsPerBeat(), 4);
    EXPECT_EQ(allRows(pattern(0)), before);
}

TEST_F(PatternEditingTest, StepKeysWriteTheEditedRowWithTheKeyCodes) {
    writeOn(0);
    editing.setEditedRow(2);
    editing.pressStepKey(0, kKeyPlain, kRelease);
    editing.pressStepKey(1, kKeyAccented, kRelease);
    editing.pressStepKey(2, 0.6f, kRelease);
    editing.setFlamMode(true);
    editing.pressStepKey(3, kKeyPlain, kRelease);
    editing.pressStepKey(4, kKeyAccented, kRelease);
    EXPECT_EQ(rowCodes(pattern(0), 2), "1502600000000000");
    // An empty key clears; keys outside 0..15 are ignored.
    editing.pressStepKey(1, 0.6f, kRelease);
    EXPECT_FALSE(editing.pressStepKey(16, kKeyPlain, kRelease));
    EXPECT_FALSE(editing.pressStepKey(-1, kKeyPlain, kRelease));
    EXPECT_EQ(rowCodes(pattern(0), 2), "1002600000000000");
    // The row rules of the pattern apply: the rim shot row always carries the accent.
    editing.setFlamMode(false);
    editing.setEditedRow(5);
    editing.pressStepKey(0, kKeyPlain, kRelease);
    EXPECT_EQ(rowCodes(pattern(0), 5).substr(0, 1), "5");
}

TEST_F(PatternEditingTest, LastStepModeSetsTheLength) {
    writeOn(0);
    editing.setLastStepMode(true);
    editing.pressStepKey(4, kKeyPlain, kRelease);
    EXPECT_EQ(pattern(0).length(), 5);
    EXPECT_EQ(rowCodes(pattern(0), 0), std::string(16, '0'));
}

TEST_F(PatternEditingTest, RandomizerModeKeysWriteTemplatesFirst) {
    writeOn(0);
    editing.setLastStepMode(true);
    editing.setRandomizerMode(true);
    editing.setEditedRow(4);
    editing.setFlamMode(true);
    editing.pressStepKey(6, kKeyAccented, kRelease);
    EXPECT_EQ(editing.randomizer().templateCode(4, 6), 6);
    EXPECT_EQ(pattern(0).length(), 16);
    EXPECT_EQ(rowCodes(pattern(0), 4), std::string(16, '0'));
}

TEST_F(PatternEditingTest, TapModeRecordsIntoThePlayingPatternAndAuditions) {
    writeOn(0);
    editing.setTapMode(true);
    EXPECT_FALSE(editing.pressStepKey(0, kKeyPlain, kRelease)); // nothing plays
    EXPECT_TRUE(editingHost.auditions.empty());

    sequencer.setChainFlag(false);
    sequencer.startNote(9);
    sequencer.advanceNote();
    sequencer.advanceNote(); // step 2
    ASSERT_EQ(sequencer.playingStep(), 2);
    EXPECT_TRUE(editing.pressStepKey(0, 0.6f, kRelease));  // BD accented, whatever the value
    EXPECT_TRUE(editing.pressStepKey(3, 0.6f, kRelease));  // SD plain
    EXPECT_TRUE(editing.pressStepKey(15, 0.6f, kRelease)); // RD plain (accent forced by the row)
    EXPECT_EQ(pattern(9).step(0, 2), (StepFlags{true, false, true}));
    EXPECT_EQ(pattern(9).step(1, 2), (StepFlags{true, false, false}));
    EXPECT_EQ(pattern(9).step(10, 2), (StepFlags{true, false, true}));
    EXPECT_EQ(allRows(pattern(0)), allRows(Pattern{})); // the edited pattern is not touched
    ASSERT_EQ(editingHost.auditions.size(), 3u);
    EXPECT_EQ(editingHost.auditions[0].instrument, 0);
    EXPECT_FLOAT_EQ(editingHost.auditions[0].velocity, 0.63f);
    EXPECT_EQ(editingHost.auditions[1].instrument, 1);
    EXPECT_FLOAT_EQ(editingHost.auditions[1].velocity, 0.378f);
    EXPECT_EQ(editingHost.auditions[2].instrument, 10);
    EXPECT_FLOAT_EQ(editingHost.auditions[2].velocity, 0.378f);

    editing.setFlamMode(true);
    sequencer.advanceNote();                 // step 3
    editing.pressStepKey(8, 0.6f, kRelease); // HT accented flam
    EXPECT_EQ(pattern(9).step(4, 3), (StepFlags{false, true, true}));
    editing.pressStepKey(11, 0.6f, kRelease); // HC
    EXPECT_EQ(pattern(9).step(6, 3), (StepFlags{false, true, true}));
}

TEST_F(PatternEditingTest, TapKeysBeyondThePlayingLengthDoNothing) {
    writeOn(0);
    editing.setTapMode(true);
    pattern(9).setLength(8);
    sequencer.setChainFlag(true);
    sequencer.startChain(9, false);
    ASSERT_TRUE(sequencer.isPlaying());
    for (int key = 8; key < 16; ++key) {
        EXPECT_FALSE(editing.pressStepKey(key, kKeyPlain, kRelease)) << key;
    }
    EXPECT_TRUE(editingHost.auditions.empty());
    EXPECT_EQ(allRows(pattern(9)), allRows(Pattern{}));
    EXPECT_TRUE(editing.pressStepKey(7, kKeyPlain, kRelease));
    EXPECT_EQ(pattern(9).step(3, 0).note, true); // key 7: MT plain
}

TEST_F(PatternEditingTest, StepKeysSelectChainedPatternsOutsideWriteMode) {
    sequencer.setRange(29, 29); // group 2, position 5
    EXPECT_TRUE(editing.pressStepKey(7, 0.6f, kRelease));
    EXPECT_EQ(sequencer.rangeFrom(), 31);
    EXPECT_EQ(sequencer.rangeTo(), 31);
    EXPECT_EQ(sequencer.nextPattern(), 31);

    editing.pressStepKey(12, 0.2f, kRelease); // group 0, same position 7
    EXPECT_EQ(sequencer.nextPattern(), 7);
    editing.pressStepKey(13, kKeyAccented, kRelease); // second half: group 5
    EXPECT_EQ(sequencer.nextPattern(), 67);
    editing.pressStepKey(15, kKeySecondHalf, kRelease); // group 7
    EXPECT_EQ(sequencer.nextPattern(), 91);
    editing.pressStepKey(14, kKeyPlain, kRelease); // group 2
    EXPECT_EQ(sequencer.nextPattern(), 31);

    // Control extends the range.
    editing.pressStepKey(9, 0.6f, kReleaseControl);
    EXPECT_EQ(sequencer.rangeFrom(), 31);
    EXPECT_EQ(sequencer.rangeTo(), 33);

    // Normal and free modes: the keys select nothing.
    sequencer.setChainFlag(false);
    EXPECT_FALSE(editing.pressStepKey(0, 0.6f, kRelease));
    EXPECT_EQ(sequencer.rangeFrom(), 31);
}

TEST_F(PatternEditingTest, PatternNavigationStopsAtTheEnds) {
    writeOn(94);
    EXPECT_TRUE(editing.nextPattern(kRelease));
    EXPECT_EQ(editing.state().editedPattern, 95);
    EXPECT_FALSE(editing.nextPattern(kRelease));
    EXPECT_EQ(editing.state().editedPattern, 95);

    editing.setEditedPattern(84);
    EXPECT_FALSE(editing.nextPattern(kReleaseControl));
    EXPECT_EQ(editing.state().editedPattern, 84);
    editing.setEditedPattern(83);
    EXPECT_TRUE(editing.nextPattern(kReleaseControl));
    EXPECT_EQ(editing.state().editedPattern, 95);

    editing.setEditedPattern(0);
    EXPECT_FALSE(editing.prevPattern(kRelease));
    editing.setEditedPattern(11);
    EXPECT_FALSE(editing.prevPattern(kReleaseControl));
    EXPECT_EQ(editing.state().editedPattern, 11);
    editing.setEditedPattern(12);
    EXPECT_TRUE(editing.prevPattern(kReleaseControl));
    EXPECT_EQ(editing.state().editedPattern, 0);

    EXPECT_FALSE(editing.nextPattern(kHeld));
    EXPECT_EQ(editing.state().editedPattern, 0);
    editing.setAutoFollow(true);
    EXPECT_FALSE(editing.nextPattern(kRelease));
    EXPECT_EQ(editing.state().editedPattern, 0);

    EXPECT_FALSE(editing.setEditedPattern(96));
    EXPECT_FALSE(editing.setEditedPattern(-1));
    EXPECT_EQ(editing.state().editedPattern, 0);
}

TEST_F(PatternEditingTest, NextAndPrevStepThroughSeedsInRandomizerMode) {
    writeOn(6);
    editing.setAutoFollow(true); // does not stop the randomizer
    editing.setRandomizerMode(true);
    EXPECT_FALSE(editing.prevPattern(kRelease)); // no history yet
    EXPECT_TRUE(editing.nextPattern(kRelease));
    const std::uint32_t first = editing.randomizer().currentSeed();
    const std::string firstRows = allRows(pattern(6));
    EXPECT_NE(first, 0u);
    EXPECT_TRUE(editing.nextPattern(kRelease));
    EXPECT_TRUE(editing.prevPattern(kRelease));
    EXPECT_EQ(editing.randomizer().currentSeed(), first);
    EXPECT_EQ(allRows(pattern(6)), firstRows);
    EXPECT_EQ(editing.state().editedPattern, 6);
}

TEST_F(PatternEditingTest, RandUndoWorksOnlyInRandomizerModeOnRelease) {
    writeOn(6);
    fill(pattern(6));
    const std::string before = allRows(pattern(6));
    EXPECT_FALSE(editing.undoRandomizer(kRelease));
    editing.setRandomizerMode(true);
    editing.nextPattern(kRelease);
    editing.nextPattern(kRelease);
    editing.nextPattern(kRelease);
    EXPECT_FALSE(editing.undoRandomizer(kHeld));
    EXPECT_TRUE(editing.undoRandomizer(kRelease));
    EXPECT_EQ(allRows(pattern(6)), before);
}

TEST_F(PatternEditingTest, RowSelectionPicksTheEditedRowOrTheRandomizedRows) {
    EXPECT_TRUE(editing.setEditedRow(kTA));
    EXPECT_EQ(editing.state().editedRow, kTA);
    EXPECT_FALSE(editing.setEditedRow(12));
    EXPECT_FALSE(editing.setEditedRow(-1));
    EXPECT_EQ(editing.state().editedRow, kTA);

    EXPECT_TRUE(editing.selectRow(3, true, kRelease));
    EXPECT_EQ(editing.state().editedRow, 3);
    writeOn(0);
    editing.setRandomizerMode(true);
    EXPECT_TRUE(editing.selectRow(8, true, kReleaseControl));
    EXPECT_EQ(editing.state().editedRow, 3);
    for (int row = 0; row < 11; ++row) {
        EXPECT_EQ(editing.randomizer().rowEnabled(row), row == 8);
    }
}

TEST_F(PatternEditingTest, PatternNameIsCutToEighteenCharacters) {
    writeOn(2);
    editing.setPatternName("A name that is far too long");
    EXPECT_EQ(pattern(2).name(), "A name that is far");
    editing.setWriteMode(false);
    editing.setEditedPattern(3);
    editing.setPatternName("Short");
    EXPECT_EQ(pattern(3).name(), "Short");
}

TEST_F(PatternEditingTest, PatternAttributesNeedTheAttributeStore) {
    editingHost.store = false;
    writeOn(2);
    EXPECT_FALSE(editing.setPatternAttribute(PatternAttribute::Flam, 0.9f));
    EXPECT_EQ(pattern(2).flam(), 0.5f);
}

TEST_F(PatternEditingTest, PatternAttributesInWriteModeSetTheEditedPattern) {
    writeOn(2);
    sequencer.setRange(7, 7);
    sequencer.startChain(7, false);
    EXPECT_TRUE(editing.setPatternAttribute(PatternAttribute::Flam, 0.9f));
    EXPECT_TRUE(editing.setPatternAttribute(PatternAttribute::Shuffle, 0.2f));
    EXPECT_TRUE(editing.setPatternAttribute(PatternAttribute::TotalAccent, 0.7f));
    EXPECT_EQ(pattern(2).flam(), 0.9f);
    EXPECT_EQ(pattern(2).shuffle(), 0.2f);
    EXPECT_EQ(pattern(2).totalAccent(), 0.7f);
    EXPECT_EQ(pattern(7).flam(), 0.5f);
    EXPECT_TRUE(editingHost.amounts.empty());
}

TEST_F(PatternEditingTest, PatternAttributesOutsideWriteModeReachThePlayingPattern) {
    sequencer.setRange(7, 7);
    EXPECT_TRUE(editing.setPatternAttribute(PatternAttribute::Shuffle, 0.3f));
    EXPECT_EQ(pattern(7).shuffle(), 0.3f);
    EXPECT_TRUE(editingHost.amounts.empty()); // nothing plays

    sequencer.startChain(7, false);
    EXPECT_TRUE(editing.setPatternAttribute(PatternAttribute::Flam, 0.25f));
    EXPECT_TRUE(editing.setPatternAttribute(PatternAttribute::TotalAccent, 2.0f));
    EXPECT_EQ(pattern(7).flam(), 0.25f);
    EXPECT_EQ(pattern(7).totalAccent(), 1.0f);
    EXPECT_EQ(editingHost.amounts,
              (std::vector<std::string>{"flam 0.250000", "totalAccent 1.000000"}));
    EXPECT_FALSE(editing.setPatternAttribute(PatternAttribute::Flam,
                                             std::numeric_limits<float>::quiet_NaN()));
}

TEST_F(PatternEditingTest, TheEditedPatternFollowsPlaybackUnlessWriting) {
    sequencer.setRange(20, 20);
    EXPECT_TRUE(editing.followPlayback());
    EXPECT_EQ(editing.state().editedPattern, 20);

    editing.setWriteMode(true);
    sequencer.setRange(21, 21);
    EXPECT_FALSE(editing.followPlayback());
    EXPECT_EQ(editing.state().editedPattern, 20);

    editing.setAutoFollow(true);
    EXPECT_TRUE(editing.followPlayback());
    EXPECT_EQ(editing.state().editedPattern, 21);
}

} // namespace
} // namespace vorpalix
