// Preset, preset set and preset bank documents and files.

#include <gtest/gtest.h>

#include "presets/PresetBank.h"
#include "presets/PresetTestSupport.h"
#include "state/StateTestSupport.h"

namespace vorpalix::test {
using namespace vorpalix::state_test;
namespace {

constexpr int kBD = 0;
constexpr int kSD = 1;
constexpr int kRD = 10;

std::string setXml(const std::string& children) {
    return "<?xml version=\"1.0\"?>\n<InstrumentPresetSet>" + children + "</InstrumentPresetSet>";
}

std::string bankXml(const std::string& attributes, const std::string& children) {
    return "<InstrumentPresetBank " + attributes + ">" + children + "</InstrumentPresetBank>";
}

class PresetFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Give every preset a recognisable name and non-default values.
        for (int i = 0; i < 11; ++i) {
            for (int s = 0; s < 32; ++s) {
                InstrumentPreset& p = bank.preset(i, s);
                p.setName("P" + std::to_string(i) + "-" + std::to_string(s));
                for (int k = 0; k < p.count(); ++k) {
                    p.setValue(k, static_cast<float>((i * 7 + s * 3 + k) % 16) / 16.0f);
                }
            }
        }
    }

    float defaultOf(int parameter) const {
        return plugin->controller().parameters().info(parameter).defaultValue;
    }

    std::string write(const std::string& name, const std::string& text) {
        const std::string path = folder.file(name);
        writeBytes(path, text);
        return path;
    }

    ScratchFolder folder;
    std::unique_ptr<DrumPlugin> plugin = makePlugin();
    PresetBank& bank = plugin->controller().presets();
};

// --- Sets -----------------------------------------------------------------------------------

TEST_F(PresetFilesTest, SetWithFortyPresetsFillsThirtyTwoSlotsAndIgnoresTheRest) {
    std::string children;
    for (int n = 0; n < 40; ++n) {
        children += presetXml("SDPreset", "S" + std::to_string(n),
                              paramXml("SD Tone", n < 32 ? "0.125" : "0.875"));
    }
    ASSERT_TRUE(bank.loadPresetSetFile(write("set.xml", setXml(children))));
    for (int s = 0; s < 32; ++s) {
        EXPECT_EQ(bank.preset(kSD, s).name(), "S" + std::to_string(s));
        EXPECT_FLOAT_EQ(bank.preset(kSD, s).value(2), 0.125f);
        // Knobs the element lacks get the table's defaults, not the slot's old values.
        EXPECT_FLOAT_EQ(bank.preset(kSD, s).value(0), defaultOf(6));
    }
    EXPECT_EQ(bank.preset(kBD, 0).name(), "P0-0") << "other instruments are untouched";
}

TEST_F(PresetFilesTest, SetWithFivePresetsResetsTheOtherSlotsValuesButKeepsTheirNames) {
    std::string children;
    for (int n = 0; n < 5; ++n) {
        children += presetXml("BDPreset", "B" + std::to_string(n), paramXml("BD Decay", "0.75"));
    }
    const float sdBefore = bank.preset(kSD, 3).value(1);
    ASSERT_TRUE(bank.loadPresetSetFile(write("set.xml", setXml(children))));
    for (int s = 0; s < 5; ++s) {
        EXPECT_EQ(bank.preset(kBD, s).name(), "B" + std::to_string(s));
        EXPECT_FLOAT_EQ(bank.preset(kBD, s).value(4), 0.75f);
    }
    for (int s = 5; s < 32; ++s) {
        EXPECT_EQ(bank.preset(kBD, s).name(), "P0-" + std::to_string(s));
        for (int k = 0; k < 6; ++k) {
            EXPECT_FLOAT_EQ(bank.preset(kBD, s).value(k), defaultOf(k)) << s << " " << k;
        }
    }
    EXPECT_FLOAT_EQ(bank.preset(kSD, 3).value(1), sdBefore);
}

TEST_F(PresetFilesTest, SetWithTwoInstrumentsFillsBothListsAndAppliesTheirSelections) {
    bank.selectPreset(kRD, 1);
    const std::string children = presetXml("BDPreset", "Kick", paramXml("BD Tune", "0.0625")) +
                                 presetXml("RDPreset", "Ride A", paramXml("RD Tune", "0.25")) +
                                 presetXml("RDPreset", "Ride B", paramXml("RD Tune", "0.375"));
    ASSERT_TRUE(bank.loadPresetSetFile(write("set.xml", setXml(children))));
    EXPECT_EQ(bank.preset(kBD, 0).name(), "Kick");
    EXPECT_EQ(bank.preset(kRD, 0).name(), "Ride A");
    EXPECT_EQ(bank.preset(kRD, 1).name(), "Ride B");
    EXPECT_FLOAT_EQ(plugin->getParameter(46), 0.375f) << "RD's selected slot 1 reached the knob";
}

