// The pattern randomizer: generation checked against an independent computation with
// std::mt19937, seeds and their history, row enables and templates, commit by threshold, undo,
// and the playback gate.

#include "EditingTestSupport.h"
#include "sequencer/PatternRandomizer.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <sstream>

namespace vorpalix {
namespace {

using test::DirectEditingHost;
using test::Hit;
using test::IdleSequencerHost;
using test::RecordingSink;
using test::rowCodes;
using test::storeRowCodes;

constexpr int kSD = 1;
constexpr int kCH = 7;
constexpr int kOH = 8;
constexpr int kTA = 11;

// std::mt19937 with the state the 1998 reference seeding gives (69069 multiplier).
std::mt19937 referenceEngine(std::uint32_t seed) {
    std::string text;
    std::uint64_t x = seed;
    for (int i = 0; i < 624; ++i) {
        text += std::to_string(x) + " ";
        x = (x * 69069ull) % 4294967296ull;
    }
    text += "624";
    std::istringstream in(text);
    std::mt19937 engine;
    in >> engine;
    return engine;
}

std::uint32_t referenceBelow(std::mt19937& engine, std::uint32_t n) {
    const std::uint64_t limit = (4294967295ull / n) * n - 1;
    std::uint64_t v = engine();
    while (v > limit) {
        v = engine();
    }
    return static_cast<std::uint32_t>(v % n);
}

struct Reference {
    Pattern pattern;
    std::array<std::array<float, 16>, 12> values{};
};

// What a generation with this seed gives, computed independently of the randomizer: the draw
// order per step (value, a, b, c), the template rules, and the pattern's own step rules.
Reference referenceGeneration(std::uint32_t seed, const Pattern& before,
                              const std::array<int, 12>& templateOfRow,
                              const std::array<bool, 12>& enabled) {
    Reference result;
    result.pattern = before;
    std::mt19937 engine = referenceEngine(seed);
    for (int row = 0; row < 12; ++row) {
        for (int step = 0; step < 16; ++step) {
            const float u = static_cast<float>(static_cast<double>(engine()) / 4294967296.0);
            const std::uint32_t a = referenceBelow(engine, 2);
            const std::uint32_t b = referenceBelow(engine, 2);
            const std::uint32_t c = referenceBelow(engine, 2);
            if (!enabled[static_cast<std::size_t>(row)] && row != kTA) {
                result.values[row][step] = -1.0f;
                continue;
            }
            const int t = templateOfRow[static_cast<std::size_t>(row)];
            const bool noteAllowed = (t & 1) != 0;
            const bool flamAllowed = (t & 2) != 0;
            const bool accentAllowed = (t & 4) != 0;
            int code = 0;
            if (flamAllowed) {
                code = b == 1 ? 2 : 0;
            } else if (noteAllowed && a == 1) {
                code = 1;
            }
            if (code != 0 && accentAllowed && c == 1) {
                code += 4;
            }
            result.values[row][step] = u;
            result.pattern.setStep(row, step, code);
        }
    }
    return result;
}

std::array<int, 12> allTemplates(int code) {
    std::array<int, 12> t{};
    t.fill(code);
    return t;
}

std::array<bool, 12> allEnabled() {
    std::array<bool, 12> e{};
    e.fill(true);
    return e;
}

void expectSameSteps(const Pattern& actual, const Pattern& expected) {
    for (int row = 0; row < 12; ++row) {
        EXPECT_EQ(rowCodes(actual, row), rowCodes(expected, row)) << "row " << row;
    }
}

class RandomizerTest : public ::testing::Test {
protected:
    RandomizerTest() {
        randomizer.seedGenerator(20240601); // reproducible runs; tests may seed again
        for (int i = 0; i < 11; ++i) {
            sequencer.setRandomizerThreshold(i, 0.5f);
        }
        // Pattern 5: some existing steps and its own attributes.
        Pattern& p = editingHost.bank[5];
        p.setName("Keep me");
        p.setLength(12);
        p.setStepsPerBeat(3);
        storeRowCodes(p, 0, "5001000150010000");
        storeRowCodes(p, kSD, "0000500000005020");
        storeRowCodes(p, kTA, "5000000050000000");
        editingHost.sync();
    }

    Pattern& pattern(int i) { return editingHost.bank[i]; }

