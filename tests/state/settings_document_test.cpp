// The settings document's state elements, read and written on a plug-in object in-process.

#include <gtest/gtest.h>

#include <climits>

#include "plugin/DrumPlugin.h"
#include "plugin/OutputConfig.h"
#include "presets/PresetBank.h"
#include "presets/PresetTestSupport.h"
#include "sequencer/PatternEditing.h"
#include "sequencer/PatternSequencer.h"
#include "state/SettingsDocument.h"
#include "state/XmlDocument.h"

namespace vorpalix::test {
namespace {

class SettingsDocumentTest : public ::testing::Test {
protected:
    // Reads `<PluginState>children</PluginState>`.
    void readState(const std::string& children, PatternEditing* editing = nullptr) {
        const XmlDocument document =
            XmlDocument::parseMemory("<PluginState>" + children + "</PluginState>");
        ASSERT_TRUE(document);
        readPluginState(*plugin, document.root(), editing);
    }
    void readUser(const std::string& children) {
        const XmlDocument document =
            XmlDocument::parseMemory("<UserSettings>" + children + "</UserSettings>");
        ASSERT_TRUE(document);
        readUserSettings(*plugin, config, document.root());
    }
    // The written PluginState as a document.
    XmlDocument writtenState(const PatternEditing* editing = nullptr) {
        XmlDocument document = XmlDocument::create("Holder");
        xmlAddChild(document.root(), writePluginState(*plugin, editing));
        return document;
    }
    static const xmlNode* child(const xmlNode* parent, std::string_view name) {
        for (const xmlNode* c : elementChildren(parent)) {
            if (isElement(c, name)) {
                return c;
            }
        }
        return nullptr;
    }

