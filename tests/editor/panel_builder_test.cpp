// Building the panel from the shipped layout: every control of the creation list is made, in that
// order, bound to the parameter of its name; the overlays sit where the layout rules put them on
// the shipped background and on one as small as the browser; the tempo digits keep to digits.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "editor/BitmapDisplay.h"
#include "editor/ExMovieBitmap.h"
#include "editor/NStateButton.h"
#include "editor/PanelArt.h"
#include "editor/PanelBuilder.h"
#include "editor/PanelLayout.h"
#include "state/StateTestSupport.h"
#include "state/XmlDocument.h"
#include "toolkit/AnimKnob.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Frame.h"
#include "toolkit/TextEdit.h"
#include "toolkit/TextLabel.h"

namespace vorpalix {
namespace {

using namespace toolkit;
using state_test::childNamed;

struct NullListener : ControlListener {
    void valueChanged(Control&) override {}
};

struct ShippedPanel {
    ShippedPanel() {
        usePanelArt();
        doc = XmlDocument::parseResource("settings");
        // The parameter names straight from the document.
        for (const xmlNode* p : elementChildren(childNamed(doc.root(), "VSTParameters"))) {
            const auto name = attribute(p, "name");
            const auto index = readIntAttribute(p, "index");
            if (name && index)
                indexOf[*name] = *index;
        }
        description.parse(childNamed(doc.root(), "GUI"),
                          [this](std::string_view name) { return tagOf(std::string(name)); });
    }

    int tagOf(const std::string& name) const {
        const auto it = indexOf.find(name);
        return it == indexOf.end() ? -1 : it->second;
    }

    PanelControls build(Frame& frame) {
        PanelBuildInputs in{description, &listener,
                            [](int index) { return index == 48 ? 0.25f : 0.0f; }, 1030};
        return buildPanel(frame, in);
    }

    XmlDocument doc;
    std::map<std::string, int> indexOf;
    GuiDescription description;
    NullListener listener;
};

TEST(PanelBuilder, BuildsAllDescribedControlsInCreationOrderWithTheirTags) {
    ShippedPanel panel;
    auto background = Bitmap::load(kBitmapBackground);
    ASSERT_EQ(background->getWidth(), 999);
    ASSERT_EQ(background->getHeight(), 617);
    Frame frame(Rect::ofSize(0, 0, 999, 617), background);
    const PanelControls controls = panel.build(frame);

    const auto& names = panelCreationOrder();
    ASSERT_EQ(names.size(), 187u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 187u);
    EXPECT_EQ(controls.createdCount, 187);
    ASSERT_EQ(frame.getViewCount(), 187);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const View* view = frame.getViews()[i].get();
        const ControlDescriptor* d = panel.description.find(names[i]);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(view->getRect(),
                  (Rect{d->rect.left, d->rect.top, d->rect.right, d->rect.bottom}));
        const auto* control = dynamic_cast<const Control*>(view);
        if (control != nullptr && d->kind != ControlKind::TextLabel) {
            EXPECT_EQ(control->getTag(), panel.tagOf(names[i]));
        }
        EXPECT_EQ(controls.view(panelKeyOf(names[i], d->tag)), view);
    }
    // A few bindings known from the parameter table.
    EXPECT_EQ(controls.control(kParamBDLevel)->getTag(), 0);
    EXPECT_EQ(controls.control(kTagWriteMode)->getTag(), 110);
    EXPECT_EQ(controls.control(kTagFirstStep + 15)->getTag(), 126);
    EXPECT_EQ(controls.control(kTagFirstOutNum + 10)->getTag(), 170);
    EXPECT_EQ(controls.control(kKeyLeftScrew)->getTag(), -1);
    EXPECT_EQ(controls.control(kKeyLeftScrew)->getListener(), nullptr);
    EXPECT_EQ(controls.control(kTagWriteMode)->getListener(), &panel.listener);

