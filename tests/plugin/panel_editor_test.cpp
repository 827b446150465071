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

PanelEditor& panel(DirectPlugin& p) {
    return static_cast<PanelEditor&>(*p.plugin->editor());
}

void applyChunk(DrumPlugin& plugin, std::string text) {
    plugin.dispatcher(vst::effSetChunk, 0, static_cast<vst::VstIntPtr>(text.size()), text.data(),
                      0.0f);
}

TEST(PanelEditor, ExistsFromCreationAndItsEditStateIsSavedOnlyWithIt) {
    DirectPlugin p;
    ASSERT_NE(p.plugin->editor(), nullptr);
    // The panel has a window; a plug-in made without the panel has no editor to report.
    EXPECT_NE(p.plugin->aeffect()->flags & vst::effFlagsHasEditor, 0);
    EXPECT_NE(chunkOf(*p.plugin).find("<WriteMode"), std::string::npos);

    DirectPlugin bare(nullptr);
    EXPECT_EQ(bare.plugin->editor(), nullptr);
    const std::string chunk = chunkOf(*bare.plugin);
    EXPECT_EQ(chunk.find("<WriteMode"), std::string::npos);
    EXPECT_EQ(bare.plugin->aeffect()->flags & vst::effFlagsHasEditor, 0);
    EXPECT_NE(chunk.find("<SelectedInstrumentForPreset"), std::string::npos);
}

TEST(PanelEditor, EditStateTravelsWithTheChunk) {
    DirectPlugin source;
    panel(source).editing()->setWriteMode(true);
    panel(source).editing()->setFlamMode(true);
    const std::string chunk = chunkOf(*source.plugin);
    EXPECT_NE(chunk.find("<WriteMode state=\"on\"/>"), std::string::npos);
    EXPECT_NE(chunk.find("<FlamMode state=\"on\"/>"), std::string::npos);

    DirectPlugin target;
    EXPECT_FALSE(panel(target).editing()->state().writeMode);
    applyChunk(*target.plugin, chunk);
    EXPECT_TRUE(panel(target).editing()->state().writeMode);
    EXPECT_TRUE(panel(target).editing()->state().flamMode);
    EXPECT_TRUE(panel(target).takeRefreshAll());
}

TEST(PanelEditor, ReadsEveryPanelLayoutOfASettingsDocumentIntoItsTable) {
    DirectPlugin p;
    const std::size_t shipped = panel(p).guiDescription().size();
    EXPECT_EQ(shipped, 187u);
    auto document = XmlDocument::parseMemory(std::string_view(
        "<VorpalixSettings><GUI><control name=\"Tempo\" class=\"CKickButton\" posX=\"5\"/>"
        "<!-- note --><control name=\"Extra\" class=\"CAnimKnob\"/><bitmap/></GUI>"
        "</VorpalixSettings>"));
    p.plugin->controller().applySettingsDocument(document.root(), true);
    // A later layout adds its entries and replaces those of the same name.
    EXPECT_EQ(panel(p).guiDescription().size(), shipped + 1);
    ASSERT_NE(panel(p).guiDescription().find("Tempo"), nullptr);
    EXPECT_EQ(panel(p).guiDescription().find("Tempo")->kind, ControlKind::KickButton);
    EXPECT_EQ(panel(p).guiDescription().find("Tempo")->tag, 48);

    // Another element name is not a layout.
    document = XmlDocument::parseMemory(std::string_view("<X><Gui><control/></Gui></X>"));
    p.plugin->controller().applySettingsDocument(document.root(), true);
    EXPECT_EQ(panel(p).guiDescription().size(), shipped + 1);
}

TEST(PanelEditor, MovedHostParametersAreMarkedForTheNextIdle) {
    DirectPlugin p;
    panel(p).takeChangedParameters();
    p.plugin->setParameter(5, 0.3f);
    p.plugin->setParameter(70, 1.0f);
    p.plugin->setParameter(100, 1.0f); // a panel control: not a host parameter
    const auto marks = panel(p).takeChangedParameters();
    EXPECT_EQ(marks[0], std::uint64_t{1} << 5);
    EXPECT_EQ(marks[1], std::uint64_t{1} << (70 - 64));
    const auto none = panel(p).takeChangedParameters();
    EXPECT_EQ(none[0] | none[1], 0u);
}

TEST(PanelEditor, ALearntControllerIsShownWithItsNumber) {
    DirectPlugin p;
    EXPECT_EQ(panel(p).learnDisplayText(1), "BD Tune  - 021");
    EXPECT_EQ(panel(p).takeLearnDisplayChange(), -1);

    // Learn BD Tune on controller 7 (Volume's): the display names the new controller.
    p.plugin->controller().setLearnMode(true);
    p.plugin->controller().setParameterBeingLearnt(1);
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
    EXPECT_EQ(panel(p).takeLearnDisplayChange(), -1) << "reports arrive with the idle";
    p.plugin->dispatcher(vst::effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(panel(p).takeLearnDisplayChange(), 1);
    EXPECT_EQ(panel(p).learnDisplayText(1), "BD Tune  - 007");
    EXPECT_EQ(panel(p).learnDisplayText(kParamVolume), "Volume   - ...");
    EXPECT_EQ(panel(p).takeLearnDisplayChange(), -1);
}

} // namespace
} // namespace vorpalix::test
