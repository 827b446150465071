// The settings document's state elements, read and written on a state model of their own,
// without a plug-in; and the embedded defaults as a plug-in applies them.

#include <gtest/gtest.h>

#include <climits>

#include "plugin/DrumPlugin.h"
#include "presets/PresetBank.h"
#include "presets/PresetTestSupport.h"
#include "sequencer/EditingTestSupport.h"
#include "sequencer/PatternEditing.h"
#include "state/ControllerMap.h"
#include "state/ParameterTable.h"
#include "state/SettingsDocument.h"
#include "state/StateModel.h"
#include "state/XmlDocument.h"

namespace vorpalix::test {
namespace {

// Every part of a state model, with the parameter values in a plain array and the table from
// the embedded settings document.
struct ModelParts : ParameterValues, PresetHost {
    ModelParts() {
        const XmlDocument settings = XmlDocument::parseResource("settings");
        for (const xmlNode* c : elementChildren(settings.root())) {
            table.loadParameterTable(c);
        }
        for (int i = 0; i < kNumInstruments; ++i) {
            slots[static_cast<std::size_t>(i)] = i;
        }
        sequencer.attributeStore = false; // as the embedded settings leave it
    }
    float value(int index) const override { return values[static_cast<std::size_t>(index)]; }
    void setValue(int index, float v) override { values[static_cast<std::size_t>(index)] = v; }
    float knobValue(int index) const override { return value(index); }
    std::uint64_t takeKnobChanges() override { return 0; }
    void setKnobValue(int index, float v) override { setValue(index, v); }
    float defaultValue(int index) const override { return table.info(index).defaultValue; }

    StateModel model(PatternEditing* editing = nullptr) {
        return StateModel{table,    *this,   sequencer,   slots,  config,
                          patterns, presets, controllers, editing};
    }

