// Time-base conversion of patterns: every conversion with hand-written step maps, the lengths
// each accepts, clearing beyond the new length, and the cycles of the Scale and Rescale targets.

#include "EditingTestSupport.h"
#include "sequencer/PatternRescale.h"

#include <gtest/gtest.h>

#include <vector>

namespace vorpalix {
namespace {

using test::rowCodes;
using test::storeRowCodes;

struct ConversionCase {
    int from;
    int length;
    int to;
    int newLength;
    std::vector<int> target; // where each source step 0..length-1 lands; -1 dropped
};

// Written out by hand from the group templates.
const std::vector<ConversionCase> kCases = {
    {6, 12, 8, 16, {0, 2, 3, 4, 6, 7, 8, 10, 11, 12, 14, 15}}, // O+ooo+oo
    {6, 6, 8, 8, {0, 2, 3, 4, 6, 7}},
    {6, 12, 3, 6, {0, -1, 1, -1, 2, -1, 3, -1, 4, -1, 5, -1}}, // O-o-o-
    {3, 6, 6, 12, {0, 2, 4, 6, 8, 10}},                        // O+o+o+
    {3, 3, 6, 6, {0, 2, 4}},
    {3, 12, 4, 16, {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14}}, // Ooo+
    {3, 9, 4, 12, {0, 1, 2, 4, 5, 6, 8, 9, 10}},
    {8, 16, 6, 12, {0, -1, 1, 2, 3, -1, 4, 5, 6, -1, 7, 8, 9, -1, 10, 11}},  // O-ooo-oo
    {8, 16, 4, 8, {0, -1, 1, -1, 2, -1, 3, -1, 4, -1, 5, -1, 6, -1, 7, -1}}, // O-o-o-o-
    {8, 8, 4, 4, {0, -1, 1, -1, 2, -1, 3, -1}},
    {4, 8, 8, 16, {0, 2, 4, 6, 8, 10, 12, 14}}, // O+o+o+o+
    {4, 4, 8, 8, {0, 2, 4, 6}},
    {4, 16, 3, 12, {0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1}}, // Ooo-
    {4, 12, 3, 9, {0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1}},
};

TEST(PatternRescale, EveryConversionMovesEachStepToItsPlace) {
    for (const ConversionCase& c : kCases) {
        for (int source = 0; source < c.length; ++source) {
            Pattern pattern;
            pattern.setStepsPerBeat(c.from);
            pattern.setLength(c.length);
            pattern.setStep(0, source, 5);
            ASSERT_TRUE(rescalePattern(pattern, scaleCodeOf(c.to)))
                << c.from << "->" << c.to << " length " << c.length;
            EXPECT_EQ(pattern.length(), c.newLength);
            EXPECT_EQ(pattern.stepsPerBeat(), c.to);
            std::string expected(16, '0');
            const int target = c.target[static_cast<std::size_t>(source)];
            if (target >= 0) {
                expected[static_cast<std::size_t>(target)] = '5';
            }
            EXPECT_EQ(rowCodes(pattern, 0), expected)
                << c.from << "->" << c.to << " length " << c.length << " step " << source;
        }
    }
}

TEST(PatternRescale, AllRowsMoveWithAllTheirFlags) {
    Pattern pattern;
    pattern.setStepsPerBeat(4);
    pattern.setLength(16);
    for (int row = 0; row < 12; ++row) {
        // Codes as stored: 0, note, flam, accent alone, note+accent, flam+accent.
        std::string codes;
        for (int step = 0; step < 16; ++step) {
            const char choices[] = {'0', '1', '2', '4', '5', '6'};
            codes += choices[(row + step * 5) % 6];
        }
        storeRowCodes(pattern, row, codes);
    }
    const Pattern before = pattern;
    ASSERT_TRUE(rescalePattern(pattern, kScale3));
    EXPECT_EQ(pattern.length(), 12);
    const std::vector<int> kept = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};
    for (int row = 0; row < 12; ++row) {
        for (int step = 0; step < 12; ++step) {
            EXPECT_EQ(pattern.step(row, step), before.step(row, kept[step])) << row << "/" << step;
        }
        for (int step = 12; step < 16; ++step) {
            EXPECT_EQ(pattern.step(row, step), StepFlags{}) << row << "/" << step;
        }
    }
}

TEST(PatternRescale, StepsStoredBeyondTheLengthAreClearedAfterwards) {
    Pattern pattern;
    pattern.setStepsPerBeat(4);
    pattern.setLength(8);
    storeRowCodes(pattern, 2, "5000000055555555");
    ASSERT_TRUE(rescalePattern(pattern, kScale3));
    EXPECT_EQ(pattern.length(), 6);
    EXPECT_EQ(rowCodes(pattern, 2), "5000000000000000");
}

TEST(PatternRescale, UnsupportedPairsAndLengthsChangeNothing) {
    struct Refused {
        int from;
        int length;
        int targetCode;
    };
    const std::vector<Refused> refused = {
        {4, 10, kScale8}, {4, 12, kScale8}, {4, 8, kScale6}, {4, 16, kScale4},
        {3, 9, kScale6},  {3, 12, kScale8}, {6, 9, kScale8}, {6, 12, kScale4},
        {8, 12, kScale6}, {8, 16, kScale3}, {4, 16, 7},      {4, 16, -1},
    };
    for (const Refused& r : refused) {
        Pattern pattern;
        pattern.setStepsPerBeat(r.from);
        pattern.setLength(r.length);
        storeRowCodes(pattern, 0, "5121512151215121");
        const Pattern before = pattern;
        EXPECT_FALSE(rescalePattern(pattern, r.targetCode))
            << r.from << " length " << r.length << " target " << r.targetCode;
        EXPECT_EQ(pattern.length(), r.length);
        EXPECT_EQ(pattern.stepsPerBeat(), r.from);
        EXPECT_EQ(rowCodes(pattern, 0), rowCodes(before, 0));
    }
}

TEST(PatternRescale, ScaleCodes) {
    EXPECT_EQ(scaleCodeOf(6), kScale6);
    EXPECT_EQ(scaleCodeOf(3), kScale3);
    EXPECT_EQ(scaleCodeOf(8), kScale8);
    EXPECT_EQ(scaleCodeOf(4), kScale4);
    EXPECT_EQ(scaleCodeOf(5), kScale4);
    EXPECT_EQ(stepsPerBeatOf(kScale6), 6);
    EXPECT_EQ(stepsPerBeatOf(kScale3), 3);
    EXPECT_EQ(stepsPerBeatOf(kScale8), 8);
    EXPECT_EQ(stepsPerBeatOf(kScale4), 4);
    // The plain Scale cycle 4 -> 8 -> 3 -> 6 -> 4.
    EXPECT_EQ(stepsPerBeatOf(nextScaleCode(scaleCodeOf(4))), 8);
    EXPECT_EQ(stepsPerBeatOf(nextScaleCode(scaleCodeOf(8))), 3);
    EXPECT_EQ(stepsPerBeatOf(nextScaleCode(scaleCodeOf(3))), 6);
    EXPECT_EQ(stepsPerBeatOf(nextScaleCode(scaleCodeOf(6))), 4);
}

TEST(PatternRescale, LengthsThatSuitEachTimeBase) {
    auto suiting = [](int code) {
        std::vector<int> lengths;
        for (int length = 1; length <= 16; ++length) {
            if (lengthSuitsScale(code, length)) {
                lengths.push_back(length);
            }
        }
        return lengths;
    };
    EXPECT_EQ(suiting(kScale3), (std::vector<int>{3, 6, 9, 12}));
    EXPECT_EQ(suiting(kScale6), (std::vector<int>{6, 12}));
    EXPECT_EQ(suiting(kScale8), (std::vector<int>{8, 16}));
    EXPECT_EQ(suiting(kScale4), (std::vector<int>{4, 8, 12, 16}));
}

// Steps per beat of the targets offered by successive Scale presses.
std::vector<int> targetCycle(int stepsPerBeat, int length, int presses) {
    const int start = scaleCodeOf(stepsPerBeat);
    int target = start;
    std::vector<int> offered;
    for (int i = 0; i < presses; ++i) {
        target = nextRescaleTarget(start, target, length);
        offered.push_back(stepsPerBeatOf(target));
    }
    return offered;
}

TEST(PatternRescale, TargetCyclesOfferOnlyAvailableConversions) {
    EXPECT_EQ(targetCycle(6, 12, 4), (std::vector<int>{8, 3, 6, 8}));
    EXPECT_EQ(targetCycle(3, 6, 4), (std::vector<int>{6, 4, 3, 6}));
    EXPECT_EQ(targetCycle(3, 3, 3), (std::vector<int>{6, 4, 3}));
    EXPECT_EQ(targetCycle(3, 9, 3), (std::vector<int>{4, 3, 4}));
    EXPECT_EQ(targetCycle(3, 12, 3), (std::vector<int>{4, 3, 4}));
    EXPECT_EQ(targetCycle(8, 16, 4), (std::vector<int>{6, 4, 8, 6}));
    EXPECT_EQ(targetCycle(4, 8, 4), (std::vector<int>{8, 3, 4, 8}));
    EXPECT_EQ(targetCycle(4, 4, 3), (std::vector<int>{8, 3, 4}));
    EXPECT_EQ(targetCycle(4, 16, 3), (std::vector<int>{3, 4, 3}));
    EXPECT_EQ(targetCycle(4, 12, 3), (std::vector<int>{3, 4, 3}));
}

} // namespace
} // namespace vorpalix