    // The described classes, with their extras.
    auto* step = controls.get<CNStateButton>(kTagFirstStep);
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->getStates(), 6);
    EXPECT_TRUE(step->isRealButton());
    auto* write = controls.get<CNStateButton>(kTagWriteMode);
    ASSERT_NE(write, nullptr);
    EXPECT_EQ(write->getMode(), CNStateButton::kOnRelease);
    EXPECT_NE(controls.get<CExMovieBitmap>(kKeyFirstScaleLed + 3), nullptr);
    auto* display = controls.get<CBitmapDisplay>(kKeyPatternNameDisplay);
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->getChars(), 18);
    EXPECT_EQ(display->getGlyphHeight(), 9);
    auto* label = controls.get<TextLabel>(kKeyLearnLabel);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->getFont(), 4);
    EXPECT_TRUE(label->isTransparent());
    EXPECT_EQ(label->getFontColor(), kWhiteColor);
    EXPECT_EQ(controls.get<TextEdit>(kTagPatternName)->getText(), "Pattern Name");

    // Values: bound host parameters from the plug-in, everything else 0; the screws turned in.
    EXPECT_FLOAT_EQ(controls.control(kParamTempo)->getValue(), 0.25f);
    EXPECT_FLOAT_EQ(controls.control(kParamVolume)->getValue(), 0.0f);
    EXPECT_FLOAT_EQ(controls.control(kKeyRightScrew)->getValue(), 1.0f);

    // Tempo digits keep to 0..9 (hundreds 0..3) while dragged.
    EXPECT_FLOAT_EQ(controls.control(kTagDigit01)->getMin(), 2.0f / 11.0f);
    EXPECT_FLOAT_EQ(controls.control(kTagDigit01)->getMax(), 1.0f);
    EXPECT_FLOAT_EQ(controls.control(kTagDigit1)->getMax(), 11.0f / 13.0f);
    EXPECT_FLOAT_EQ(controls.control(kTagDigit10)->getMin(), 2.0f / 18.0f);
    EXPECT_FLOAT_EQ(controls.control(kTagDigit100)->getMax(), 0.8f);
    EXPECT_EQ(Frame::getKnobMode(), kLinearMode);
}

TEST(PanelBuilder, PlacesTheOverlaysOnTheShippedBackgroundAndOnASmallOne) {
    ShippedPanel panel;
    Frame shipped(Rect::ofSize(0, 0, 999, 617), Bitmap::load(kBitmapBackground));
    const PanelControls controls = panel.build(shipped);
    ASSERT_TRUE(controls.presetBrowser && controls.aboutBox);
    EXPECT_EQ(controls.presetBrowser->getRect(), (Rect{146, 69, 852, 300}));
    EXPECT_EQ(controls.aboutBox->getRect(), (Rect{355, 188, 644, 428}));
    EXPECT_EQ(controls.presetBrowser->getParent(), nullptr); // shown only as the modal view
    EXPECT_EQ(controls.presetBrowser->getViewCount(), 9 + 32 * 2 + 11);
    EXPECT_EQ(controls.presetSlots[31]->getRect(), (Rect{530, 190, 544, 206}));
    EXPECT_EQ(controls.presetSlots[31]->getTag(), 226);
    EXPECT_EQ(controls.presetNames[9]->getRect(), (Rect{198, 58, 348, 73}));
    EXPECT_EQ(controls.presetNames[9]->getTag(), 236);
    EXPECT_EQ(controls.instrumentTabs[10]->getRect(), (Rect{594, 211, 616, 227}));
    EXPECT_EQ(controls.instrumentTabs[10]->getTag(), 181);
    EXPECT_EQ(controls.versionLabel->getText(), "v.1.0.3");

    Frame small(Rect::ofSize(0, 0, 706, 231), Bitmap::load(kBitmapPresetBrowser));
    const PanelControls smallControls = panel.build(small);
    EXPECT_EQ(smallControls.presetBrowser->getRect(), (Rect{0, -124, 706, 107}));
    EXPECT_EQ(smallControls.aboutBox->getRect().topLeft(), (Point{208, -4}));
}

TEST(PanelBuilder, LeavesOutWhatTheDescriptionLacksAndSkipsUnknownClasses) {
    const XmlDocument doc = XmlDocument::parseMemory(
        "<GUI offsetY='68'><control name='Write Mode' class='CNStateButton' posX='262' "
        "posY='247' width='30' height='31' frames='4' resID='452' mode='onRelease'/>"
        "<control name='Play' class='CFancyButton' posX='40' posY='273' width='59' "
        "height='60'/><control name='Not Asked For' class='CKickButton' width='5' "
        "height='5'/></GUI>");
    GuiDescription description;
    description.parse(doc.root(), [](std::string_view n) { return n == "Write Mode" ? 110 : -1; });
    Frame frame(Rect::ofSize(0, 0, 999, 617), nullptr);
    NullListener listener;
    const PanelControls controls = buildPanel(frame, {description, &listener, nullptr, 1030});
    EXPECT_EQ(controls.createdCount, 1);
    EXPECT_EQ(frame.getViewCount(), 1);
    EXPECT_NE(controls.control(kTagWriteMode), nullptr);
    EXPECT_EQ(controls.control(kTagPlay), nullptr);
    EXPECT_EQ(controls.control(kTagDigit01), nullptr); // ranges skip missing digits
    EXPECT_EQ(controls.versionLabel->getText(), "v.1.0.3");
}

} // namespace
} // namespace vorpalix