TEST_F(PresetFilesTest, SavedSetHoldsTheShownInstrumentsThirtyTwoPresetsInOrder) {
    bank.setShownInstrument(kSD);
    const std::string path = folder.file("sd-set.xml");
    ASSERT_TRUE(bank.savePresetSetFile(path));
    const XmlDocument document = XmlDocument::parseFile(path);
    ASSERT_TRUE(isElement(document.root(), "InstrumentPresetSet"));
    int n = 0;
    for (const xmlNode* child : elementChildren(document.root())) {
        EXPECT_TRUE(isElement(child, "SDPreset"));
        EXPECT_EQ(attribute(child, "name"), "P1-" + std::to_string(n));
        ++n;
    }
    EXPECT_EQ(n, 32);

    // Loading it into a fresh plug-in restores names and values.
    auto other = makePlugin();
    ASSERT_TRUE(other->controller().presets().loadPresetSetFile(path));
    for (int s = 0; s < 32; ++s) {
        EXPECT_EQ(other->controller().presets().preset(kSD, s).name(), bank.preset(kSD, s).name());
        for (int k = 0; k < 6; ++k) {
            EXPECT_FLOAT_EQ(other->controller().presets().preset(kSD, s).value(k),
                            bank.preset(kSD, s).value(k));
        }
    }
}

// --- Banks ----------------------------------------------------------------------------------

TEST_F(PresetFilesTest, BankSelectionsAreClampedAndReadOnlyWhenAsked) {
    const std::string text = bankXml("BDIndex=\"40\" SDIndex=\"-3\" RDIndex=\"7\" HTIndex=\"x\"",
                                     presetXml("BDPreset", "One", paramXml("BD Level", "0.5")));
    const XmlDocument document = XmlDocument::parseMemory(text);
    bank.selectPreset(4, 9);

    ASSERT_TRUE(bank.readPresetBank(document.root(), false));
    EXPECT_EQ(bank.selection(kBD), 0);
    EXPECT_EQ(bank.selection(kRD), 0);

    ASSERT_TRUE(bank.readPresetBank(document.root(), true));
    EXPECT_EQ(bank.selection(kBD), 31);
    EXPECT_EQ(bank.selection(kSD), 0);
    EXPECT_EQ(bank.selection(kRD), 7);
    EXPECT_EQ(bank.selection(4), 9) << "an unreadable index leaves the selection";
    EXPECT_FLOAT_EQ(plugin->getParameter(45), bank.preset(kRD, 7).value(0));
}

TEST_F(PresetFilesTest, BankFileRoundTripRestoresEveryPresetWithoutSelections) {
    bank.selectPreset(kSD, 12);
    const std::string path = folder.file("bank.xml");
    ASSERT_TRUE(bank.savePresetBankFile(path));

    const XmlDocument document = XmlDocument::parseFile(path);
    ASSERT_TRUE(isElement(document.root(), "InstrumentPresetBank"));
    EXPECT_FALSE(attribute(document.root(), "SDIndex")) << "bank files carry no selections";
    int count = 0;
    for (const xmlNode* child : elementChildren(document.root())) {
        EXPECT_EQ(elementName(child), kInstrumentLayouts[count / 32].elementName);
        ++count;
    }
    EXPECT_EQ(count, 352);

    auto other = makePlugin();
    ASSERT_TRUE(other->controller().presets().loadPresetBankFile(path));
    for (int i = 0; i < 11; ++i) {
        for (int s = 0; s < 32; ++s) {
            const InstrumentPreset& a = bank.preset(i, s);
            const InstrumentPreset& b = other->controller().presets().preset(i, s);
            EXPECT_EQ(a.name(), b.name());
            for (int k = 0; k < a.count(); ++k) {
                EXPECT_FLOAT_EQ(a.value(k), b.value(k));
            }
        }
    }
    EXPECT_EQ(other->controller().presets().selection(kSD), 0);
}

TEST_F(PresetFilesTest, WrittenBankWithSelectionsNamesEverySelection) {
    bank.selectPreset(kSD, 12);
    xmlNode* element = bank.writePresetBank(true);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(attribute(element, "SDIndex"), "12");
    EXPECT_EQ(attribute(element, "BDIndex"), "0");
    EXPECT_EQ(attribute(element, "RDIndex"), "0");
    xmlFreeNode(element);
}

