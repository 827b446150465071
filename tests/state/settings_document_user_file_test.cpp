// The user settings file "Vorpalix.ini.xml" beside the plug-in file, as a host sees it: a copy
// of the built plug-in in a scratch folder, loaded through the bundled host.

#include <gtest/gtest.h>

#include <filesystem>

#include "PluginHost.h"
#include "state/StateTestSupport.h"

namespace vorpalix::test {
namespace {

using state_test::ScratchFolder;
using state_test::writeBytes;

class UserSettingsFileTest : public ::testing::Test {
protected:
    // Copies the plug-in into the scratch folder, writes the user file (when given) beside it,
    // and loads the copy.
    std::unique_ptr<host::PluginHost> load(const std::string* userFile) {
        const std::string copy = folder.file("vorpalix.so");
        std::filesystem::copy_file(VORPALIX_PLUGIN_PATH, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        if (userFile != nullptr) {
            writeBytes(folder.file("Vorpalix.ini.xml"), *userFile);
        }
        auto result = host::PluginHost::load(copy);
        EXPECT_TRUE(result) << result.message;
        if (result.host) {
            result.host->start();
        }
        return std::move(result.host);
    }

    std::unique_ptr<host::PluginHost> load(const std::string& userFile) { return load(&userFile); }

    static std::string label(host::PluginHost& plugin, int pin) {
        const auto properties = plugin.outputProperties(pin);
        return properties ? std::string(properties->label) : std::string("<none>");
    }
    static bool stereo(host::PluginHost& plugin, int pin) {
        const auto properties = plugin.outputProperties(pin);
        return properties && (properties->flags & vst::kVstPinIsStereo) != 0;
    }

    // Sends a controller and returns the parameter value afterwards.
    static float afterController(host::PluginHost& plugin, int controller, int value, int index) {
        plugin.scheduleRawMidi(0, host::MidiMessage::controlChange(0, controller, value));
        plugin.processBlock(64);
        return plugin.getParameter(index);
    }

    ScratchFolder folder;
};

constexpr int kVolume = 49;
constexpr int kBDLevel = 0;

TEST_F(UserSettingsFileTest, WithoutAFileThePluginHasTwentyFourStereoPins) {
    auto plugin = load(nullptr);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->numOutputs(), 24);
    EXPECT_EQ(label(*plugin, 0), "VX Master");
    EXPECT_EQ(label(*plugin, 2), "VRPLX 1");
    EXPECT_TRUE(stereo(*plugin, 2));
}

TEST_F(UserSettingsFileTest, MasterOffAndMonoInstrumentsLeaveElevenMonoPins) {
    auto plugin = load("<VorpalixSettings><UserSettings><OutputConfig>"
                       "<MasterOutput state=\"off\" type=\"stereo\"/>"
                       "<InstrumentsOutputs type=\"mono\"/>"
                       "</OutputConfig></UserSettings></VorpalixSettings>");
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->numOutputs(), 11);
    EXPECT_EQ(label(*plugin, 0), "VRPLX 1");
    EXPECT_EQ(label(*plugin, 10), "VRPLX 11");
    EXPECT_FALSE(stereo(*plugin, 0));
    EXPECT_FALSE(plugin->outputProperties(11).has_value());
}

TEST_F(UserSettingsFileTest, MonoMasterWithStereoInstrumentsGivesTwentyThreePins) {
    auto plugin = load("<VorpalixSettings><UserSettings><OutputConfig>"
                       "<MasterOutput state=\"on\" type=\"mono\"/>"
                       "</OutputConfig></UserSettings></VorpalixSettings>");
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->numOutputs(), 23);
    EXPECT_EQ(label(*plugin, 0), "VX Master");
    EXPECT_FALSE(stereo(*plugin, 0));
    EXPECT_EQ(label(*plugin, 1), "VRPLX 1");
    EXPECT_TRUE(stereo(*plugin, 1));
}

TEST_F(UserSettingsFileTest, ControllerMapMovesVolumeAndTakesTheControllerFromBDLevel) {
    auto plugin = load("<VorpalixSettings><MidiCCMap><assign param=\"Volume\" CC=\"20\"/>"
                       "</MidiCCMap></VorpalixSettings>");
    ASSERT_TRUE(plugin);
    const float bdLevel = plugin->getParameter(kBDLevel);
    EXPECT_FLOAT_EQ(afterController(*plugin, 20, 127, kVolume), 1.0f);
    EXPECT_FLOAT_EQ(plugin->getParameter(kBDLevel), bdLevel) << "CC 20 left BD Level";
    EXPECT_FLOAT_EQ(afterController(*plugin, 7, 0, kVolume), 1.0f) << "CC 7 moves nothing now";
}

TEST_F(UserSettingsFileTest, AnotherRootGivesItsControllerMapButNotItsUserSettings) {
    auto plugin = load("<Settings><UserSettings><OutputConfig>"
                       "<MasterOutput state=\"off\"/><InstrumentsOutputs type=\"mono\"/>"
                       "</OutputConfig></UserSettings>"
                       "<MidiCCMap><assign param=\"Volume\" CC=\"20\"/></MidiCCMap></Settings>");
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->numOutputs(), 24);
    EXPECT_FLOAT_EQ(afterController(*plugin, 20, 0, kVolume), 0.0f);
}

TEST_F(UserSettingsFileTest, OnlyTheControllerMapAndUserSettingsAreTakenFromTheFile) {
    auto plugin = load("<VorpalixSettings>"
                       "<PluginState><InternalSequencer state=\"off\"/></PluginState>"
                       "<InstrumentPresetBank><BDPreset name=\"Foreign\"/></InstrumentPresetBank>"
                       "</VorpalixSettings>");
    ASSERT_TRUE(plugin);
    const std::vector<std::uint8_t> chunk = plugin->getChunk();
    const std::string text(chunk.begin(), chunk.end());
    EXPECT_NE(text.find("<InternalSequencer state=\"on\""), std::string::npos);
    EXPECT_EQ(text.find("Foreign"), std::string::npos);
}

TEST_F(UserSettingsFileTest, MalformedFilesChangeNothing) {
    const std::string valid = "<VorpalixSettings><UserSettings><OutputConfig>"
                              "<MasterOutput state=\"off\"/></OutputConfig></UserSettings>"
                              "<MidiCCMap><assign param=\"Volume\" CC=\"20\"/></MidiCCMap>"
                              "</VorpalixSettings>";
    for (const std::string& bad :
         {valid.substr(0, valid.size() - 30), std::string(), std::string("\xFF\xFE\x00<", 4),
          std::string("<VorpalixSettings><MidiCCMap><assign param=\"Volume\" CC=\"999\"/>"
                      "<assign param=\"Nothing\" CC=\"20\"/></MidiCCMap></VorpalixSettings>")}) {
        auto plugin = load(bad);
        ASSERT_TRUE(plugin);
        EXPECT_EQ(plugin->numOutputs(), 24);
        EXPECT_FLOAT_EQ(afterController(*plugin, 7, 127, kVolume), 1.0f) << "CC 7 is Volume";
    }
}

} // namespace
} // namespace vorpalix::test
