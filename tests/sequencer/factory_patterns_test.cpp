// The factory patterns in the embedded settings: 44 well-formed patterns that use what the
// format offers, stored in the form the writer produces, and loaded by a new plug-in.

#include "plugin/PluginTestSupport.h"
#include "resources/EmbeddedResources.h"
#include "sequencer/PatternBank.h"
#include "sequencer/PatternSequencer.h"
#include "state/XmlDocument.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vorpalix {
namespace {

constexpr int kFactoryPatterns = 44;

const xmlNode* embeddedPatternBank(const XmlDocument& doc) {
    const xmlNode* found = nullptr;
    for (const xmlNode* child : elementChildren(doc.root())) {
        if (isElement(child, "PatternBank")) {
            found = child;
        }
    }
    return found;
}

std::vector<const xmlNode*> patternElements(const xmlNode* bank) {
    std::vector<const xmlNode*> out;
    for (const xmlNode* child : elementChildren(bank)) {
        out.push_back(child);
    }
    return out;
}

class FactoryPatterns : public ::testing::Test {
protected:
    void SetUp() override {
        doc = XmlDocument::parseMemory(findResource("settings"));
        ASSERT_TRUE(doc);
        element = embeddedPatternBank(doc);
        ASSERT_NE(element, nullptr);
        ASSERT_EQ(readPatternBank(bank, element), kFactoryPatterns);
    }
    XmlDocument doc;
    const xmlNode* element = nullptr;
    PatternBank bank;
};

TEST_F(FactoryPatterns, HoldFortyFourPatternsAndLeaveTheRestEmpty) {
    EXPECT_EQ(patternElements(element).size(), static_cast<std::size_t>(kFactoryPatterns));
    for (int slot = kFactoryPatterns; slot < kPatternCount; ++slot) {
        EXPECT_EQ(bank[slot].name(), "No name");
        for (int row = 0; row < kPatternRows; ++row) {
            EXPECT_EQ(bank[slot].formatRow(row, false), "................");
        }
    }
}

TEST_F(FactoryPatterns, AreStoredExactlyAsTheWriterWritesThem) {
    // Any step the rules would change (a hit in both hi-hat rows, an unaccented rim shot) or a
    // row of the wrong length would show up as a difference here.
    const auto elements = patternElements(element);
    for (int slot = 0; slot < kFactoryPatterns; ++slot) {
        const xmlNode* original = elements[static_cast<std::size_t>(slot)];
        xmlNode* written = writePatternElement(bank[slot], true);
        ASSERT_NE(written, nullptr);
        for (const char* name :
             {"name", "length", "stepsPerBeat", "shuffle", "flam", "totalAccent"}) {
            EXPECT_EQ(attribute(written, name), attribute(original, name))
                << bank[slot].name() << " " << name;
        }
        auto a = patternElements(original);
        auto b = patternElements(written);
        ASSERT_EQ(a.size(), b.size()) << bank[slot].name();
        for (std::size_t r = 0; r < a.size(); ++r) {
            xmlChar* ta = xmlNodeGetContent(a[r]);
            xmlChar* tb = xmlNodeGetContent(b[r]);
            EXPECT_EQ(elementName(a[r]), elementName(b[r]));
            EXPECT_STREQ(reinterpret_cast<char*>(ta), reinterpret_cast<char*>(tb))
                << bank[slot].name() << " row " << elementName(a[r]);
            xmlFree(ta);
            xmlFree(tb);
        }
        xmlFreeNode(written);
    }
}

TEST_F(FactoryPatterns, NamesStartWithATempoAndAreUnique) {
    std::set<std::string> names;
    for (int slot = 0; slot < kFactoryPatterns; ++slot) {
        const std::string name(bank[slot].name());
        EXPECT_LE(name.size(), 18u) << name;
        EXPECT_TRUE(names.insert(name).second) << "twice: " << name;
        const auto space = name.find(' ');
        ASSERT_NE(space, std::string::npos) << name;
        const auto tempo = parseIntText(name.substr(0, space));
        ASSERT_TRUE(tempo) << name;
        EXPECT_GE(*tempo, 30) << name;
        EXPECT_LE(*tempo, 303) << name;
    }
}

TEST_F(FactoryPatterns, EverySongPartStaysInsideOneGroupOfTwelve) {
    // Neighbours with the same tempo and first word form a part (groove, variation, fill);
    // a chained range cannot cross a group, so neither may a part.
    auto partOf = [&](int slot) {
        const std::string name(bank[slot].name());
        const auto second = name.find(' ', name.find(' ') + 1);
        return name.substr(0, second);
    };
    for (int slot = 1; slot < kFactoryPatterns; ++slot) {
        if (partOf(slot) == partOf(slot - 1)) {
            EXPECT_EQ(slot / kPatternsPerGroup, (slot - 1) / kPatternsPerGroup) << partOf(slot);
        }
    }
}

TEST_F(FactoryPatterns, EveryPatternSoundsAndTheSetUsesTheWholeFormat) {
    std::set<int> timeBases;
    int shortPatterns = 0, shuffled = 0, withFlams = 0, withAccents = 0, withTotalAccent = 0;
    std::set<float> flamAmounts;
    std::set<int> instruments;
    for (int slot = 0; slot < kFactoryPatterns; ++slot) {
        const Pattern& p = bank[slot];
        int hits = 0;
        bool flams = false, accents = false, total = false;
        for (int k = 0; k < p.length(); ++k) {
            for (int row = 0; row < 11; ++row) {
                const StepFlags f = p.step(row, k);
                if (f.note || f.flam) {
                    ++hits;
                    instruments.insert(row);
                    flams = flams || f.flam;
                    accents = accents || (f.accent && row != 5 && row != 6 && row < 9);
                }
            }
            total = total || p.step(11, k).note;
        }
        EXPECT_GT(hits, 0) << p.name();
        timeBases.insert(p.stepsPerBeat());
        shortPatterns += p.length() < 16 ? 1 : 0;
        shuffled += p.shuffle() > 0.0f ? 1 : 0;
        withFlams += flams ? 1 : 0;
        withAccents += accents ? 1 : 0;
        withTotalAccent += total ? 1 : 0;
        flamAmounts.insert(p.flam());
    }
    EXPECT_EQ(timeBases, (std::set<int>{3, 4, 6, 8}));
    EXPECT_GE(shortPatterns, 4);
    EXPECT_GE(shuffled, 10);
    EXPECT_GE(withFlams, 10);
    EXPECT_GE(withAccents, 30);
    EXPECT_GE(withTotalAccent, 30);
    EXPECT_GE(flamAmounts.size(), 5u);
    EXPECT_EQ(instruments.size(), 11u); // every instrument plays somewhere
}

TEST_F(FactoryPatterns, TheFirstSongPartPlaysEveryInstrument) {
    // Groove, variation and fill of "120 Night Drive" together use all eleven instruments, so
    // that a chain of slots 0..2 shows the whole kit.
    std::set<int> used;
    for (int slot = 0; slot < 3; ++slot) {
        for (int row = 0; row < 11; ++row) {
            for (int k = 0; k < bank[slot].length(); ++k) {
                const StepFlags f = bank[slot].step(row, k);
                if (f.note || f.flam) {
                    used.insert(row);
                }
            }
        }
    }
    EXPECT_EQ(used.size(), 11u);
}

TEST(FactoryPatternsInThePlugin, ANewPlugInHoldsThemInSlotOrder) {
    test::DirectPlugin direct;
    const PatternBank& live = direct.plugin->processor().sequencer().patterns();
    EXPECT_EQ(live[0].name(), "120 Night Drive");
    EXPECT_EQ(live[43].name(), "120 Tom Cascade");
    EXPECT_EQ(live[44].name(), "No name");
    EXPECT_EQ(live[24].stepsPerBeat(), 3);
    EXPECT_EQ(live[24].length(), 12);
}

} // namespace
} // namespace vorpalix