TEST_F(PresetFilesTest, BankKeepsTheListsOfInstrumentsItHoldsNoPresetsOf) {
    const XmlDocument document = XmlDocument::parseMemory(
        bankXml("", presetXml("BDPreset", "Only", paramXml("BD Tune", "0.5"))));
    ASSERT_TRUE(bank.readPresetBank(document.root(), false));
    EXPECT_EQ(bank.preset(kBD, 0).name(), "Only");
    EXPECT_FLOAT_EQ(bank.preset(kBD, 1).value(1), defaultOf(1));
    EXPECT_EQ(bank.preset(kSD, 0).name(), "P1-0");
    EXPECT_FLOAT_EQ(bank.preset(kSD, 0).value(2),
                    static_cast<float>((1 * 7 + 0 * 3 + 2) % 16) / 16.0f);
}

// --- Single presets -------------------------------------------------------------------------

TEST_F(PresetFilesTest, SinglePresetOfAnotherInstrumentChangesNothing) {
    bank.setShownInstrument(kBD);
    bank.selectPreset(kBD, 2);
    const float before = bank.preset(kBD, 2).value(0);
    const std::string path =
        write("sd.xml", presetXml("SDPreset", "Snare",
                                  paramXml("SD Level", "0.9") + paramXml("BD Level", "0.9")));
    EXPECT_FALSE(bank.loadPresetFile(path));
    EXPECT_EQ(bank.preset(kBD, 2).name(), "P0-2");
    EXPECT_FLOAT_EQ(bank.preset(kBD, 2).value(0), before);
}

TEST_F(PresetFilesTest, SinglePresetGoesIntoTheSelectedSlotKeepingValuesItLacks) {
    bank.setShownInstrument(kSD);
    bank.selectPreset(kSD, 6);
    const float toneBefore = bank.preset(kSD, 6).value(2);
    const std::string path =
        write("one.xml", presetXml("SDPreset", "Crack", paramXml("SD Snappy", "0.9375")));
    ASSERT_TRUE(bank.loadPresetFile(path));
    EXPECT_EQ(bank.preset(kSD, 6).name(), "Crack");
    EXPECT_FLOAT_EQ(bank.preset(kSD, 6).value(5), 0.9375f);
    EXPECT_FLOAT_EQ(bank.preset(kSD, 6).value(2), toneBefore);
    EXPECT_FLOAT_EQ(plugin->getParameter(11), 0.9375f) << "the loaded preset is applied";
}

TEST_F(PresetFilesTest, SavedSinglePresetIsTheShownInstrumentsSelectedPreset) {
    bank.setShownInstrument(kRD);
    bank.selectPreset(kRD, 30);
    const std::string path = folder.file("ride.xml");
    ASSERT_TRUE(bank.savePresetFile(path));
    const XmlDocument document = XmlDocument::parseFile(path);
    ASSERT_TRUE(isElement(document.root(), "RDPreset"));
    EXPECT_EQ(attribute(document.root(), "name"), "P10-30");

    bank.selectPreset(kRD, 0);
    ASSERT_TRUE(bank.loadPresetFile(path));
    EXPECT_EQ(bank.preset(kRD, 0).name(), "P10-30");
    for (int k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(bank.preset(kRD, 0).value(k), bank.preset(kRD, 30).value(k));
    }
}

// --- Saving ---------------------------------------------------------------------------------

TEST_F(PresetFilesTest, EmptyFileNameWritesNothing) {
    EXPECT_FALSE(bank.savePresetFile(""));
    EXPECT_FALSE(bank.savePresetSetFile(""));
    EXPECT_FALSE(bank.savePresetBankFile(""));
    EXPECT_FALSE(bank.loadPresetFile(""));
    EXPECT_TRUE(folder.entries().empty());
}

TEST_F(PresetFilesTest, FailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    const std::string path = write("bank.xml", "old content");
    // A target inside a folder that does not exist cannot be written.
    EXPECT_FALSE(bank.savePresetBankFile(folder.file("missing/bank.xml")));
    EXPECT_EQ(readBytes(path), "old content");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bank.xml"});

    ASSERT_TRUE(bank.savePresetBankFile(path));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bank.xml"});
    EXPECT_NE(readBytes(path), "old content");
}

TEST_F(PresetFilesTest, NumbersAreWrittenAndReadWithADotUnderADecimalCommaLocale) {
    bank.setShownInstrument(kBD);
    bank.selectPreset(kBD, 0);
    bank.preset(kBD, 0).setValue(1, 0.375f);
    const std::string path = folder.file("p.xml");
    {
        DecimalCommaLocale comma;
        if (!comma.active()) {
            GTEST_SKIP() << "no decimal-comma locale installed";
        }
        ASSERT_TRUE(bank.savePresetFile(path));
        EXPECT_NE(readBytes(path).find("value=\"0.375000\""), std::string::npos);
        bank.preset(kBD, 0).setValue(1, 0.0f);
        ASSERT_TRUE(bank.loadPresetFile(path));
    }
    EXPECT_FLOAT_EQ(bank.preset(kBD, 0).value(1), 0.375f);
}

