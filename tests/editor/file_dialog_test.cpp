// The file dialogs: which dialog runs, what it is asked, and how the chosen path is completed.
// Stand-in zenity and kdialog scripts on PATH record their arguments and answer with a path.

#include "editor/FileDialog.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vorpalix {
namespace {

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        ::setenv("PATH", folder_.path().c_str(), 1);
    }
    void TearDown() override { ::setenv("PATH", savedPath_.c_str(), 1); }

    // A stand-in dialog program that writes its arguments to <name>.args, prints `answer` and
    // exits with `status`.
    void standIn(const std::string& name, const std::string& answer, int status = 0) {
        const std::string script = "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" +
                                   folder_.file(name + ".args") + "'\nprintf '%s\\n' '" + answer +
                                   "'\nexit " + std::to_string(status) + "\n";
        const std::string file = folder_.write(name, script);
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    }
    std::string arguments(const std::string& name) {
        std::ifstream in(folder_.file(name + ".args"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    testing::TempFolder folder_;
    std::string savedPath_;
};

TEST(FileDialogCompletion, AppendsTheSuffixUnlessThePathEndsInItExactly) {
    EXPECT_EQ(completeExtension("beat", "xml"), "beat.xml");
    EXPECT_EQ(completeExtension("beat.xml", "xml"), "beat.xml");
    EXPECT_EQ(completeExtension("BEAT.XML", "xml"), "BEAT.XML.xml");
    EXPECT_EQ(completeExtension("", "xml"), "");
    EXPECT_EQ(completeExtension("ml", "xml"), "ml");
    EXPECT_EQ(completeExtension("a.xm", "xml"), "a.xm.xml");
}

TEST(FileDialogCommands, CarryTheirTitlesAndFileTypes) {
    const auto save = fileDialogRequest(FileCommand::SavePreset);
    EXPECT_EQ(save.command, FileDialogCommand::Save);
    EXPECT_EQ(save.title, "Save Instrument Preset");
    EXPECT_EQ(save.description, "Vorpalix Instrument Preset");
    const auto load = fileDialogRequest(FileCommand::LoadPatternBank);
    EXPECT_EQ(load.command, FileDialogCommand::Load);
    EXPECT_EQ(load.description, "Vorpalix Bank of Patterns File");
}

TEST_F(FileDialogTest, ZenityIsAskedWithTitleFilterAndSaveModeAndItsPathCompleted) {
    standIn("zenity", "/music/BEAT.XML");
    standIn("kdialog", "/never");
    FileDialogHelper dialogs;
    EXPECT_EQ(dialogs.run(fileDialogRequest(FileCommand::SavePatternBank)), "/music/BEAT.XML.xml");
    const std::string args = arguments("zenity");
    EXPECT_NE(args.find("--title=Save Pattern Bank\n"), std::string::npos);
    EXPECT_NE(args.find("--file-filter=Vorpalix Bank of Patterns File | *.xml\n"),
              std::string::npos);
    EXPECT_NE(args.find("--save\n"), std::string::npos);
    EXPECT_EQ(arguments("kdialog"), "");
}

TEST_F(FileDialogTest, CancelGivesAnEmptyPath) {
    standIn("zenity", "", 1);
    EXPECT_EQ(FileDialogHelper().run(fileDialogRequest(FileCommand::LoadPattern)), "");
}

TEST_F(FileDialogTest, KdialogServesWhenZenityIsMissingAndNeitherMeansCancel) {
    EXPECT_EQ(FileDialogHelper().run(fileDialogRequest(FileCommand::LoadPreset)), "");
    standIn("kdialog", "/presets/kick");
    EXPECT_EQ(FileDialogHelper().run(fileDialogRequest(FileCommand::LoadPreset)),
              "/presets/kick.xml");
    const std::string args = arguments("kdialog");
    EXPECT_NE(args.find("--getopenfilename\n"), std::string::npos);
    EXPECT_NE(args.find("*.xml|Vorpalix Instrument Preset\n"), std::string::npos);
}

TEST_F(FileDialogTest, TheHostsSelectorWinsAndItsCancelIsFinal) {
    standIn("zenity", "/desktop/choice");
    FileDialogHelper host([](const FileDialogRequest&) { return std::optional<std::string>(""); });
    EXPECT_EQ(host.run(fileDialogRequest(FileCommand::LoadPattern)), "");
    EXPECT_EQ(arguments("zenity"), "");
    FileDialogHelper none([](const FileDialogRequest&) { return std::optional<std::string>(); });
    EXPECT_EQ(none.run(fileDialogRequest(FileCommand::LoadPattern)), "/desktop/choice.xml");
}

} // namespace
} // namespace vorpalix
