// The panel's file buttons with a stand-in zenity on PATH that answers with a chosen path (or
// cancels) and records that it ran.

#include "PanelRig.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "presets/PresetBank.h"
#include "support/TempFolder.h"

namespace vorpalix::test {
namespace {

class PanelFileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        ::setenv("PATH", (folder_.path().string() + ":/usr/bin:/bin").c_str(), 1);
        answer("");
    }
    void TearDown() override { ::setenv("PATH", savedPath_.c_str(), 1); }

    // The stand-in dialog prints `path` (exit 0), or cancels (exit 1) when it is empty.
    void answer(const std::string& path) {
        const std::string script =
            "#!/bin/sh\necho ran >> '" + folder_.file("runs") + "'\n" +
            (path.empty() ? std::string("exit 1\n") : "printf '%s\\n' '" + path + "'\n");
        const std::string file = folder_.write("zenity", script);
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    }
    int runs() {
        std::ifstream in(folder_.file("runs"));
        int count = 0;
        for (std::string line; std::getline(in, line);)
            ++count;
        return count;
    }
    int xmlFiles() {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path()))
            count += entry.path().extension() == ".xml" ? 1 : 0;
        return count;
    }
    static std::string contents(const std::string& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    testing::TempFolder folder_;
    std::string savedPath_;
};

TEST_F(PanelFileCommands, SavesCompleteTheNameAndCancelWritesNothing) {
    PanelRig rig;
    rig.report(kTagIntSeqState, 1.0f);
    rig.click(kTagPatternSaveBank); // cancelled
    EXPECT_EQ(runs(), 1);
    EXPECT_EQ(xmlFiles(), 0);

    answer(folder_.file("beat"));
    rig.click(kTagPatternSaveBank);
    EXPECT_NE(contents(folder_.file("beat.xml")).find("<PatternBank"), std::string::npos);

    answer(folder_.file("KICK.XML"));
    rig.click(kTagPresetSave);
    EXPECT_NE(contents(folder_.file("KICK.XML.xml")).find("BDPreset"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder_.file("KICK.XML")));
}

TEST_F(PanelFileCommands, PatternSavesDoNothingWhileTheSequencerIsOff) {
    PanelRig rig;
    rig.report(kTagIntSeqState, 0.0f);
    answer(folder_.file("off"));
    rig.click(kTagPatternSave);
    rig.click(kTagPatternSaveBank);
    EXPECT_EQ(runs(), 0);
    EXPECT_FALSE(std::filesystem::exists(folder_.file("off.xml")));
    rig.click(kTagPresetSaveBank); // preset commands run always
    EXPECT_EQ(runs(), 1);
    EXPECT_TRUE(std::filesystem::exists(folder_.file("off.xml")));
}

TEST_F(PanelFileCommands, AFailedSaveLeavesTheOldFileAndALoadReplacesTheBank) {
    PanelRig rig;
    rig.report(kTagIntSeqState, 1.0f);
    const std::string file = folder_.write("bank.xml", "old contents");
    answer(file);
    // Files may grow to 64 bytes only: the bank cannot be written.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    rig.click(kTagPatternSaveBank);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(contents(file), "old contents");

    // A bank whose first pattern is named "Loaded" replaces the bank whole.
    rig.click(kTagPatternSaveBank);
    std::string bank = contents(file);
    const std::size_t name = bank.find("name=\"", bank.find("<Pattern "));
    ASSERT_NE(name, std::string::npos);
    bank.replace(name + 6, bank.find('"', name + 6) - (name + 6), "Loaded");
    folder_.write("bank.xml", bank);
    rig.click(kTagPatternLoadBank);
    rig.idle();
    EXPECT_EQ(rig.controller().patterns()[0].name(), "Loaded");
}

} // namespace
} // namespace vorpalix::test