// --- Malformed input ------------------------------------------------------------------------

class MalformedPresetFilesTest : public PresetFilesTest {
protected:
    // Every name and value of every preset, to compare before and after.
    std::string snapshot() const {
        std::string text;
        for (int i = 0; i < 11; ++i) {
            for (int s = 0; s < 32; ++s) {
                const InstrumentPreset& p = bank.preset(i, s);
                text += p.name() + ":";
                for (int k = 0; k < p.count(); ++k) {
                    text += formatFloat(p.value(k)) + ",";
                }
            }
        }
        for (int i = 0; i < 11; ++i) {
            text += std::to_string(bank.selection(i)) + ";";
        }
        return text;
    }

    void expectAllLoadersChangeNothing(const std::string& bytes) {
        const std::string path = write("bad.xml", bytes);
        const std::string before = snapshot();
        EXPECT_FALSE(bank.loadPresetFile(path));
        EXPECT_FALSE(bank.loadPresetSetFile(path));
        EXPECT_FALSE(bank.loadPresetBankFile(path));
        EXPECT_EQ(snapshot(), before);
    }
};

TEST_F(MalformedPresetFilesTest, TruncatedGarbageEmptyAndMissingFilesChangeNothing) {
    std::string full = setXml(presetXml("BDPreset", "Cut", paramXml("BD Tune", "0.9")));
    expectAllLoadersChangeNothing(full.substr(0, full.size() / 2));
    expectAllLoadersChangeNothing("");
    expectAllLoadersChangeNothing(std::string("\0\x01\xFF\xFE<<>>", 9));
    expectAllLoadersChangeNothing("<?xml version=\"1.0\"?>");
    const std::string before = snapshot();
    EXPECT_FALSE(bank.loadPresetBankFile(folder.file("does-not-exist.xml")));
    EXPECT_FALSE(bank.loadPresetSetFile(folder.path().string())); // a folder
    EXPECT_EQ(snapshot(), before);
}

TEST_F(MalformedPresetFilesTest, WrongRootsChangeNothing) {
    expectAllLoadersChangeNothing("<PatternBank>" +
                                  presetXml("BDPreset", "X", paramXml("BD Tune", "0.9")) +
                                  "</PatternBank>");
    expectAllLoadersChangeNothing("<instrumentpresetset/>");
    // A set document is not a bank and a bank is not a set.
    const std::string set = write("set.xml", setXml(presetXml("BDPreset", "X")));
    const std::string bankFile = write("bank.xml", bankXml("", presetXml("BDPreset", "X")));
    const std::string before = snapshot();
    EXPECT_FALSE(bank.loadPresetBankFile(set));
    EXPECT_FALSE(bank.loadPresetSetFile(bankFile));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(MalformedPresetFilesTest, WrongTypesAndOutOfRangeValuesAreClampedOrSkipped) {
    const std::string children =
        "text between presets" +
        presetXml("BDPreset", std::string(200, 'N'),
                  paramXml("BD Level", "1e30") + paramXml("BD Tune", "-inf") +
                      paramXml("BD Pitch", "0x1p-1") + paramXml("BD Attack", "  0.5junk") +
                      "<param value=\"0.9\"/>" + "<param name=\"BD Decay\">0.9</param>") +
        "<!-- comment --><Unknown/>";
    ASSERT_TRUE(bank.loadPresetSetFile(write("set.xml", setXml(children))));
    const InstrumentPreset& p = bank.preset(kBD, 0);
    EXPECT_EQ(p.name(), std::string(23, 'N'));
    EXPECT_FLOAT_EQ(p.value(0), 1.0f);
    EXPECT_FLOAT_EQ(p.value(1), 0.0f);
    EXPECT_FLOAT_EQ(p.value(2), 0.5f);
    EXPECT_FLOAT_EQ(p.value(3), 0.5f);
    EXPECT_FLOAT_EQ(p.value(4), 0.0f) << "a param without value reads 0.0";
}

TEST_F(MalformedPresetFilesTest, HugeSetReadsOnlyThirtyTwoPresetsPerInstrument) {
    std::string children;
    children.reserve(20000 * 60);
    for (int n = 0; n < 20000; ++n) {
        children += presetXml(kInstrumentLayouts[n % 11].elementName, "H" + std::to_string(n),
                              paramXml(kInstrumentLayouts[n % 11].knobNames[0], "0.25"));
    }
    ASSERT_TRUE(bank.loadPresetSetFile(write("huge.xml", setXml(children))));
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(bank.preset(i, 31).name(), "H" + std::to_string(31 * 11 + i));
    }
}

} // namespace
} // namespace vorpalix::test
