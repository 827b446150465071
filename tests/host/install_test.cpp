// Both programs installed into a prefix, run from there: they find the plug-in in ../lib/vst,
// or through $VST_PATH, and name every place they looked when it is nowhere.

#include "support/JackTestSupport.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"
#include "support/WavData.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace vorpalix::testing {
namespace {

namespace fs = std::filesystem;

class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix_ = new TempFolder();
        const auto result =
            runProcess(VORPALIX_CMAKE_COMMAND,
                       {"--install", VORPALIX_BUILD_DIR, "--prefix", prefix_->path().string()});
        installed_ = result.exitCode == 0;
        installLog_ = result.out + result.err;
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(installed_) << installLog_; }

    static std::string bin(const char* program) {
        return (prefix_->path() / "bin" / program).string();
    }

    static inline TempFolder* prefix_ = nullptr;
    static inline bool installed_ = false;
    static inline std::string installLog_;
};

TEST_F(Installed, RendererFindsThePluginInLibVst) {
    EXPECT_TRUE(fs::is_regular_file(prefix_->path() / "lib" / "vst" / "vorpalix.so"));
    const auto info = runProcess(bin("vorpalix-render"), {"--info"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("VRPZ"), std::string::npos);

    TempFolder out;
    const auto render = runProcess(bin("vorpalix-render"), {"--seconds", "1", "-o", "one.wav"},
                                   out.path().string());
    ASSERT_EQ(render.exitCode, 0) << render.err;
    const auto wav = readWav(out.file("one.wav"));
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->frames, 44100);
}

TEST_F(Installed, StandaloneFindsThePluginAndPlays) {
    ASSERT_TRUE(sharedJackServer().running());
    TempFolder config;
    JackProbe probe("install-probe");
    ASSERT_TRUE(probe.ok());
    BackgroundProcess vorpalix(bin("vorpalix"), {"--no-gui", "--no-connect", "--name", "Installed"},
                               {{"XDG_CONFIG_HOME", config.path().string()}, {"NSM_URL", ""}});
    EXPECT_TRUE(probe.waitForPort("Installed:VX Master L")) << vorpalix.errorOutput();
    EXPECT_EQ(vorpalix.stop(SIGTERM), 0) << vorpalix.errorOutput();
}

TEST_F(Installed, ProgramsSearchVstPathAndNameEveryPlaceLooked) {
    if (fs::exists("/usr/local/lib/vst/vorpalix.so") || fs::exists("/usr/lib/vst/vorpalix.so"))
        GTEST_SKIP() << "a system-wide plug-in would be found";
    // The renderer alone in a folder, the plug-in in a folder named by $VST_PATH.
    TempFolder alone;
    fs::create_directories(alone.path() / "bin");
    fs::create_directories(alone.path() / "plugins");
    fs::copy_file(bin("vorpalix-render"), alone.path() / "bin" / "vorpalix-render");
    const std::string program = (alone.path() / "bin" / "vorpalix-render").string();
    const std::string home = alone.file("home");

    BackgroundProcess missing(
        program, {"--info"}, {{"VST_PATH", "/nowhere/a:" + alone.file("plugins")}, {"HOME", home}});
    EXPECT_EQ(missing.wait(10000), 1);
    const std::string err = missing.errorOutput();
    EXPECT_EQ(lineCount(err), 1) << err;
    std::size_t at = 0;
    for (const std::string& place :
         {(alone.path() / "bin" / "vorpalix.so").string(),
          (alone.path() / "lib" / "vst" / "vorpalix.so").string(),
          std::string("/nowhere/a/vorpalix.so"), alone.file("plugins") + "/vorpalix.so",
          home + "/.vst/vorpalix.so", std::string("/usr/local/lib/vst/vorpalix.so"),
          std::string("/usr/lib/vst/vorpalix.so")}) {
        const std::size_t found = err.find("\"" + place + "\"", at);
        EXPECT_NE(found, std::string::npos) << place << " missing or out of order in: " << err;
        at = found == std::string::npos ? at : found;
    }

    fs::copy_file(prefix_->path() / "lib" / "vst" / "vorpalix.so",
                  alone.path() / "plugins" / "vorpalix.so");
    BackgroundProcess found(program, {"--info"},
                            {{"VST_PATH", "/nowhere/a:" + alone.file("plugins")}, {"HOME", home}});
    EXPECT_EQ(found.wait(10000), 0) << found.errorOutput();
}

} // namespace
} // namespace vorpalix::testing
