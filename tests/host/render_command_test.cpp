// The built vorpalix-render program, run as a user would run it.

#include "PluginHost.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"
#include "support/WavData.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <regex>

namespace vorpalix::testing {
namespace {

const std::string kRender = VORPALIX_RENDER_PATH;
const std::string kPlugin = VORPALIX_PLUGIN_PATH;

std::string libraryWithoutEntryPoint() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&sf_version_string), &info) == 0 || !info.dli_fname)
        return {};
    return info.dli_fname;
}

// Expects the failure form: non-zero exit, exactly one line on stderr with the program prefix.
void expectOneLineFailure(const ProcessResult& result) {
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(result.signal, 0) << "the program crashed";
    EXPECT_EQ(lineCount(result.err), 1) << result.err;
    EXPECT_EQ(result.err.rfind("vorpalix-render: ", 0), 0u) << result.err;
}

// Every case runs in an empty folder with "-o out.wav" (or the given output) and must leave the
// folder exactly as it found it.
struct FailingRun {
    const char* name;
    std::vector<std::string> args;
};

class RenderCommandFails : public ::testing::TestWithParam<FailingRun> {};

TEST_P(RenderCommandFails, WithOneLineAndNoFileLeft) {
    TempFolder folder;
    folder.write("notalib.so", "plain text, not a shared object\n");
    folder.write("bad-events.txt", "0s:note-on:36:100\n2s:note-on:999:1\n");
    std::vector<std::string> args;
    for (const auto& arg : GetParam().args) {
        if (arg == "@NOENTRY")
            args.push_back(libraryWithoutEntryPoint());
        else
            args.push_back(arg);
    }
    const auto before = folder.entries();
    const ProcessResult result = runProcess(kRender, args, folder.path().string());
    expectOneLineFailure(result);
    EXPECT_EQ(folder.entries(), before) << "something was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    MalformedInput, RenderCommandFails,
    ::testing::Values(
        FailingRun{"UnknownOption", {"--frobnicate", "-o", "out.wav"}},
        FailingRun{"RateZero", {"--rate", "0", "-o", "out.wav"}},
        FailingRun{"RateNegative", {"--rate", "-48000", "-o", "out.wav"}},
        FailingRun{"BlockZero", {"--block", "0", "-o", "out.wav"}},
        FailingRun{"BlockNegative", {"--block", "-1", "-o", "out.wav"}},
        FailingRun{"NegativeSeconds", {"--seconds", "-2", "-o", "out.wav"}},
        FailingRun{"NegativeBars", {"--bars", "-1", "-o", "out.wav"}},
        FailingRun{"UnparsableSeconds", {"--seconds", "two", "-o", "out.wav"}},
        FailingRun{"UnparsableTempo", {"--tempo", "120bpm", "-o", "out.wav"}},
        FailingRun{"MissingValue", {"-o", "out.wav", "--rate"}},
        FailingRun{"StrayArgument", {"out.wav"}}, FailingRun{"NoOutput", {"--seconds", "1"}},
        FailingRun{"MissingPlugin", {"--plugin", "/nonexistent/vorpalix.so", "-o", "out.wav"}},
        FailingRun{"UnloadablePlugin", {"--plugin", "notalib.so", "-o", "out.wav"}},
        FailingRun{"LibraryWithoutEntryPoint", {"--plugin", "@NOENTRY", "-o", "out.wav"}},
        FailingRun{"InfoOnMissingPlugin", {"--info", "/nonexistent/vorpalix.so"}},
        FailingRun{"InfoOnLibraryWithoutEntryPoint", {"--info", "@NOENTRY"}},
        FailingRun{"BadEvent", {"--event", "1s:note-on:60", "-o", "out.wav"}},
        FailingRun{"BadEventFile", {"--events", "bad-events.txt", "-o", "out.wav"}},
        FailingRun{"MissingEventFile", {"--events", "none.txt", "-o", "out.wav"}},
        FailingRun{"TooLongForAWavFile", {"--seconds", "40000", "-o", "out.wav"}},
        FailingRun{"OutputInMissingFolder", {"--seconds", "0.1", "-o", "nowhere/out.wav"}},
        FailingRun{"StemsIntoAFile", {"--seconds", "0.1", "--stems", "bad-events.txt"}},
        FailingRun{"AllWithoutOutputFile", {"--all", "--stems", "stems"}},
        FailingRun{"ClickWithoutScreenshot", {"--click", "10,10", "-o", "out.wav"}},
        FailingRun{"ClickWithoutY", {"--click", "10", "--screenshot", "p.png"}},
        FailingRun{"ClickOffThePanel", {"--click", "-1,5", "--screenshot", "p.png"}},
        FailingRun{"ScreenshotWithAudio", {"--screenshot", "p.png", "-o", "out.wav"}},
        FailingRun{"ScreenshotInMissingFolder", {"--screenshot", "nowhere/p.png"}},
        FailingRun{"ScreenshotOfBadState", {"--state", "bad-events.txt", "--screenshot", "p.png"}}),
    [](const ::testing::TestParamInfo<FailingRun>& info) { return info.param.name; });