    IdleSequencerHost host;
    RecordingSink sink;
    PatternSequencer sequencer{host, sink};
    DirectEditingHost editingHost{sequencer};
    PatternRandomizer randomizer{editingHost};
};

TEST_F(RandomizerTest, NewPatternMatchesIndependentComputation) {
    const Pattern before = pattern(5);
    const Pattern neighbour = pattern(6);
    randomizer.setRandomizerMode(true, 5);
    randomizer.seedGenerator(777);
    randomizer.randomizeNew();

    std::mt19937 running = referenceEngine(777);
    const std::uint32_t seed = referenceBelow(running, 1000000) + 1;
    ASSERT_EQ(randomizer.currentSeed(), seed);

    const Reference expected = referenceGeneration(seed, before, allTemplates(5), allEnabled());
    expectSameSteps(pattern(5), expected.pattern);
    for (int row = 0; row < 11; ++row) {
        for (int step = 0; step < 16; ++step) {
            ASSERT_EQ(sequencer.randomValue(row, step), expected.values[row][step])
                << row << "/" << step;
        }
    }
    EXPECT_EQ(pattern(5).name(), "Keep me");
    EXPECT_EQ(pattern(5).length(), 12);
    EXPECT_EQ(pattern(5).stepsPerBeat(), 3);
    expectSameSteps(pattern(6), neighbour);
}

TEST_F(RandomizerTest, GenerationsFollowTheStepRules) {
    randomizer.setRandomizerMode(true, 5);
    randomizer.seedGenerator(99);
    for (int generation = 0; generation < 20; ++generation) {
        randomizer.randomizeNew();
        for (int step = 0; step < 16; ++step) {
            // Never both hi-hats on one step.
            EXPECT_FALSE((pattern(5).step(kCH, step).note || pattern(5).step(kCH, step).flam) &&
                         (pattern(5).step(kOH, step).note || pattern(5).step(kOH, step).flam));
            // RS, HC, CR and RD always carry the accent flag.
            for (int row : {5, 6, 9, 10}) {
                EXPECT_TRUE(pattern(5).step(row, step).accent);
            }
        }
        ASSERT_GE(randomizer.currentSeed(), 1u);
        ASSERT_LE(randomizer.currentSeed(), 1000000u);
    }
}

TEST_F(RandomizerTest, SameSeedGivesSamePatternAndValues) {
    randomizer.setRandomizerMode(true, 5);
    randomizer.seedGenerator(31337);
    randomizer.randomizeNew();
    const Pattern first = pattern(5);
    std::array<float, 176> firstValues{};
    for (int i = 0; i < 176; ++i) {
        firstValues[i] = sequencer.randomValue(i / 16, i % 16);
    }
    randomizer.randomizeNew();
    randomizer.randomizePrevious();
    expectSameSteps(pattern(5), first);
    for (int i = 0; i < 176; ++i) {
        ASSERT_EQ(sequencer.randomValue(i / 16, i % 16), firstValues[i]);
    }
}

TEST_F(RandomizerTest, NextNextPrevReturnsToTheFirstResult) {
    randomizer.setRandomizerMode(true, 5);
    randomizer.randomizeNew();
    const std::uint32_t firstSeed = randomizer.currentSeed();
    const Pattern first = pattern(5);
    EXPECT_FALSE(randomizer.hasHistory());
    randomizer.randomizeNew();
    EXPECT_EQ(randomizer.historySize(), 1u);
    const Pattern second = pattern(5);
    randomizer.randomizePrevious();
    EXPECT_EQ(randomizer.currentSeed(), firstSeed);
    EXPECT_FALSE(randomizer.hasHistory());
    expectSameSteps(pattern(5), first);
    // The second seed was dropped: another Prev changes nothing.
    randomizer.randomizePrevious();
    EXPECT_EQ(randomizer.currentSeed(), firstSeed);
    expectSameSteps(pattern(5), first);
    (void)second;
}

TEST_F(RandomizerTest, DisabledSnareRowKeepsItsStepsAndOthersGetTheSameResult) {
    randomizer.setRandomizerMode(true, 5);
    randomizer.seedGenerator(2024);
    randomizer.randomizeNew();
    const Pattern allRows = pattern(5);
    const std::uint32_t seed = randomizer.currentSeed();
    randomizer.restoreRandomizedPattern();

    const std::string snareBefore = rowCodes(pattern(5), kSD);
    randomizer.setRowEnable(kSD, false, false);
    EXPECT_FALSE(randomizer.rowEnabled(kSD));
    randomizer.seedGenerator(2024);
    randomizer.randomizeNew(); // pushes the first seed, draws the same seed again
    ASSERT_EQ(randomizer.currentSeed(), seed);
    EXPECT_EQ(rowCodes(pattern(5), kSD), snareBefore);
    for (int step = 0; step < 16; ++step) {
        EXPECT_EQ(sequencer.randomValue(kSD, step), -1.0f);
    }
    for (int row = 0; row < 12; ++row) {
        if (row != kSD) {
            EXPECT_EQ(rowCodes(pattern(5), row), rowCodes(allRows, row)) << "row " << row;
        }
    }
}

TEST_F(RandomizerTest, RowEnableWithControlRandomizesThatRowAlone) {
    randomizer.setRowEnable(3, false, true);
    for (int row = 0; row < 11; ++row) {
        EXPECT_EQ(randomizer.rowEnabled(row), row == 3) << row;
    }
    EXPECT_TRUE(randomizer.rowEnabled(kTA)); // the accent row is always randomized
    randomizer.setRowEnable(4, true, false);
    EXPECT_TRUE(randomizer.rowEnabled(4));
    randomizer.setRowEnable(11, false, false); // not a selectable row
    randomizer.setRowEnable(-1, true, true);
    EXPECT_TRUE(randomizer.rowEnabled(3));

    const std::string kickBefore = rowCodes(pattern(5), 0);
    randomizer.setRandomizerMode(true, 5);
    randomizer.seedGenerator(5);
    randomizer.randomizeNew();
    EXPECT_EQ(rowCodes(pattern(5), 0), kickBefore);
}

TEST_F(RandomizerTest, TemplatesLimitWhatEachStepCanReceive) {
    for (int row = 0; row < 12; ++row) {
        for (int step = 0; step < 16; ++step) {
            randomizer.setTemplate(row, step, step < 8 ? 2 : 1);
        }
    }
    randomizer.setTemplate(12, 0, 5); // ignored
    randomizer.setTemplate(0, 16, 5); // ignored
    randomizer.setRandomizerMode(true, 5);
    bool sawFlam = false;
    bool sawNote = false;
    for (int generation = 0; generation < 10; ++generation) {
        randomizer.randomizeNew();
        for (int row = 0; row < 12; ++row) {
            for (int step = 0; step < 16; ++step) {
                const StepFlags f = pattern(5).step(row, step);
                if (step < 8) {
                    EXPECT_FALSE(f.note);
                    sawFlam = sawFlam || f.flam;
                } else {
                    EXPECT_FALSE(f.flam);
                    sawNote = sawNote || f.note;
                    if (row != 5 && row != 6 && row != 9 && row != 10 && row != kTA) {
                        EXPECT_FALSE(f.accent) << row << "/" << step;
                    }
                }
            }
        }
    }
    EXPECT_TRUE(sawFlam);
    EXPECT_TRUE(sawNote);
}

TEST_F(RandomizerTest, EmptyTemplatesClearEveryRandomizedRow) {
    for (int row = 0; row < 12; ++row) {
        for (int step = 0; step < 16; ++step) {
            randomizer.setTemplate(row, step, 0);
        }
    }
    randomizer.setRandomizerMode(true, 5);
    randomizer.randomizeNew();
    for (int row = 0; row < 12; ++row) {
        const bool silentAccent = row == 5 || row == 6 || row == 9 || row == 10;
        EXPECT_EQ(rowCodes(pattern(5), row), std::string(16, silentAccent ? '4' : '0')) << row;
    }
}

TEST_F(RandomizerTest, IndependentComputationHoldsForTemplatesAndDisabledRows) {
    std::array<int, 12> templates = {5, 6, 1, 2, 7, 5, 4, 3, 5, 0, 6, 5};
    std::array<bool, 12> enabled = allEnabled();
    enabled[2] = false;
    enabled[9] = false;
    for (int row = 0; row < 12; ++row) {
        for (int step = 0; step < 16; ++step) {
            randomizer.setTemplate(row, step, templates[row]);
        }
    }
    randomizer.setRowEnable(2, false, false);
    randomizer.setRowEnable(9, false, false);
    const Pattern before = pattern(5);
    randomizer.setRandomizerMode(true, 5);
    randomizer.seedGenerator(4242);
    randomizer.randomizeNew();
    const Reference expected =
        referenceGeneration(randomizer.currentSeed(), before, templates, enabled);
    expectSameSteps(pattern(5), expected.pattern);
}

TEST_F(RandomizerTest, LeavingWithThresholdOneKeepsEveryStep) {
    for (int i = 0; i < 11; ++i) {
        sequencer.setRandomizerThreshold(i, 1.0f);
    }
    randomizer.setRandomizerMode(true, 5);
    randomizer.randomizeNew();
    const Pattern generated = pattern(5);
    randomizer.setRandomizerMode(false, 5);
    EXPECT_FALSE(randomizer.mode());
    expectSameSteps(pattern(5), generated);
    for (int step = 0; step < 16; ++step) {
        EXPECT_EQ(sequencer.randomValue(0, step), -1.0f);
    }
}

TEST_F(RandomizerTest, LeavingWithThresholdZeroClearsEveryRandomizedHitButKeepsTA) {
    for (int i = 0; i < 11; ++i) {
        sequencer.setRandomizerThreshold(i, 0.0f);
    }
    randomizer.setRowEnable(kSD, false, false);
    const std::string snare = rowCodes(pattern(5), kSD);
    randomizer.setRandomizerMode(true, 5);
    randomizer.randomizeNew();
    const std::string accents = rowCodes(pattern(5), kTA);
    randomizer.setRandomizerMode(false, 5);
    for (int row = 0; row < 11; ++row) {
        if (row != kSD) {
            EXPECT_EQ(rowCodes(pattern(5), row), std::string(16, '0')) << row;
        }
    }
    EXPECT_EQ(rowCodes(pattern(5), kSD), snare); // not randomized: no random values
    EXPECT_EQ(rowCodes(pattern(5), kTA), accents);
}

TEST_F(RandomizerTest, LeavingKeepsExactlyTheStepsBelowTheirThreshold) {
    sequencer.setRandomizerThreshold(0, 0.3f);
    sequencer.setRandomizerThreshold(1, 0.8f);
    randomizer.setRandomizerMode(true, 5);
    randomizer.randomizeNew();
    const Pattern generated = pattern(5);
    std::array<float, 32> values{};
    for (int i = 0; i < 32; ++i) {
        values[i] = sequencer.randomValue(i / 16, i % 16);
    }
    randomizer.setRandomizerMode(false, 5);
    int kept = 0;
    int cleared = 0;
    for (int i = 0; i < 32; ++i) {
        const int row = i / 16;
        const int step = i % 16;
        const float limit = row == 0 ? 0.3f : 0.8f;
        if (values[i] < limit) {
            EXPECT_EQ(pattern(5).step(row, step), generated.step(row, step));
            ++kept;
        } else {
            EXPECT_EQ(pattern(5).step(row, step), StepFlags{});
            ++cleared;
        }
    }
    EXPECT_GT(kept, 0);
    EXPECT_GT(cleared, 0);
}

TEST_F(RandomizerTest, AStepWhoseValueEqualsTheThresholdIsNeitherHeardNorKept) {
    randomizer.setRandomizerMode(true, 5);
    randomizer.seedGenerator(8);
    randomizer.randomizeNew();
    int step = 0;
    while (step < 12 && !pattern(5).step(0, step).note) {
        ++step;
    }
    ASSERT_LT(step, 12);
    const float value = sequencer.randomValue(0, step);
    sequencer.setRandomizerThreshold(0, value);

    sequencer.setChainFlag(false);
    sequencer.startNote(5);
    for (int i = 0; i < step; ++i) {
        sequencer.advanceNote();
    }
    sink.hits.clear();
    sequencer.triggerNote(false);
    for (const Hit& h : sink.hits) {
        EXPECT_NE(h.instrument, 0);
    }
    randomizer.setRandomizerMode(false, 5);
    EXPECT_EQ(pattern(5).step(0, step), StepFlags{});
}

TEST_F(RandomizerTest, UndoAfterThreeGenerationsRestoresTheStepsFromBeforeTheMode) {
    const Pattern before = pattern(5);
    randomizer.setRandomizerMode(true, 5);
    randomizer.randomizeNew();
    randomizer.randomizeNew();
    randomizer.randomizeNew();
    const std::uint32_t seed = randomizer.currentSeed();
    randomizer.restoreRandomizedPattern();
    expectSameSteps(pattern(5), before);
    EXPECT_EQ(randomizer.currentSeed(), seed);
    EXPECT_EQ(randomizer.historySize(), 2u);
    for (int step = 0; step < 16; ++step) {
        EXPECT_EQ(sequencer.randomValue(0, step), -1.0f);
    }
    // With no random values left, leaving at threshold 0 keeps the restored steps.
    for (int i = 0; i < 11; ++i) {
        sequencer.setRandomizerThreshold(i, 0.0f);
    }
    randomizer.setRandomizerMode(false, 5);
    expectSameSteps(pattern(5), before);
}

TEST_F(RandomizerTest, EnteringAgainKeepsTheFirstBackup) {
    const Pattern before = pattern(5);
    randomizer.setRandomizerMode(true, 5);
    randomizer.randomizeNew();
    randomizer.setRandomizerMode(true, 5);
    randomizer.restoreRandomizedPattern();
    expectSameSteps(pattern(5), before);
}

TEST_F(RandomizerTest, LeavingAfterTheEditedPatternMovedCommitsTheRandomizedPattern) {
    for (int i = 0; i < 11; ++i) {
        sequencer.setRandomizerThreshold(i, 0.0f);
    }
    storeRowCodes(pattern(7), 0, "5555555555555555");
    const Pattern other = pattern(7);
    randomizer.setRandomizerMode(true, 5);
    randomizer.randomizeNew();
    randomizer.setRandomizerMode(false, 7);
    expectSameSteps(pattern(7), other);
    EXPECT_EQ(rowCodes(pattern(5), 0), std::string(16, '0'));
    EXPECT_EQ(randomizer.randomizedPattern(), 7);
}

TEST_F(RandomizerTest, OperationsOutsideTheModeChangeNothing) {
    const Pattern before = pattern(0);
    randomizer.randomizeNew();
    randomizer.randomizePrevious();
    randomizer.restoreRandomizedPattern();
    EXPECT_EQ(randomizer.currentSeed(), 0u);
    expectSameSteps(pattern(0), before);
    randomizer.setRandomizerMode(true, 96); // not a pattern
    EXPECT_FALSE(randomizer.mode());
    randomizer.setRandomizerMode(true, -1);
    EXPECT_FALSE(randomizer.mode());
}

TEST_F(RandomizerTest, PlaybackGateSilencesOtherPatternsAndFiltersTheRandomizedOne) {
    storeRowCodes(pattern(2), 0, "1111111111111111");
    editingHost.sync();
    sequencer.setChainFlag(false);
    sequencer.startNote(2);
    sequencer.triggerNote(false);
    ASSERT_EQ(sink.hits.size(), 1u);

    randomizer.setRandomizerMode(true, 5);
    sink.hits.clear();
    for (int step = 0; step < 16; ++step) {
        sequencer.triggerNote(false);
        sequencer.advanceNote();
    }
    EXPECT_TRUE(sink.hits.empty());

    // The randomized pattern: a hit sounds only while its value lies below the threshold.
    sequencer.setRandomizerThreshold(0, 0.5f);
    randomizer.randomizeNew();
    sequencer.startNote(5);
    int expectedHits = 0;
    int filtered = 0;
    for (int step = 0; step < 12; ++step) { // pattern 5 has length 12
        const bool hit = pattern(5).step(0, step).note;
        const bool passes = sequencer.randomValue(0, step) < 0.5f;
        expectedHits += hit && passes ? 1 : 0;
        filtered += hit && !passes ? 1 : 0;
        sink.hits.clear();
        sequencer.triggerNote(false);
        bool kick = false;
        for (const Hit& h : sink.hits) {
            kick = kick || h.instrument == 0;
        }
        EXPECT_EQ(kick, hit && passes) << "step " << step;
        sequencer.advanceNote();
    }
    EXPECT_GT(expectedHits + filtered, 0);

    randomizer.setRandomizerMode(false, 5);
    sequencer.startNote(2);
    sink.hits.clear();
    sequencer.triggerNote(false);
    EXPECT_EQ(sink.hits.size(), 1u);
}

} // namespace
} // namespace vorpalix