    std::unique_ptr<DrumPlugin> plugin = makePlugin();
    OutputConfig config;
};

TEST_F(SettingsDocumentTest, EmbeddedDefaultsAreInForce) {
    EXPECT_TRUE(plugin->sequencerState());
    EXPECT_EQ(plugin->sequencerSync(), kSyncExternal);
    EXPECT_EQ(plugin->sequencerMode(), kModeChain);
    EXPECT_TRUE(plugin->sequencer().chainFlag());
    EXPECT_FALSE(plugin->patternAttributeStore());
    EXPECT_EQ(plugin->freeModeThreshold(), 100);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(plugin->outputNumber(i), i);
    }
    EXPECT_EQ(plugin->outputConfig().outputCount(), 24);
}

TEST_F(SettingsDocumentTest, InternalSequencerAndItsOlderSpellings) {
    readState("<InternalSequencer state=\"off\" sync=\"internal\" mode=\"free\"/>");
    EXPECT_FALSE(plugin->sequencerState());
    EXPECT_EQ(plugin->sequencerSync(), kSyncInternal);
    EXPECT_EQ(plugin->sequencerMode(), kModeFree);
    EXPECT_FALSE(plugin->sequencer().chainFlag());

    readState("<InternalClock state=\"off\"/><MidiInput state=\"off\"/>");
    EXPECT_EQ(plugin->sequencerSync(), kSyncExternal);
    EXPECT_EQ(plugin->sequencerMode(), kModeChain);
    EXPECT_TRUE(plugin->sequencer().chainFlag());

    readState("<InternalClock state=\"on\"/><MidiInput state=\"on\"/>");
    EXPECT_EQ(plugin->sequencerSync(), kSyncInternal);
    EXPECT_EQ(plugin->sequencerMode(), kModeNormal);

    // Values spelt otherwise are ignored one by one.
    readState("<InternalSequencer state=\"On\" sync=\"host\" mode=\"chain\"/>"
              "<InternalClock state=\"yes\"/><PatternAttributeStore state=\"1\"/>");
    EXPECT_FALSE(plugin->sequencerState());
    EXPECT_EQ(plugin->sequencerSync(), kSyncInternal);
    EXPECT_EQ(plugin->sequencerMode(), kModeChain);
    EXPECT_FALSE(plugin->patternAttributeStore());
}

TEST_F(SettingsDocumentTest, SequencerSwitchedOffIsWrittenBackOff) {
    readState("<InternalSequencer state=\"off\" sync=\"internal\" mode=\"normal\"/>"
              "<PatternAttributeStore state=\"on\"/>");
    const XmlDocument document = writtenState();
    const xmlNode* state = child(document.root(), "PluginState");
    const xmlNode* sequencer = child(state, "InternalSequencer");
    EXPECT_EQ(attribute(sequencer, "state"), "off");
    EXPECT_EQ(attribute(sequencer, "sync"), "internal");
    EXPECT_EQ(attribute(sequencer, "mode"), "normal");
    EXPECT_EQ(attribute(child(state, "PatternAttributeStore"), "state"), "on");
}

TEST_F(SettingsDocumentTest, PatternRangeStaysWithinOneGroup) {
    readState("<PatternRange from=\"13\" to=\"20\"/>");
    EXPECT_EQ(plugin->sequencer().rangeFrom(), 13);
    EXPECT_EQ(plugin->sequencer().rangeTo(), 20);
    EXPECT_EQ(plugin->sequencer().nextPattern(), 13);

    readState("<PatternRange from=\"13\" to=\"30\"/>");
    EXPECT_EQ(plugin->sequencer().rangeFrom(), 13);
    EXPECT_EQ(plugin->sequencer().rangeTo(), 13);

    readState("<PatternRange from=\"40\" to=\"96\"/><PatternRange from=\"-1\" to=\"5\"/>");
    EXPECT_EQ(plugin->sequencer().rangeFrom(), 13) << "out-of-range ends change nothing";

    readState("<PatternRange to=\"7\"/>"); // from defaults to 0
    EXPECT_EQ(plugin->sequencer().rangeFrom(), 0);
    EXPECT_EQ(plugin->sequencer().rangeTo(), 7);
}

TEST_F(SettingsDocumentTest, OutputsAreClampedToTheElevenSlots) {
    readState("<Outputs><OH out=\"0\"/><CR out=\"40\"/><BD out=\"5\"/>"
              "<RD out=\"-2147483648\"/><SD out=\"x\"/><XX out=\"3\"/><bd out=\"9\"/></Outputs>");
    EXPECT_EQ(plugin->outputNumber(8), 0);
    EXPECT_EQ(plugin->outputNumber(9), 10);
    EXPECT_EQ(plugin->outputNumber(0), 4);
    EXPECT_EQ(plugin->outputNumber(10), 0);
    EXPECT_EQ(plugin->outputNumber(1), 1) << "an unreadable number is skipped";

    const XmlDocument document = writtenState();
    const xmlNode* outputs = child(child(document.root(), "PluginState"), "Outputs");
    EXPECT_EQ(attribute(child(outputs, "BD"), "out"), "5");
    EXPECT_EQ(attribute(child(outputs, "CR"), "out"), "11");
}

TEST_F(SettingsDocumentTest, EditorStateGoesThroughTheEditingOperations) {
    PatternEditing editing(*plugin);
    readState("<SelectedInstrumentForPreset index=\"9\"/><SelectedInstrument index=\"11\"/>"
              "<EditedPattern index=\"42\"/><TapMode state=\"on\"/><FlamMode state=\"on\"/>"
              "<LastStepMode state=\"on\"/><AutoFollow state=\"on\"/>",
              &editing);
    EXPECT_EQ(plugin->presets().shownInstrument(), 9);
    EXPECT_EQ(editing.state().editedRow, 11);
    EXPECT_EQ(editing.state().editedPattern, 42);
    EXPECT_TRUE(editing.state().tapMode);
    EXPECT_TRUE(editing.state().flamMode);
    EXPECT_TRUE(editing.state().lastStepMode);
    EXPECT_TRUE(editing.state().autoFollow);

    // Write mode off ends the other modes; out-of-range indices are ignored.
    readState("<WriteMode state=\"off\"/><SelectedInstrument index=\"12\"/>"
              "<EditedPattern index=\"96\"/><SelectedInstrumentForPreset index=\"11\"/>",
              &editing);
    EXPECT_FALSE(editing.state().tapMode);
    EXPECT_FALSE(editing.state().flamMode);
    EXPECT_FALSE(editing.state().lastStepMode);
    EXPECT_EQ(editing.state().editedRow, 11);
    EXPECT_EQ(editing.state().editedPattern, 42);
    EXPECT_EQ(plugin->presets().shownInstrument(), 9);
}

TEST_F(SettingsDocumentTest, WriteModeOnMakesTheCurrentPatternTheEditedOne) {
    PatternEditing editing(*plugin);
    readState("<EditedPattern index=\"42\"/><WriteMode state=\"on\"/>", &editing);
    EXPECT_TRUE(editing.state().writeMode);
    EXPECT_EQ(editing.state().editedPattern, plugin->sequencer().currentPattern());
}

TEST_F(SettingsDocumentTest, EditorStateIsSkippedWithoutAnEditState) {
    readState("<SelectedInstrumentForPreset index=\"4\"/><WriteMode state=\"on\"/>");
    EXPECT_EQ(plugin->presets().shownInstrument(), 4);
    const XmlDocument document = writtenState();
    std::vector<std::string> names;
    for (const xmlNode* c : elementChildren(child(document.root(), "PluginState"))) {
        names.emplace_back(elementName(c));
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"InternalSequencer", "PatternAttributeStore",
                                        "PatternRange", "Outputs", "SelectedInstrumentForPreset"}));
}