TEST(RenderCommand, FailedFinalRenameLeavesNoTemporaryBehind) {
    // The target name is taken by a folder, so only the last step can fail.
    TempFolder folder;
    std::filesystem::create_directory(folder.path() / "out.wav");
    const ProcessResult result =
        runProcess(kRender, {"--seconds", "0.2", "-o", "out.wav"}, folder.path().string());
    expectOneLineFailure(result);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "out.wav"));
}

TEST(RenderCommand, FailedRenderKeepsAnEarlierFileUntouched) {
    TempFolder folder;
    const std::string old = folder.write("out.wav", "previous content");
    const ProcessResult result =
        runProcess(kRender, {"--plugin", "/nonexistent.so", "-o", old}, folder.path().string());
    expectOneLineFailure(result);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
    EXPECT_EQ(std::filesystem::file_size(old), std::string("previous content").size());
}

TEST(RenderCommand, HelpDocumentsEveryOption) {
    const ProcessResult result = runProcess(kRender, {"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.err.empty());
    for (const char* option :
         {"--info", "-o", "--seconds", "--bars", "--rate", "--block", "--tempo", "--accumulate",
          "--all", "--stems", "--export-midi", "--plugin", "--quiet", "--help", "--event",
          "--events", "--screenshot", "--click"})
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
}

TEST(RenderCommand, MasterPairIsWrittenAsTwoChannelFloatWav) {
    TempFolder folder;
    const ProcessResult result = runProcess(
        kRender, {"--seconds", "0.5", "--rate", "48000", "--block", "100", "-o", "out.wav"},
        folder.path().string());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.err.empty()) << "no progress bar when stderr is no terminal";
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
    const auto wav = readWav(folder.file("out.wav"));
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->channels, 2);
    EXPECT_EQ(wav->sampleRate, 48000);
    EXPECT_EQ(wav->frames, 24000);
    EXPECT_EQ(wav->format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

TEST(RenderCommand, BarsFollowTheTempo) {
    TempFolder folder;
    const ProcessResult result =
        runProcess(kRender, {"--bars", "1", "--tempo", "150", "--quiet", "-o", "out.wav"},
                   folder.path().string());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto wav = readWav(folder.file("out.wav"));
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->frames, 70560); // 4 beats of 0.4 s at 44100 Hz
}

TEST(RenderCommand, AllOutputsGoIntoOneFileAndStemsIntoOneFilePerPair) {
    TempFolder folder;
    const ProcessResult result =
        runProcess(kRender,
                   {"--seconds", "0.1", "--all", "-o", "all.wav", "--stems", "stems",
                    "--accumulate", "--plugin", kPlugin},
                   folder.path().string());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto all = readWav(folder.file("all.wav"));
    ASSERT_TRUE(all);
    EXPECT_EQ(all->channels, 24);
    EXPECT_EQ(all->frames, 4410);

    std::vector<std::string> stems;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path() / "stems"))
        stems.push_back(entry.path().filename().string());
    std::sort(stems.begin(), stems.end());
    EXPECT_EQ(stems, (std::vector<std::string>{"bass-drum.wav", "closed-hat.wav", "crash.wav",
                                               "hand-clap.wav", "high-tom.wav", "low-tom.wav",
                                               "master.wav", "mid-tom.wav", "open-hat.wav",
                                               "ride.wav", "rim-shot.wav", "snare-drum.wav"}));
    const auto stem = readWav((folder.path() / "stems" / "low-tom.wav").string());
    ASSERT_TRUE(stem);
    EXPECT_EQ(stem->channels, 2);
    EXPECT_EQ(stem->frames, 4410);
}

