// The preset model: live selected presets, stepping, moving, renaming, and the preset element.

#include <gtest/gtest.h>

#include "presets/PresetBank.h"
#include "presets/PresetTestSupport.h"

namespace vorpalix::test {
namespace {

constexpr int kBD = 0;
constexpr int kSD = 1;
constexpr int kRD = 10;
constexpr int kBDDecay = 4;  // parameter index of "BD Decay"
constexpr int kRDDecay = 47; // parameter index of "RD Decay"

class PresetBankTest : public ::testing::Test {
protected:
    std::unique_ptr<DrumPlugin> plugin = makePlugin();
    PresetBank& bank = plugin->controller().presets();
};

TEST_F(PresetBankTest, KnobTurnGoesIntoSelectedPresetAndSurvivesReselection) {
    bank.selectPreset(kBD, 3);
    plugin->setParameter(kBDDecay, 0.8125f);
    EXPECT_FLOAT_EQ(bank.preset(kBD, 3).value(4), 0.8125f);

    bank.preset(kBD, 7).setValue(4, 0.125f);
    bank.selectPreset(kBD, 7);
    EXPECT_FLOAT_EQ(plugin->getParameter(kBDDecay), 0.125f);
    EXPECT_FLOAT_EQ(bank.preset(kBD, 3).value(4), 0.8125f) << "the other slot kept its value";

    bank.selectPreset(kBD, 3);
    EXPECT_FLOAT_EQ(plugin->getParameter(kBDDecay), 0.8125f);
}

TEST_F(PresetBankTest, KnobTurnTouchesOnlyTheOwnersSelectedPreset) {
    bank.selectPreset(kRD, 2);
    const float before = bank.preset(kRD, 0).value(2);
    plugin->setParameter(kRDDecay, 0.0625f);
    EXPECT_FLOAT_EQ(bank.preset(kRD, 2).value(2), 0.0625f);
    EXPECT_FLOAT_EQ(bank.preset(kRD, 0).value(2), before);
    // Mix and mode parameters belong to no preset.
    EXPECT_EQ(PresetBank::ownerOf(48), -1);
    EXPECT_EQ(PresetBank::ownerOf(-1), -1);
    EXPECT_EQ(PresetBank::ownerOf(29), 4);
    EXPECT_EQ(PresetBank::ownerOf(30), 5);
}

TEST_F(PresetBankTest, SelectPresetSendsEveryKnobOfTheInstrumentOnly) {
    for (int k = 0; k < 6; ++k) {
        bank.preset(kSD, 5).setValue(k, 0.1f * static_cast<float>(k + 1));
    }
    const float bdLevel = plugin->getParameter(0);
    bank.selectPreset(kSD, 5);
    EXPECT_EQ(bank.selection(kSD), 5);
    for (int k = 0; k < 6; ++k) {
        EXPECT_FLOAT_EQ(plugin->getParameter(6 + k), 0.1f * static_cast<float>(k + 1));
    }
    EXPECT_FLOAT_EQ(plugin->getParameter(0), bdLevel);
}

TEST_F(PresetBankTest, OutOfRangeSelectionsAreIgnored) {
    bank.selectPreset(kBD, 4);
    bank.selectPreset(kBD, 32);
    bank.selectPreset(kBD, -1);
    bank.selectPreset(11, 0);
    bank.selectPreset(-1, 0);
    EXPECT_EQ(bank.selection(kBD), 4);
    bank.stepPreset(11, 1);
    bank.movePreset(-1, 1);
    EXPECT_EQ(bank.selection(11), 0);
}

TEST_F(PresetBankTest, StepPresetClampsAtBothEndsAndReappliesTheSlot) {
    bank.selectPreset(kBD, 0);
    bank.stepPreset(kBD, -1);
    EXPECT_EQ(bank.selection(kBD), 0);
    bank.stepPreset(kBD, +1);
    EXPECT_EQ(bank.selection(kBD), 1);

    bank.selectPreset(kBD, 31);
    bank.preset(kBD, 31).setValue(1, 0.75f); // stored without reaching the knob
    bank.stepPreset(kBD, +1);
    EXPECT_EQ(bank.selection(kBD), 31);
    EXPECT_FLOAT_EQ(plugin->getParameter(1), 0.75f) << "stepping at the end re-applies";
}

TEST_F(PresetBankTest, MovePresetCarriesNameAndValuesOnePlace) {
    bank.preset(kSD, 4).setName("Mover");
    bank.preset(kSD, 4).setValue(5, 0.9f);
    bank.preset(kSD, 5).setName("Neighbour");
    bank.preset(kSD, 5).setValue(5, 0.2f);
    bank.selectPreset(kSD, 4);

    bank.movePreset(kSD, +1);
    EXPECT_EQ(bank.selection(kSD), 5);
    EXPECT_EQ(bank.preset(kSD, 5).name(), "Mover");
    EXPECT_FLOAT_EQ(bank.preset(kSD, 5).value(5), 0.9f);
    EXPECT_EQ(bank.preset(kSD, 4).name(), "Neighbour");
    EXPECT_FLOAT_EQ(bank.preset(kSD, 4).value(5), 0.2f);
    EXPECT_FLOAT_EQ(plugin->getParameter(11), 0.9f);

    bank.movePreset(kSD, -1);
    EXPECT_EQ(bank.selection(kSD), 4);
    EXPECT_EQ(bank.preset(kSD, 4).name(), "Mover");
}

TEST_F(PresetBankTest, MovePresetAtTheEndsDoesNothing) {
    bank.preset(kBD, 0).setName("First");
    bank.preset(kBD, 31).setName("Last");
    bank.selectPreset(kBD, 0);
    bank.movePreset(kBD, -1);
    EXPECT_EQ(bank.selection(kBD), 0);
    EXPECT_EQ(bank.preset(kBD, 0).name(), "First");
    bank.selectPreset(kBD, 31);
    bank.movePreset(kBD, +1);
    EXPECT_EQ(bank.selection(kBD), 31);
    EXPECT_EQ(bank.preset(kBD, 31).name(), "Last");
}

TEST_F(PresetBankTest, RenameActsOnTheShownInstrumentsSelectedPreset) {
    bank.setShownInstrument(kRD);
    bank.selectPreset(kRD, 9);
    bank.renamePreset("Washy Ride With A Long Tail");
    EXPECT_EQ(bank.preset(kRD, 9).name(), "Washy Ride With A Long ");
    EXPECT_EQ(bank.preset(kRD, 9).name().size(), 23u);
    bank.setShownInstrument(12); // ignored
    EXPECT_EQ(bank.shownInstrument(), kRD);
}

TEST(PresetName, IsCutToTwentyThreeBytesWithoutSplittingACharacter) {
    // 22 ASCII bytes, then a two-byte character: it would end at byte 24, so it is left out.
    EXPECT_EQ(cleanPresetName("abcdefghijklmnopqrstuv\xC3\xA9xyz"), "abcdefghijklmnopqrstuv");
    EXPECT_EQ(cleanPresetName("Caf\xC3\xA9 Kick"), "Caf\xC3\xA9 Kick");
    // Invalid UTF-8 and control characters could not be written back into XML.
    EXPECT_EQ(cleanPresetName("Bad\xFF\xC3 Byte\x01\t"), "Bad Byte");
    EXPECT_EQ(cleanPresetName(""), "");
}

// --- The preset element ---------------------------------------------------------------------

class PresetElementTest : public ::testing::Test {
protected:
    // Parses text and reads its root into preset; the result of readPresetElement.
    bool read(InstrumentPreset& preset, const std::string& text) {
        const XmlDocument document = XmlDocument::parseMemory(text);
        EXPECT_TRUE(document) << text;
        return preset.readPresetElement(document.root());
    }
};

TEST_F(PresetElementTest, ValuesAreClampedAndMissingOrUnreadableValuesReadAsZero) {
    InstrumentPreset preset(kBD);
    for (int k = 0; k < 6; ++k) {
        preset.setValue(k, 0.5f);
    }
    EXPECT_TRUE(
        read(preset, presetXml("BDPreset", "Clamp",
                               paramXml("BD Level", "1.5") + paramXml("BD Tune", "-2") +
                                   "<param name=\"BD Pitch\"/>" + paramXml("BD Attack", "abc") +
                                   paramXml("BD Decay", "nan"))));
    EXPECT_FLOAT_EQ(preset.value(0), 1.0f);
    EXPECT_FLOAT_EQ(preset.value(1), 0.0f);
    EXPECT_FLOAT_EQ(preset.value(2), 0.0f);
    EXPECT_FLOAT_EQ(preset.value(3), 0.0f);
    EXPECT_FLOAT_EQ(preset.value(4), 0.0f);
    EXPECT_FLOAT_EQ(preset.value(5), 0.5f) << "a knob without a param keeps its value";
    EXPECT_EQ(preset.name(), "Clamp");
}

TEST_F(PresetElementTest, UnknownKnobsAndOtherChildrenAreIgnored) {
    InstrumentPreset preset(kSD);
    preset.setValue(0, 0.3f);
    EXPECT_TRUE(read(preset, presetXml("SDPreset", "X",
                                       paramXml("BD Level", "0.9") + paramXml("sd level", "0.9") +
                                           "<value name=\"SD Level\" value=\"0.9\"/>" +
                                           paramXml("SD Snappy", "0.625"))));
    EXPECT_FLOAT_EQ(preset.value(0), 0.3f);
    EXPECT_FLOAT_EQ(preset.value(5), 0.625f);
}

TEST_F(PresetElementTest, ElementOfAnotherInstrumentChangesNothing) {
    InstrumentPreset preset(kBD);
    preset.setName("Keep");
    preset.setValue(0, 0.25f);
    EXPECT_FALSE(read(preset, presetXml("SDPreset", "Other", paramXml("BD Level", "0.9"))));
    EXPECT_FALSE(read(preset, presetXml("bdpreset", "Other", paramXml("BD Level", "0.9"))));
    EXPECT_FALSE(preset.readPresetElement(nullptr));
    EXPECT_EQ(preset.name(), "Keep");
    EXPECT_FLOAT_EQ(preset.value(0), 0.25f);
}

TEST_F(PresetElementTest, WithoutNameAttributeTheNameStays) {
    InstrumentPreset preset(kRD);
    preset.setName("Kept");
    EXPECT_TRUE(read(preset, "<RDPreset>" + paramXml("RD Tune", "0.5") + "</RDPreset>"));
    EXPECT_EQ(preset.name(), "Kept");
}

TEST_F(PresetElementTest, WrittenElementListsEveryKnobInOrderWithSixDecimals) {
    InstrumentPreset preset(6); // HC
    preset.setName("Clap & \"Room\"");
    preset.setValue(0, 0.25f);
    preset.setValue(1, 1.0f / 3.0f);
    preset.setValue(2, 1.0f);
    XmlDocument document = XmlDocument::create("HCPreset");
    preset.writePresetElement(document.root());

    EXPECT_EQ(attribute(document.root(), "name"), "Clap & \"Room\"");
    std::vector<std::pair<std::string, std::string>> params;
    for (const xmlNode* p : elementChildren(document.root())) {
        EXPECT_TRUE(isElement(p, "param"));
        params.emplace_back(*attribute(p, "name"), *attribute(p, "value"));
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"HC Level", "0.250000"}, {"HC Tune", "0.333333"}, {"HC Reverb", "1.000000"}};
    EXPECT_EQ(params, expected);

    InstrumentPreset back(6);
    EXPECT_TRUE(back.readPresetElement(document.root()));
    EXPECT_EQ(back.name(), preset.name());
    EXPECT_NEAR(back.value(1), 1.0 / 3.0, 1e-6);
}

TEST(PresetLayout, KnobNamesAreTheParameterTablesNames) {
    auto plugin = makePlugin();
    for (const InstrumentLayout& l : kInstrumentLayouts) {
        for (int k = 0; k < l.count; ++k) {
            EXPECT_EQ(plugin->controller().parameters().nameOfIndex(l.firstParameter + k),
                      l.knobNames[k]);
        }
        EXPECT_EQ(std::string(l.elementName), std::string(l.code) + "Preset");
        EXPECT_EQ(std::string(l.selectionName), std::string(l.code) + "Index");
    }
    EXPECT_EQ(kInstrumentLayouts[10].firstParameter + kInstrumentLayouts[10].count, 48);
}

} // namespace
} // namespace vorpalix::test