TEST_F(SettingsDocumentTest, WrittenEditorStateListsWriteModeAfterTheEditedPattern) {
    PatternEditing editing(*plugin);
    editing.setEditedRow(3);
    editing.setEditedPattern(17);
    editing.setAutoFollow(true);
    const XmlDocument document = writtenState(&editing);
    std::vector<std::string> names;
    const xmlNode* state = child(document.root(), "PluginState");
    for (const xmlNode* c : elementChildren(state)) {
        names.emplace_back(elementName(c));
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "InternalSequencer", "PatternAttributeStore", "PatternRange", "Outputs",
                         "SelectedInstrumentForPreset", "SelectedInstrument", "EditedPattern",
                         "WriteMode", "TapMode", "FlamMode", "LastStepMode", "AutoFollow"}));
    EXPECT_EQ(attribute(child(state, "SelectedInstrument"), "index"), "3");
    EXPECT_EQ(attribute(child(state, "EditedPattern"), "index"), "17");
    EXPECT_EQ(attribute(child(state, "AutoFollow"), "state"), "on");
    EXPECT_EQ(attribute(child(state, "WriteMode"), "state"), "off");

    // Read back into another plug-in's edit state.
    auto other = makePlugin();
    PatternEditing otherEditing(*other);
    readPluginState(*other, state, &otherEditing);
    EXPECT_EQ(otherEditing.state().editedRow, 3);
    EXPECT_EQ(otherEditing.state().editedPattern, 17);
    EXPECT_TRUE(otherEditing.state().autoFollow);
}

TEST_F(SettingsDocumentTest, OtherElementsAreNotAPluginState) {
    const XmlDocument document =
        XmlDocument::parseMemory("<UserSettings><InternalSequencer state=\"off\"/></UserSettings>");
    readPluginState(*plugin, document.root(), nullptr);
    readPluginState(*plugin, nullptr, nullptr);
    EXPECT_TRUE(plugin->sequencerState());
}

TEST_F(SettingsDocumentTest, FreeModeThresholdIsClampedAndUnreadableGivesTheDefault) {
    readUser("<FreeModeVelocityThreshold level=\"300\"/>");
    EXPECT_EQ(plugin->freeModeThreshold(), 127);
    readUser("<FreeModeVelocityThreshold level=\"-5\"/>");
    EXPECT_EQ(plugin->freeModeThreshold(), 0);
    readUser("<FreeModeVelocityThreshold level=\"64\"/>");
    EXPECT_EQ(plugin->freeModeThreshold(), 64);
    readUser("<FreeModeVelocityThreshold level=\"loud\"/>");
    EXPECT_EQ(plugin->freeModeThreshold(), 100);
    readUser("<FreeModeVelocityThreshold/>");
    EXPECT_EQ(plugin->freeModeThreshold(), 100) << "no level attribute changes nothing";
}

TEST_F(SettingsDocumentTest, OutputConfigurationReadsEachSpellingItKnows) {
    readUser("<OutputConfig><MasterOutput state=\"off\" type=\"mono\"/>"
             "<InstrumentsOutputs type=\"mono\"/></OutputConfig>");
    EXPECT_FALSE(config.masterOn);
    EXPECT_FALSE(config.masterStereo);
    EXPECT_FALSE(config.instrumentsStereo);
    EXPECT_EQ(config.outputCount(), 11);

    readUser("<OutputConfig><MasterOutput state=\"on\" type=\"quad\"/>"
             "<InstrumentsOutputs type=\"Stereo\"/></OutputConfig>");
    EXPECT_TRUE(config.masterOn);
    EXPECT_FALSE(config.masterStereo) << "an unknown type is ignored";
    EXPECT_FALSE(config.instrumentsStereo);
    EXPECT_EQ(config.outputCount(), 12);

    readUser("<SelectedInstrumentForPreset index=\"6\"/>");
    EXPECT_EQ(plugin->presets().shownInstrument(), 6);
}

TEST(UserSettingsPath, JoinsOnceAndRefusesLongPaths) {
    EXPECT_EQ(userSettingsPath("/opt/vst/"), "/opt/vst/Vorpalix.ini.xml");
    EXPECT_EQ(userSettingsPath("/opt/vst"), "/opt/vst/Vorpalix.ini.xml");
    EXPECT_EQ(userSettingsPath(""), "");
    const std::string folder = "/" + std::string(255 - 16 - 2, 'f') + "/";
    EXPECT_EQ(userSettingsPath(folder).size(), 255u);
    EXPECT_EQ(userSettingsPath(folder + "g"), "");
}

} // namespace
} // namespace vorpalix::test
