// The renderer's --patterns option: the song starts on the chosen factory pattern.

#include <gtest/gtest.h>

#include <set>

#include "sequencer/PatternBank.h"
#include "state/XmlDocument.h"
#include "support/AudioChecks.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"
#include "support/WavData.h"

namespace vorpalix::testing {
namespace {

const std::string kRender = VORPALIX_RENDER_PATH;

// Instruments with a hit on step 0 of a factory pattern, read from the embedded document.
std::set<int> instrumentsOnFirstStep(int patternIndex) {
    const XmlDocument settings = XmlDocument::parseResource("settings");
    PatternBank bank;
    for (const xmlNode* child : elementChildren(settings.root())) {
        if (isElement(child, "PatternBank")) {
            readPatternBank(bank, child);
        }
    }
    std::set<int> instruments;
    for (int i = 0; i < 11; ++i) {
        const StepFlags s = bank[patternIndex].step(i, 0);
        if (s.note || s.flam) {
            instruments.insert(i);
        }
    }
    return instruments;
}

// Instruments whose output pair sounds within the first step (stereo outputs, master first).
std::set<int> instrumentsHeardFirst(const WavData& wav) {
    std::set<int> heard;
    for (int i = 0; i < 11; ++i) {
        const auto samples = wav.channel(2 + 2 * i);
        const std::int64_t onset = firstNonZeroSample(samples, 0, 1e-4f);
        if (onset >= 0 && onset < 2000) {
            heard.insert(i);
        }
    }
    return heard;
}

TEST(RenderPatterns, TheSongStartsOnTheFirstPatternOfTheRange) {
    for (int pattern : {0, 3, 9}) {
        TempFolder folder;
        const std::string range = std::to_string(pattern) + "-" + std::to_string(pattern + 2);
        const ProcessResult result = runProcess(
            kRender, {"--patterns", range, "--seconds", "0.2", "--all", "--quiet", "-o", "out.wav"},
            folder.path().string());
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const auto wav = readWav(folder.file("out.wav"));
        ASSERT_TRUE(wav);
        const auto expected = instrumentsOnFirstStep(pattern);
        ASSERT_FALSE(expected.empty()) << "pattern " << pattern << " starts with a rest";
        EXPECT_EQ(instrumentsHeardFirst(*wav), expected) << "pattern " << pattern;
    }
}

TEST(RenderPatterns, RangesOutsideTheBankAreRefused) {
    for (const char* bad : {"96", "0-96", "-1", "a-b", "3-", ""}) {
        TempFolder folder;
        const ProcessResult result =
            runProcess(kRender, {"--patterns", bad, "-o", "out.wav"}, folder.path().string());
        EXPECT_NE(result.exitCode, 0) << bad;
        EXPECT_EQ(lineCount(result.err), 1) << bad << ": " << result.err;
        EXPECT_TRUE(folder.entries().empty()) << bad;
    }
}

} // namespace
} // namespace vorpalix::testing