    ParameterTable table;
    std::array<float, kNumHostParameters> values{};
    SequencerSettings sequencer;
    std::array<int, kNumInstruments> slots{};
    OutputConfig config;
    PatternBank patterns;
    PresetBank presets{*this};
    ControllerMap controllers;
};

// An edit state whose playback is a real sequencer, as the editing tests use it.
struct EditingParts {
    IdleSequencerHost host;
    RecordingSink sink;
    PatternSequencer sequencer{host, sink};
    DirectEditingHost editingHost{sequencer};
    PatternEditing editing{editingHost};
};

class SettingsDocumentTest : public ::testing::Test {
protected:
    // Reads `<PluginState>children</PluginState>`; true when it read a range.
    bool readState(const std::string& children, PatternEditing* editing = nullptr) {
        const XmlDocument document =
            XmlDocument::parseMemory("<PluginState>" + children + "</PluginState>");
        EXPECT_TRUE(document);
        StateModel model = parts.model(editing);
        readPluginState(model, document.root());
        return model.rangeRead;
    }
    void readUser(const std::string& children) {
        const XmlDocument document =
            XmlDocument::parseMemory("<UserSettings>" + children + "</UserSettings>");
        ASSERT_TRUE(document);
        StateModel model = parts.model();
        readUserSettings(model, document.root());
    }
    // The written PluginState as a document.
    XmlDocument writtenState(PatternEditing* editing = nullptr) {
        XmlDocument document = XmlDocument::create("Holder");
        xmlAddChild(document.root(), writePluginState(parts.model(editing)));
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

    ModelParts parts;
    const SequencerControls& controls() const { return parts.sequencer.controls; }
};

TEST(SettingsDocumentDefaults, EmbeddedDefaultsAreInForce) {
    std::unique_ptr<DrumPlugin> plugin = makePlugin();
    const SequencerSettings& settings = plugin->controller().sequencerSettings();
    EXPECT_TRUE(settings.controls.state);
    EXPECT_EQ(settings.controls.sync, kSyncExternal);
    EXPECT_EQ(settings.controls.mode, kModeChain);
    EXPECT_FALSE(settings.attributeStore);
    EXPECT_FALSE(plugin->processor().connection().attributeStore());
    EXPECT_EQ(settings.freeModeThreshold, 100);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(plugin->controller().outputNumber(i), i);
    }
    EXPECT_EQ(plugin->controller().outputConfig().outputCount(), 24);
}

TEST_F(SettingsDocumentTest, InternalSequencerAndItsOlderSpellings) {
    readState("<InternalSequencer state=\"off\" sync=\"internal\" mode=\"free\"/>");
    EXPECT_FALSE(controls().state);
    EXPECT_EQ(controls().sync, kSyncInternal);
    EXPECT_EQ(controls().mode, kModeFree);

    readState("<InternalClock state=\"off\"/><MidiInput state=\"off\"/>");
    EXPECT_EQ(controls().sync, kSyncExternal);
    EXPECT_EQ(controls().mode, kModeChain);

    readState("<InternalClock state=\"on\"/><MidiInput state=\"on\"/>");
    EXPECT_EQ(controls().sync, kSyncInternal);
    EXPECT_EQ(controls().mode, kModeNormal);

    // Values spelt otherwise are ignored one by one.
    readState("<InternalSequencer state=\"On\" sync=\"host\" mode=\"chain\"/>"
              "<InternalClock state=\"yes\"/><PatternAttributeStore state=\"1\"/>");
    EXPECT_FALSE(controls().state);
    EXPECT_EQ(controls().sync, kSyncInternal);
    EXPECT_EQ(controls().mode, kModeChain);
    EXPECT_FALSE(parts.sequencer.attributeStore);
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
    EXPECT_TRUE(readState("<PatternRange from=\"13\" to=\"20\"/>"));
    EXPECT_EQ(parts.sequencer.rangeFrom, 13);
    EXPECT_EQ(parts.sequencer.rangeTo, 20);

    readState("<PatternRange from=\"13\" to=\"30\"/>");
    EXPECT_EQ(parts.sequencer.rangeFrom, 13);
    EXPECT_EQ(parts.sequencer.rangeTo, 13);

    EXPECT_FALSE(
        readState("<PatternRange from=\"40\" to=\"96\"/><PatternRange from=\"-1\" to=\"5\"/>"))
        << "a range with an end outside the bank is not read";
    EXPECT_EQ(parts.sequencer.rangeFrom, 13) << "out-of-range ends change nothing";

    readState("<PatternRange to=\"7\"/>"); // from defaults to 0
    EXPECT_EQ(parts.sequencer.rangeFrom, 0);
    EXPECT_EQ(parts.sequencer.rangeTo, 7);
}

TEST_F(SettingsDocumentTest, OutputsAreClampedToTheElevenSlots) {
    readState("<Outputs><OH out=\"0\"/><CR out=\"40\"/><BD out=\"5\"/>"
              "<RD out=\"-2147483648\"/><SD out=\"x\"/><XX out=\"3\"/><bd out=\"9\"/></Outputs>");
    EXPECT_EQ(parts.slots[8], 0);
    EXPECT_EQ(parts.slots[9], 10);
    EXPECT_EQ(parts.slots[0], 4);
    EXPECT_EQ(parts.slots[10], 0);
    EXPECT_EQ(parts.slots[1], 1) << "an unreadable number is skipped";

    const XmlDocument document = writtenState();
    const xmlNode* outputs = child(child(document.root(), "PluginState"), "Outputs");
    EXPECT_EQ(attribute(child(outputs, "BD"), "out"), "5");
    EXPECT_EQ(attribute(child(outputs, "CR"), "out"), "11");
}

TEST_F(SettingsDocumentTest, EditorStateGoesThroughTheEditingOperations) {
    EditingParts edit;
    PatternEditing& editing = edit.editing;
    readState("<SelectedInstrumentForPreset index=\"9\"/><SelectedInstrument index=\"11\"/>"
              "<EditedPattern index=\"42\"/><TapMode state=\"on\"/><FlamMode state=\"on\"/>"
              "<LastStepMode state=\"on\"/><AutoFollow state=\"on\"/>",
              &editing);
    EXPECT_EQ(parts.presets.shownInstrument(), 9);
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
    EXPECT_EQ(parts.presets.shownInstrument(), 9);
}

TEST_F(SettingsDocumentTest, WriteModeOnMakesTheCurrentPatternTheEditedOne) {
    EditingParts edit;
    PatternEditing& editing = edit.editing;
    readState("<EditedPattern index=\"42\"/><WriteMode state=\"on\"/>", &editing);
    EXPECT_TRUE(editing.state().writeMode);
    EXPECT_EQ(editing.state().editedPattern, edit.sequencer.currentPattern());
}

TEST_F(SettingsDocumentTest, EditorStateIsSkippedWithoutAnEditState) {
    readState("<SelectedInstrumentForPreset index=\"4\"/><WriteMode state=\"on\"/>");
    EXPECT_EQ(parts.presets.shownInstrument(), 4);
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
    EditingParts edit;
    PatternEditing& editing = edit.editing;
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

    // Read back into another edit state.
    ModelParts other;
    EditingParts otherEdit;
    PatternEditing& otherEditing = otherEdit.editing;
    StateModel otherModel = other.model(&otherEditing);
    readPluginState(otherModel, state);
    EXPECT_EQ(otherEditing.state().editedRow, 3);
    EXPECT_EQ(otherEditing.state().editedPattern, 17);
    EXPECT_TRUE(otherEditing.state().autoFollow);
}

TEST_F(SettingsDocumentTest, OtherElementsAreNotAPluginState) {
    const XmlDocument document =
        XmlDocument::parseMemory("<UserSettings><InternalSequencer state=\"off\"/></UserSettings>");
    StateModel model = parts.model();
    readPluginState(model, document.root());
    readPluginState(model, nullptr);
    EXPECT_TRUE(controls().state);
}

TEST_F(SettingsDocumentTest, FreeModeThresholdIsClampedAndUnreadableGivesTheDefault) {
    readUser("<FreeModeVelocityThreshold level=\"300\"/>");
    EXPECT_EQ(parts.sequencer.freeModeThreshold, 127);
    readUser("<FreeModeVelocityThreshold level=\"-5\"/>");
    EXPECT_EQ(parts.sequencer.freeModeThreshold, 0);
    readUser("<FreeModeVelocityThreshold level=\"64\"/>");
    EXPECT_EQ(parts.sequencer.freeModeThreshold, 64);
    readUser("<FreeModeVelocityThreshold level=\"loud\"/>");
    EXPECT_EQ(parts.sequencer.freeModeThreshold, 100);
    readUser("<FreeModeVelocityThreshold/>");
    EXPECT_EQ(parts.sequencer.freeModeThreshold, 100) << "no level attribute changes nothing";
}

TEST_F(SettingsDocumentTest, OutputConfigurationReadsEachSpellingItKnows) {
    readUser("<OutputConfig><MasterOutput state=\"off\" type=\"mono\"/>"
             "<InstrumentsOutputs type=\"mono\"/></OutputConfig>");
    EXPECT_FALSE(parts.config.masterOn);
    EXPECT_FALSE(parts.config.masterStereo);
    EXPECT_FALSE(parts.config.instrumentsStereo);
    EXPECT_EQ(parts.config.outputCount(), 11);

    readUser("<OutputConfig><MasterOutput state=\"on\" type=\"quad\"/>"
             "<InstrumentsOutputs type=\"Stereo\"/></OutputConfig>");
    EXPECT_TRUE(parts.config.masterOn);
    EXPECT_FALSE(parts.config.masterStereo) << "an unknown type is ignored";
    EXPECT_FALSE(parts.config.instrumentsStereo);
    EXPECT_EQ(parts.config.outputCount(), 12);

    readUser("<SelectedInstrumentForPreset index=\"6\"/>");
    EXPECT_EQ(parts.presets.shownInstrument(), 6);
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
