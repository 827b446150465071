#include <gtest/gtest.h>

#include <string>

#include "PluginTestSupport.h"
#include "editor/PanelEditor.h"
#include "sequencer/PatternEditing.h"
#include "state/XmlDocument.h"

namespace vorpalix::test {
namespace {

std::string chunkOf(DrumPlugin& plugin) {
    void* data = nullptr;
    const auto size = plugin.dispatcher(vst::effGetChunk, 0, 0, &data, 0.0f);
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

void applyChunk(DrumPlugin& plugin, std::string text) {
    plugin.dispatcher(vst::effSetChunk, 0, static_cast<vst::VstIntPtr>(text.size()), text.data(),
                      0.0f);
}

TEST(PanelEditor, ExistsFromCreationAndOwnsTheEditState) {
    DirectPlugin p;
    EXPECT_EQ(p.plugin->patternEditing(), &p.plugin->editor().editing());
    // Without a window the host is not told about an editor.
    EXPECT_EQ(p.plugin->aeffect()->flags & vst::effFlagsHasEditor, 0);
}

TEST(PanelEditor, EditStateTravelsWithTheChunk) {
    DirectPlugin source;
    source.plugin->editor().editing().setWriteMode(true);
    source.plugin->editor().editing().setFlamMode(true);
    const std::string chunk = chunkOf(*source.plugin);
    EXPECT_NE(chunk.find("<WriteMode state=\"on\"/>"), std::string::npos);
    EXPECT_NE(chunk.find("<FlamMode state=\"on\"/>"), std::string::npos);

    DirectPlugin target;
    EXPECT_FALSE(target.plugin->editor().editing().state().writeMode);
    applyChunk(*target.plugin, chunk);
    EXPECT_TRUE(target.plugin->editor().editing().state().writeMode);
    EXPECT_TRUE(target.plugin->editor().editing().state().flamMode);
    EXPECT_TRUE(target.plugin->editor().takeRefreshAll());
}

TEST(PanelEditor, KeepsTheLatestPanelLayoutOfASettingsDocument) {
    DirectPlugin p;
    auto document = XmlDocument::parseMemory(std::string_view(
        "<VorpalixSettings><GUI width=\"800\"><control name=\"Tempo\"/><!-- note -->"
        "<control name=\"Volume\"/><bitmap/></GUI></VorpalixSettings>"));
    p.plugin->applySettingsDocument(document.root(), true);
    EXPECT_EQ(p.plugin->editor().controlCount(), 2);
    EXPECT_EQ(attribute(p.plugin->editor().panelDescription(), "width"), "800");

    // The copy outlives the document it came from; another element name is not a layout.
    document = XmlDocument::parseMemory(std::string_view("<X><Gui><control/></Gui></X>"));
    p.plugin->applySettingsDocument(document.root(), true);
    EXPECT_EQ(p.plugin->editor().controlCount(), 2);
}

TEST(PanelEditor, MovedHostParametersAreMarkedForTheNextIdle) {
    DirectPlugin p;
    p.plugin->editor().takeChangedParameters();
    p.plugin->setParameter(5, 0.3f);
    p.plugin->setParameter(70, 1.0f);
    p.plugin->setParameter(100, 1.0f); // a panel control: not a host parameter
    const auto marks = p.plugin->editor().takeChangedParameters();
    EXPECT_EQ(marks[0], std::uint64_t{1} << 5);
    EXPECT_EQ(marks[1], std::uint64_t{1} << (70 - 64));
    const auto none = p.plugin->editor().takeChangedParameters();
    EXPECT_EQ(none[0] | none[1], 0u);
}

TEST(PanelEditor, ALearntControllerIsShownWithItsNumber) {
    DirectPlugin p;
    EXPECT_EQ(p.plugin->editor().learnDisplayText(1), "BD Tune  - 021");
    EXPECT_EQ(p.plugin->editor().takeLearnDisplayChange(), -1);

    // Learn BD Tune on controller 7 (Volume's): the display names the new controller.
    p.plugin->setLearnMode(true);
    p.plugin->setParameterBeingLearnt(1);
    vst::VstMidiEvent cc{};
    cc.type = vst::kVstMidiType;
    cc.byteSize = sizeof cc;
    cc.midiData[0] = static_cast<char>(0xB0);
    cc.midiData[1] = 7;
    cc.midiData[2] = 64;
    vst::VstEvents list{};
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<vst::VstEvent*>(&cc);
    p.plugin->dispatcher(vst::effProcessEvents, 0, 0, &list, 0.0f);
    EXPECT_EQ(p.plugin->editor().takeLearnDisplayChange(), 1);
    EXPECT_EQ(p.plugin->editor().learnDisplayText(1), "BD Tune  - 007");
    EXPECT_EQ(p.plugin->editor().learnDisplayText(kParamVolume), "Volume   - ...");
    EXPECT_EQ(p.plugin->editor().takeLearnDisplayChange(), -1);
}

} // namespace
} // namespace vorpalix::test