TEST(RenderCommand, FilesHoldExactlyWhatTheHostRendersInProcess) {
    // The same render twice: through the program's files and through the host library directly.
    // Any mix-up of channels, frames or sample format in the file path shows as a difference.
    constexpr int kFrames = 22050;
    host::LoadResult loaded = host::PluginHost::load(kPlugin);
    ASSERT_TRUE(loaded) << loaded.message;
    loaded.host->start();
    loaded.host->transport().setTempo(120.0);
    loaded.host->transport().setPlaying(true);
    const host::ChannelBuffers expected = loaded.host->render(kFrames, 256);
    loaded.host.reset();
    bool anySound = false;
    for (const auto& ch : expected)
        for (const float s : ch)
            anySound = anySound || s != 0.0f;

    TempFolder folder;
    const ProcessResult result =
        runProcess(kRender, {"--seconds", "0.5", "--all", "-o", "all.wav", "--stems", "stems"},
                   folder.path().string());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto all = readWav(folder.file("all.wav"));
    ASSERT_TRUE(all);
    ASSERT_EQ(all->frames, kFrames);
    ASSERT_EQ(all->channels, static_cast<int>(expected.size()));
    for (int ch = 0; ch < all->channels; ++ch) {
        EXPECT_EQ(all->channel(ch), expected[static_cast<std::size_t>(ch)]) << "channel " << ch;
        // Stems are pairs: the master, then the instruments in order.
        static const char* kStems[] = {"master",     "bass-drum", "snare-drum", "low-tom",
                                       "mid-tom",    "high-tom",  "rim-shot",   "hand-clap",
                                       "closed-hat", "open-hat",  "crash",      "ride"};
        const auto stem =
            readWav((folder.path() / "stems" / (std::string(kStems[ch / 2]) + ".wav")).string());
        ASSERT_TRUE(stem) << "stem of channel " << ch;
        EXPECT_EQ(stem->channel(ch % 2), expected[static_cast<std::size_t>(ch)]) << "stem " << ch;
    }
    if (!anySound)
        GTEST_SKIP() << "the render was silent, so only silence was compared";
}

TEST(RenderCommand, InfoDescribesTheInstrument) {
    const ProcessResult result = runProcess(kRender, {"--info", kPlugin});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string& out = result.out;
    EXPECT_TRUE(std::regex_search(out, std::regex("Unique ID: +VRPZ\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("Effect name: +Vorpalix\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("Vendor: +Quillmoor Audio Software\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("Vendor version: +1030\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("VST version: +2400\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("Category: +synth")));
    EXPECT_TRUE(std::regex_search(out, std::regex("Outputs: +24\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +0 +\"VX Master\" +active stereo\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +23 +\"VRPLX 11\" +active stereo\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("Parameters: +86\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +3 +\"BD Attck\"")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +85 +\"")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +receiveVstTimeInfo +1\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +sendVstEvents +-1\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +bypass +-1\n")));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n +offline +0\n")));
}

TEST(RenderCommand, InfoWithoutPathUsesThePluginBesideTheProgram) {
    const std::filesystem::path beside =
        std::filesystem::path(kRender).parent_path() / "vorpalix.so";
    ASSERT_TRUE(std::filesystem::exists(beside));
    TempFolder elsewhere; // the working folder holds no plug-in
    const ProcessResult result = runProcess(kRender, {"--info"}, elsewhere.path().string());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("VRPZ"), std::string::npos);
}

} // namespace
} // namespace vorpalix::testing
