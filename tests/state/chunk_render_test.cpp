// vorpalix-render starting from a saved state (--state) and saving one (--save-state).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "state/StateTestSupport.h"
#include "state/XmlDocument.h"
#include "support/ProcessRunner.h"
#include "support/WavData.h"

namespace vorpalix::test {
namespace {

using state_test::readBytes;
using state_test::ScratchFolder;
using state_test::writeBytes;

testing::ProcessResult render(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--plugin", VORPALIX_PLUGIN_PATH, "-q", "--seconds", "1"};
    all.insert(all.end(), args.begin(), args.end());
    return testing::runProcess(VORPALIX_RENDER_PATH, all);
}

float peakOf(const std::string& wav) {
    const auto data = testing::readWav(wav);
    EXPECT_TRUE(data.has_value()) << wav;
    float peak = 0.0f;
    if (data) {
        for (float v : data->interleaved) {
            peak = std::max(peak, std::abs(v));
        }
    }
    return peak;
}

class ChunkRenderTest : public ::testing::Test {
protected:
    ScratchFolder folder;
};

TEST_F(ChunkRenderTest, SavedStateIsTheChunkAndRendersAgainFromIt) {
    const std::string saved = folder.file("state.xml");
    const auto first = render({"-o", folder.file("a.wav"), "--save-state", saved});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const XmlDocument document = XmlDocument::parseFile(saved);
    ASSERT_TRUE(isElement(document.root(), "VorpalixBank"));
    ASSERT_GT(peakOf(folder.file("a.wav")), 0.01f) << "the factory patterns play";

    // The same state with the master volume down renders silence.
    std::string text = readBytes(saved);
    const std::string volume = "name=\"Volume\" value=\"0.500000\"";
    const std::size_t at = text.find(volume);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, volume.size(), "name=\"Volume\" value=\"0.000000\"");
    const std::string quiet = folder.file("quiet.xml");
    writeBytes(quiet, text);
    const std::string again = folder.file("again.xml");
    const auto second =
        render({"-o", folder.file("b.wav"), "--state", quiet, "--save-state", again});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(peakOf(folder.file("b.wav")), 0.0f);
    EXPECT_NE(readBytes(again).find("name=\"Volume\" value=\"0.000000\""), std::string::npos);

    // And the original state renders what the default render gave.
    const auto third = render({"-o", folder.file("c.wav"), "--state", saved});
    ASSERT_EQ(third.exitCode, 0) << third.err;
    EXPECT_EQ(peakOf(folder.file("c.wav")), peakOf(folder.file("a.wav")));
}

TEST_F(ChunkRenderTest, UnusableStateFilesAreReportedInOneLine) {
    writeBytes(folder.file("other.xml"), "<VorpalixSettings/>");
    for (const std::string& state : {folder.file("missing.xml"), folder.file("other.xml")}) {
        const auto result = render({"-o", folder.file("x.wav"), "--state", state});
        EXPECT_NE(result.exitCode, 0);
        EXPECT_EQ(testing::lineCount(result.err), 1) << result.err;
    }
    const auto result =
        render({"-o", folder.file("y.wav"), "--save-state", folder.file("no/such/state.xml")});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(testing::lineCount(result.err), 1) << result.err;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"other.xml"})
        << "a failed render leaves no files behind";
}

} // namespace
} // namespace vorpalix::test
