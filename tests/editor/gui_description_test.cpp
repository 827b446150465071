// The panel layout reader: placement with the layout's offsets, the classes' extras, and what it
// does with entries it cannot use.

#include "editor/GuiDescription.h"
#include "state/XmlDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace vorpalix {
namespace {

GuiDescription parse(const std::string& xml) {
    const XmlDocument doc = XmlDocument::parseMemory(xml);
    GuiDescription d;
    d.parse(doc.root(), [](std::string_view name) { return name == "Tempo" ? 48 : -1; });
    return d;
}

TEST(GuiDescription, PlacesControlsWithTheLayoutAndControlOffsets) {
    const auto d = parse("<GUI offsetY='68' offsetX='3'>"
                         "<control name='Tempo' class='CAnimKnob' posX='177' posY='270' "
                         "width='59' height='57' frames='31' resID='400'/>"
                         "<control name='Top' class='CKickButton' posX='10' posY='29' ofsY='-68' "
                         "ofsX='-3' width='26' height='27' frames='2' resID='803'/></GUI>");
    const auto* tempo = d.find("Tempo");
    ASSERT_NE(tempo, nullptr);
    EXPECT_EQ(tempo->kind, ControlKind::AnimKnob);
    EXPECT_EQ(tempo->rect.left, 180);
    EXPECT_EQ(tempo->rect.top, 338);
    EXPECT_EQ(tempo->rect.right, 239);
    EXPECT_EQ(tempo->rect.bottom, 395);
    EXPECT_EQ(tempo->tag, 48);
    EXPECT_EQ(tempo->frames, 31);
    EXPECT_EQ(tempo->bitmapId, 400);
    const auto* top = d.find("Top");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->rect.left, 10);
    EXPECT_EQ(top->rect.top, 29); // exactly where written
    EXPECT_EQ(top->tag, -1);
}

TEST(GuiDescription, MultiStateButtonsCountStatesFromFramesAndKeepWordsTheyKnow) {
    const auto d = parse("<GUI><control name='a' class='CNStateButton' frames='12'/>"
                         "<control name='b' class='CNStateButton' frames='2' realButton='false' "
                         "mode='onRelease'/>"
                         "<control name='c' class='CNStateButton' frames='5' mode='sometimes' "
                         "realButton='maybe'/>"
                         "<control name='d' class='CHorizontalSwitch' frames='3' mode='onRelease'/>"
                         "</GUI>");
    EXPECT_EQ(d.find("a")->states, 6);
    EXPECT_EQ(d.find("a")->mode, 0);
    EXPECT_EQ(d.find("b")->states, 2);
    EXPECT_EQ(d.find("b")->mode, 1);
    EXPECT_FALSE(d.find("b")->realButton);
    EXPECT_EQ(d.find("c")->states, 2); // integer division with the real-button default
    EXPECT_TRUE(d.find("c")->realButton);
    EXPECT_EQ(d.find("c")->mode, 0);
    EXPECT_EQ(d.find("d")->frames, 3);
}

TEST(GuiDescription, TextControlsReadFontColourAndText) {
    const auto d = parse("<GUI><control name='Tempo' class='CTextLabel' font='kNormalFontSmall' "
                         "fontcolor='#FF8001' text='Hi' resID='9'/>"
                         "<control name='e' class='CTextEdit' font='kNoSuchFont' "
                         "fontcolor='red'/>"
                         "<control name='f' class='CBitmapDisplay' fonts='96' chars='18'/></GUI>");
    const auto* label = d.find("Tempo");
    EXPECT_EQ(label->tag, -1); // labels are never bound
    EXPECT_EQ(label->bitmapId, 0);
    EXPECT_EQ(label->font, 4);
    EXPECT_EQ(label->text, "Hi");
    EXPECT_EQ(label->fontColour, (std::array<std::uint8_t, 4>{0xFF, 0x80, 0x01, 255}));
    EXPECT_EQ(d.find("e")->font, 3);
    EXPECT_EQ(d.find("e")->fontColour, (std::array<std::uint8_t, 4>{0, 0, 0, 255}));
    EXPECT_EQ(d.find("f")->fonts, 96);
    EXPECT_EQ(d.find("f")->chars, 18);
}

TEST(GuiDescription, DropsUnknownClassesLetsLaterEntriesWinAndCutsLongValues) {
    const std::string longText(300, 'x');
    const std::string longName = std::string(254, 'n') + "\xC3\xA9"; // the last character split
    const auto d =
        parse("<GUI><control name='a' class='CFancyKnob'/>"
              "<control name='b' class='CKickButton' posX='1'/>"
              "<control name='b' class='CKickButton' posX='2' posY='oops'/>"
              "<control class='CKickButton'/><other name='c' class='CKickButton'/>"
              "<control name='t' class='CTextEdit' text='" +
              longText + "'/><control name='" + longName + "' class='CKickButton'/></GUI>");
    EXPECT_EQ(d.find("a"), nullptr);
    EXPECT_EQ(d.find("c"), nullptr);
    EXPECT_EQ(d.find("b")->rect.left, 2);
    EXPECT_EQ(d.find("b")->rect.top, 0);
    EXPECT_NE(d.find(""), nullptr); // kept under the empty name, which nothing asks for
    EXPECT_EQ(d.find("t")->text.size(), 255u);
    EXPECT_NE(d.find(std::string(254, 'n')), nullptr);
    EXPECT_EQ(d.size(), 4u);
}

TEST(GuiDescription, IgnoresNodesThatAreNotALayoutAndHugeNumbersStayInRange) {
    EXPECT_EQ(parse("<Layout><control name='a' class='CKickButton'/></Layout>").size(), 0u);
    const auto d = parse("<GUI offsetX='2147483647'><control name='a' class='CKickButton' "
                         "posX='2147483647' width='99999999999'/></GUI>");
    EXPECT_EQ(d.find("a")->rect.left, 2147483647);
    EXPECT_EQ(d.find("a")->rect.right, 2147483647);
}

} // namespace
} // namespace vorpalix
