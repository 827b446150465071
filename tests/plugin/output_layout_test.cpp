#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "PluginHost.h"
#include "plugin/OutputRouting.h"
#include "support/TempFolder.h"

namespace vorpalix::test {
namespace {

using vorpalix::testing::TempFolder;

// A copy of the built plug-in in a folder of its own, with a user settings file beside it.
struct PluginCopy {
    explicit PluginCopy(const std::string& settings) {
        std::filesystem::copy_file(VORPALIX_PLUGIN_PATH, folder.file("vorpalix.so"));
        if (!settings.empty()) {
            folder.write("Vorpalix.ini.xml", settings);
        }
        auto loaded = host::PluginHost::load(folder.file("vorpalix.so"));
        EXPECT_TRUE(loaded) << loaded.message;
        plugin = std::move(loaded.host);
    }

    struct Pin {
        std::string label;
        int flags;
    };
    std::vector<Pin> pins() {
        std::vector<Pin> result;
        for (int n = 0; n < plugin->numOutputs() + 1; ++n) {
            if (auto p = plugin->outputProperties(n)) {
                result.push_back({p->label, p->flags});
            } else {
                break;
            }
        }
        return result;
    }

    TempFolder folder;
    std::unique_ptr<host::PluginHost> plugin;
};

std::string userSettings(const std::string& master, const std::string& instruments) {
    return "<?xml version=\"1.0\"?>\n<VorpalixSettings><UserSettings><OutputConfig>" + master +
           "<InstrumentsOutputs type=\"" + instruments +
           "\"/></OutputConfig></UserSettings></VorpalixSettings>\n";
}

TEST(OutputLayout, DefaultsGiveAStereoMasterAndElevenStereoPairs) {
    PluginCopy copy("");
    ASSERT_EQ(copy.plugin->numOutputs(), 24);
    const auto pins = copy.pins();
    ASSERT_EQ(pins.size(), 24u);
    const int stereoActive = vst::kVstPinIsActive | vst::kVstPinIsStereo;
    EXPECT_EQ(pins[0].label, "VX Master");
    EXPECT_EQ(pins[1].label, "VX Master");
    EXPECT_EQ(pins[2].label, "VRPLX 1");
    EXPECT_EQ(pins[3].label, "VRPLX 1");
    EXPECT_EQ(pins[4].label, "VRPLX 2");
    EXPECT_EQ(pins[23].label, "VRPLX 11");
    for (const auto& pin : pins) {
        EXPECT_EQ(pin.flags, stereoActive) << pin.label;
    }
}

TEST(OutputLayout, MasterOffWithMonoInstrumentsGivesElevenMonoPins) {
    PluginCopy copy(userSettings("<MasterOutput state=\"off\"/>", "mono"));
    ASSERT_EQ(copy.plugin->numOutputs(), 11);
    const auto pins = copy.pins();
    ASSERT_EQ(pins.size(), 11u);
    for (int n = 0; n < 11; ++n) {
        EXPECT_EQ(pins[n].label, "VRPLX " + std::to_string(n + 1));
        EXPECT_EQ(pins[n].flags, vst::kVstPinIsActive);
    }
    EXPECT_FALSE(copy.plugin->outputProperties(11));
    EXPECT_FALSE(copy.plugin->outputProperties(-1));
}

TEST(OutputLayout, MasterOffWithStereoInstrumentsGivesTwentyTwoPins) {
    PluginCopy copy(userSettings("<MasterOutput state=\"off\" type=\"stereo\"/>", "stereo"));
    ASSERT_EQ(copy.plugin->numOutputs(), 22);
    const auto pins = copy.pins();
    EXPECT_EQ(pins.front().label, "VRPLX 1");
    EXPECT_EQ(pins.back().label, "VRPLX 11");
}

TEST(OutputLayout, MonoMasterComesFirstAsOnePin) {
    PluginCopy copy(userSettings("<MasterOutput state=\"on\" type=\"mono\"/>", "mono"));
    ASSERT_EQ(copy.plugin->numOutputs(), 12);
    const auto pins = copy.pins();
    EXPECT_EQ(pins[0].label, "VX Master");
    EXPECT_EQ(pins[0].flags, vst::kVstPinIsActive);
    EXPECT_EQ(pins[1].label, "VRPLX 1");
}

TEST(OutputLayout, UnknownValuesAndOtherRootsLeaveTheDefaults) {
    PluginCopy misspelt(userSettings("<MasterOutput state=\"maybe\" type=\"quad\"/>", "surround"));
    EXPECT_EQ(misspelt.plugin->numOutputs(), 24);
    PluginCopy otherRoot("<Settings><UserSettings><OutputConfig><MasterOutput state=\"off\"/>"
                         "</OutputConfig></UserSettings></Settings>");
    EXPECT_EQ(otherRoot.plugin->numOutputs(), 24);
    PluginCopy broken("<VorpalixSettings><UserSettings><OutputConfig><MasterOut");
    EXPECT_EQ(broken.plugin->numOutputs(), 24);
}

// Routing of one frame whose instrument i carries the value 2^i, so every sum is unambiguous.
struct RoutedFrame {
    OutputFrame frame{};
    std::array<int, 11> slots{};
    std::vector<float> channels;

    RoutedFrame(const OutputConfig& config) : channels(config.outputCount(), 0.0f) {
        frame.values[0] = 4096.0f;
        for (int i = 0; i < 11; ++i) {
            frame.values[i + 1] = static_cast<float>(1 << i);
            slots[i] = i;
        }
    }
    void route(const OutputConfig& config) {
        std::vector<float*> pointers;
        for (auto& c : channels) {
            pointers.push_back(&c);
        }
        routeFrame(frame, config, slots, pointers.data());
    }
};

TEST(OutputLayout, RoutingPlacesEachInstrumentOnItsSlotInEveryLayout) {
    OutputConfig stereo;
    RoutedFrame a(stereo);
    a.slots[1] = 0; // SD shares BD's pair
    a.route(stereo);
    EXPECT_EQ(a.channels[0], 4096.0f);
    EXPECT_EQ(a.channels[1], 4096.0f);
    EXPECT_EQ(a.channels[2], 1.0f + 2.0f);
    EXPECT_EQ(a.channels[3], 1.0f + 2.0f);
    EXPECT_EQ(a.channels[4], 0.0f); // SD's own pair is empty
    EXPECT_EQ(a.channels[23], 1024.0f);

    OutputConfig monoNoMaster{false, true, false};
    RoutedFrame b(monoNoMaster);
    b.slots[10] = 3;
    b.route(monoNoMaster);
    ASSERT_EQ(b.channels.size(), 11u);
    EXPECT_EQ(b.channels[0], 1.0f);
    EXPECT_EQ(b.channels[3], 8.0f + 1024.0f);
    EXPECT_EQ(b.channels[10], 0.0f);

    OutputConfig noMasterStereo{false, true, true};
    RoutedFrame c(noMasterStereo);
    c.route(noMasterStereo);
    ASSERT_EQ(c.channels.size(), 22u);
    EXPECT_EQ(c.channels[0], 1.0f);
    EXPECT_EQ(c.channels[21], 1024.0f);

    OutputConfig monoMaster{true, false, false};
    RoutedFrame d(monoMaster);
    d.route(monoMaster);
    ASSERT_EQ(d.channels.size(), 12u);
    EXPECT_EQ(d.channels[0], 4096.0f);
    EXPECT_EQ(d.channels[1], 1.0f);
    EXPECT_EQ(d.channels[11], 1024.0f);
}

} // namespace
} // namespace vorpalix::test
