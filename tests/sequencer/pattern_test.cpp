// The pattern record: step-writing rules, row text, and the Pattern element both ways.

#include "sequencer/Pattern.h"
#include "state/XmlDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace vorpalix {
namespace {

constexpr int kBD = 0, kSD = 1, kRS = 5, kHC = 6, kCH = 7, kOH = 8, kCR = 9, kRD = 10, kTA = 11;

StepFlags flags(bool note, bool flam, bool accent) {
    return {note, flam, accent};
}

// Parses a one-element document and reads it into `p`; returns what the reader returned.
bool readFromText(Pattern& p, const std::string& xml) {
    const XmlDocument doc = XmlDocument::parseMemory(xml);
    return readPatternElement(p, doc.root());
}

std::string attributeOf(const xmlNode* node, const char* name) {
    return attribute(node, name).value_or("<absent>");
}

std::string childText(const xmlNode* node, std::string_view name) {
    for (xmlNode* child : elementChildren(node)) {
        if (isElement(child, name)) {
            xmlChar* content = xmlNodeGetContent(child);
            std::string text(reinterpret_cast<const char*>(content));
            xmlFree(content);
            return text;
        }
    }
    return "<absent>";
}

// --- Step codes and the step rules --------------------------------------------------------------

TEST(PatternSteps, CharactersMapToCodesCaseSensitively) {
    EXPECT_EQ(codeOfCharacter('o'), 1);
    EXPECT_EQ(codeOfCharacter('x'), 2);
    EXPECT_EQ(codeOfCharacter('O'), 5);
    EXPECT_EQ(codeOfCharacter('X'), 6);
    for (char c : std::string(".?- 0a1\t\xff")) {
        EXPECT_EQ(codeOfCharacter(c), 0) << "character " << static_cast<int>(c);
    }
}

TEST(PatternSteps, CodesStoreTheirFlagsAndFlamClearsNote) {
    Pattern p;
    const std::pair<int, StepFlags> cases[] = {
        {0, flags(false, false, false)}, {1, flags(true, false, false)},
        {2, flags(false, true, false)},  {3, flags(false, true, false)},
        {4, flags(false, false, true)},  {5, flags(true, false, true)},
        {6, flags(false, true, true)},   {7, flags(false, true, true)},
    };
    for (const auto& [code, expected] : cases) {
        p.setStep(kBD, 2, code);
        EXPECT_EQ(p.step(kBD, 2), expected) << "code " << code;
    }
}

TEST(PatternSteps, RimClapCrashAndRideAlwaysCarryTheAccent) {
    Pattern p;
    for (int row : {kRS, kHC, kCR, kRD}) {
        p.setStep(row, 0, 1);
        EXPECT_EQ(p.step(row, 0), flags(true, false, true)) << "row " << row;
        p.setStep(row, 1, 0);
        EXPECT_EQ(p.step(row, 1), flags(false, false, true)) << "row " << row;
        EXPECT_EQ(p.formatRow(row, false).substr(0, 2), "O.") << "row " << row;
    }
}

TEST(PatternSteps, TotalAccentRowGetsTheAccentOnlyWithAHit) {
    Pattern p;
    p.setStep(kTA, 0, 1);
    EXPECT_EQ(p.step(kTA, 0), flags(true, false, true));
    p.setStep(kTA, 1, 0);
    EXPECT_EQ(p.step(kTA, 1), flags(false, false, false));
    // An x in the TA row is a flam without note: not a totally accented step.
    p.setStep(kTA, 2, codeOfCharacter('x'));
    EXPECT_EQ(p.step(kTA, 2), flags(false, true, true));
}

TEST(PatternSteps, HiHatRowsExcludeEachOther) {
    Pattern p;
    p.setStep(kOH, 3, 1);
    p.setStep(kCH, 3, 1);
    EXPECT_EQ(p.step(kOH, 3), flags(false, false, false));
    EXPECT_EQ(p.step(kCH, 3), flags(true, false, false));
    p.setStep(kOH, 3, 6);
    EXPECT_EQ(p.step(kCH, 3), flags(false, false, false));
    EXPECT_EQ(p.step(kOH, 3), flags(false, true, true));
    // Writing an empty code leaves the other row alone.
    p.setStep(kCH, 3, 0);
    EXPECT_EQ(p.step(kOH, 3), flags(false, true, true));
    // Other steps are untouched.
    p.setStep(kCH, 4, 1);
    EXPECT_EQ(p.step(kOH, 3), flags(false, true, true));
}

TEST(PatternSteps, OutOfRangeRowsAndStepsAreIgnored) {
    Pattern p;
    const Pattern before = p;
    for (auto [row, step] : {std::pair{-1, 0}, {12, 0}, {0, -1}, {0, 16}, {1000, 1000}}) {
        p.setStep(row, step, 5);
        p.storeStep(row, step, flags(true, false, true));
        EXPECT_EQ(p.step(row, step), StepFlags{});
    }
    for (int row = 0; row < kPatternRows; ++row) {
        EXPECT_EQ(p.formatRow(row, false), before.formatRow(row, false));
    }
    EXPECT_EQ(p.formatRow(12, false), "");
    EXPECT_EQ(p.formatRow(-1, true), "");
}

TEST(PatternSteps, StoreStepBypassesTheRowRulesButNeverStoresNoteWithFlam) {
    Pattern p;
    p.storeStep(kRS, 0, flags(true, false, false));
    EXPECT_EQ(p.step(kRS, 0), flags(true, false, false));
    p.storeStep(kBD, 0, flags(true, true, true));
    EXPECT_EQ(p.step(kBD, 0), flags(false, true, true));
    p.storeStep(kCH, 1, flags(true, false, false));
    p.storeStep(kOH, 1, flags(true, false, false));
    EXPECT_TRUE(p.step(kCH, 1).note); // no hi-hat exclusion for raw copies
}

// --- Record defaults, setters and copies ---------------------------------------------------------

TEST(PatternRecord, ResetGivesTheDefaults) {
    Pattern p;
    p.setStep(kBD, 0, 5);
    p.setLength(3);
    p.setStepsPerBeat(6);
    p.setShuffle(0.7f);
    p.setFlam(0.1f);
    p.setTotalAccent(0.9f);
    p.setName("Something");
    p.resetPattern();
    EXPECT_EQ(p.length(), 16);
    EXPECT_EQ(p.stepsPerBeat(), 4);
    EXPECT_EQ(p.shuffle(), 0.0f);
    EXPECT_EQ(p.flam(), 0.5f);
    EXPECT_EQ(p.totalAccent(), 0.5f);
    EXPECT_EQ(p.name(), "No name");
    for (int row = 0; row < kPatternRows; ++row) {
        EXPECT_EQ(p.formatRow(row, false), "................");
        for (int k = 0; k < 16; ++k) {
            EXPECT_EQ(p.step(row, k), StepFlags{});
        }
    }
}

TEST(PatternRecord, StepLengthFollowsTheTimeBase) {
    Pattern p;
    const std::pair<int, double> cases[] = {{3, 1.0 / 3.0}, {4, 0.25}, {6, 1.0 / 6.0}, {8, 0.125}};
    for (auto [spb, beats] : cases) {
        p.setStepsPerBeat(spb);
        EXPECT_NEAR(p.stepLength(), beats, 1e-15) << spb;
    }
}

TEST(PatternRecord, CopiesAreWholeIndependentValues) {
    Pattern a;
    a.setStep(kSD, 9, 5);
    a.setLength(12);
    a.setStepsPerBeat(3);
    a.setShuffle(0.25f);
    a.setName("Copy me");
    Pattern b = a;
    a.setStep(kSD, 9, 0);
    a.setName("Changed");
    EXPECT_EQ(b.step(kSD, 9), flags(true, false, true));
    EXPECT_EQ(b.length(), 12);
    EXPECT_EQ(b.stepsPerBeat(), 3);
    EXPECT_EQ(b.shuffle(), 0.25f);
    EXPECT_EQ(b.name(), "Copy me");
    Pattern c;
    c = b;
    EXPECT_EQ(c.formatRow(kSD, false), b.formatRow(kSD, false));
}

TEST(PatternRecord, NamesAreCutTo18BytesWithoutSplittingACharacter) {
    Pattern p;
    p.setName("123456789012345678901234");
    EXPECT_EQ(p.name(), "123456789012345678");
    // "é" is two bytes; the 18-byte cut would fall inside the last one.
    p.setName("12345678901234567\xC3\xA9xyz");
    EXPECT_EQ(p.name(), "12345678901234567");
    p.setName("");
    EXPECT_EQ(p.name(), "");
}

// --- Reading and writing the Pattern element ----------------------------------------------------

TEST(PatternElement, ReadsTheRowExampleAndWritesItBackToLength) {
    Pattern p;
    ASSERT_TRUE(readFromText(p, R"(<Pattern length="6"><BD>OoXx.?</BD></Pattern>)"));
    EXPECT_EQ(p.step(kBD, 0), flags(true, false, true));
    EXPECT_EQ(p.step(kBD, 1), flags(true, false, false));
    EXPECT_EQ(p.step(kBD, 2), flags(false, true, true));
    EXPECT_EQ(p.step(kBD, 3), flags(false, true, false));
    EXPECT_EQ(p.step(kBD, 4), StepFlags{});
    EXPECT_EQ(p.step(kBD, 5), StepFlags{});
    EXPECT_EQ(p.formatRow(kBD, true), "OoXx..");
}

TEST(PatternElement, RimShotNoteIsWrittenBackAccented) {
    Pattern p;
    ASSERT_TRUE(readFromText(p, R"(<Pattern><RS>o</RS></Pattern>)"));
    EXPECT_EQ(p.step(kRS, 0), flags(true, false, true));
    EXPECT_EQ(p.formatRow(kRS, false), "O...............");
}

TEST(PatternElement, ReadsTheDocumentedExample) {
    Pattern p;
    ASSERT_TRUE(readFromText(p, R"(<Pattern name="110 Down Town" length="16" stepsPerBeat="4"
        shuffle="0.000000" flam="1.000000" totalAccent="0.500000"><SD>.......xO.......</SD>
        </Pattern>)"));
    EXPECT_EQ(p.name(), "110 Down Town");
    EXPECT_EQ(p.flam(), 1.0f);
    EXPECT_EQ(p.step(1, 7), flags(false, true, false));
    EXPECT_EQ(p.step(1, 8), flags(true, false, true));
    EXPECT_EQ(p.formatRow(1, true), ".......xO.......");
}

TEST(PatternElement, WritesAttributesInOrderAndTwelveRows) {
    Pattern p;
    p.setName("120 Night Drive");
    p.setLength(12);
    p.setStepsPerBeat(3);
    p.setShuffle(0.25f);
    p.setFlam(0.75f);
    p.setTotalAccent(1.0f);
    p.setStep(kBD, 0, 5);
    p.setStep(kBD, 13, 1); // beyond the length: kept, written only in 16-step rows
    xmlNode* element = writePatternElement(p, true);
    ASSERT_NE(element, nullptr);
    std::string order;
    for (xmlAttr* a = element->properties; a != nullptr; a = a->next) {
        order += reinterpret_cast<const char*>(a->name);
        order += ' ';
    }
    EXPECT_EQ(order, "name length stepsPerBeat shuffle flam totalAccent ");
    EXPECT_EQ(attributeOf(element, "name"), "120 Night Drive");
    EXPECT_EQ(attributeOf(element, "length"), "12");
    EXPECT_EQ(attributeOf(element, "stepsPerBeat"), "3");
    EXPECT_EQ(attributeOf(element, "shuffle"), "0.250000");
    EXPECT_EQ(attributeOf(element, "flam"), "0.750000");
    EXPECT_EQ(attributeOf(element, "totalAccent"), "1.000000");
    std::string rows;
    for (xmlNode* child : elementChildren(element)) {
        rows += std::string(elementName(child)) + ' ';
    }
    EXPECT_EQ(rows, "BD SD LT MT HT RS HC CH OH CR RD TA ");
    EXPECT_EQ(childText(element, "BD"), "O...........");
    EXPECT_EQ(childText(element, "RD"), "............");
    xmlFreeNode(element);

    element = writePatternElement(p, false);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(childText(element, "BD"), "O............o..");
    xmlFreeNode(element);
}

TEST(PatternElement, RoundTripKeepsEveryField) {
    Pattern p;
    p.setName("Tom & <Jerry> \"fx\"");
    p.setLength(7);
    p.setStepsPerBeat(8);
    p.setShuffle(0.125f);
    p.setFlam(0.0f);
    p.setTotalAccent(0.3f);
    const char* rows[] = {"O.o.X.x", "xO.....", "......o", ".......", "o......", "O..O...",
                          ".O.....", "o.o....", ".o.o...", "X......", "..O....", "O...O.."};
    for (int row = 0; row < kPatternRows; ++row) {
        for (int k = 0; k < 7; ++k) {
            p.setStep(row, k, codeOfCharacter(rows[row][k]));
        }
    }
    XmlDocument doc = XmlDocument::create("Holder");
    ASSERT_TRUE(doc);
    xmlAddChild(doc.root(), writePatternElement(p, true));
    const XmlDocument reparsed = XmlDocument::parseMemory(doc.dump());
    Pattern q;
    ASSERT_TRUE(readPatternElement(q, xmlFirstElementChild(reparsed.root())));
    EXPECT_EQ(q.name(), p.name());
    EXPECT_EQ(q.length(), 7);
    EXPECT_EQ(q.stepsPerBeat(), 8);
    EXPECT_EQ(q.shuffle(), 0.125f);
    EXPECT_EQ(q.flam(), 0.0f);
    EXPECT_FLOAT_EQ(q.totalAccent(), 0.3f);
    for (int row = 0; row < kPatternRows; ++row) {
        EXPECT_EQ(q.formatRow(row, false), p.formatRow(row, false)) << "row " << row;
    }
}

TEST(PatternElement, LengthTwelveWritesTwelveOr16Characters) {
    Pattern p;
    p.setLength(12);
    for (int k = 0; k < 16; ++k) {
        p.setStep(2, k, 1);
    }
    EXPECT_EQ(p.formatRow(2, true), "oooooooooooo");
    EXPECT_EQ(p.formatRow(2, false), "oooooooooooooooo");
}

// --- Malformed and out-of-range input ------------------------------------------------------------

class PatternElementMalformed : public ::testing::Test {
protected:
    // A pattern with every field away from its default, to see what a read replaces.
    void SetUp() override {
        p.setName("Before");
        p.setLength(5);
        p.setStepsPerBeat(8);
        p.setShuffle(0.9f);
        p.setFlam(0.1f);
        p.setTotalAccent(0.2f);
        p.setStep(kBD, 15, 5);
    }
    Pattern p;
};

TEST_F(PatternElementMalformed, AnotherNodeChangesNothing) {
    EXPECT_FALSE(readFromText(p, R"(<Patterns length="3"><BD>o</BD></Patterns>)"));
    EXPECT_FALSE(readPatternElement(p, nullptr));
    const XmlDocument doc = XmlDocument::parseMemory(std::string("<Pattern>text</Pattern>"));
    EXPECT_FALSE(readPatternElement(p, doc.root()->children)); // a text node
    EXPECT_EQ(p.name(), "Before");
    EXPECT_EQ(p.length(), 5);
    EXPECT_EQ(p.step(kBD, 15), flags(true, false, true));
}

TEST_F(PatternElementMalformed, EmptyElementResetsEverything) {
    ASSERT_TRUE(readFromText(p, "<Pattern/>"));
    EXPECT_EQ(p.name(), "No name");
    EXPECT_EQ(p.length(), 16);
    EXPECT_EQ(p.stepsPerBeat(), 4);
    EXPECT_EQ(p.shuffle(), 0.0f);
    EXPECT_EQ(p.flam(), 0.5f);
    EXPECT_EQ(p.totalAccent(), 0.5f);
    EXPECT_EQ(p.step(kBD, 15), StepFlags{});
}

TEST_F(PatternElementMalformed, OutOfRangeAttributesFallBackOrClamp) {
    const std::pair<std::string, int> lengths[] = {
        {"0", 16},           {"17", 16},  {"-3", 16},  {"abc", 16}, {"", 16},
        {"99999999999", 16}, {" 12", 12}, {"7xyz", 7}, {"1", 1},    {"16", 16}};
    for (const auto& [text, expected] : lengths) {
        ASSERT_TRUE(readFromText(p, "<Pattern length=\"" + text + "\"/>"));
        EXPECT_EQ(p.length(), expected) << "length \"" << text << "\"";
    }
    for (const auto& [text, expected] : {std::pair<std::string, int>{"5", 4},
                                         {"3", 3},
                                         {"6", 6},
                                         {"8", 8},
                                         {"0", 4},
                                         {"x", 4},
                                         {"16", 4}}) {
        ASSERT_TRUE(readFromText(p, "<Pattern stepsPerBeat=\"" + text + "\"/>"));
        EXPECT_EQ(p.stepsPerBeat(), expected) << "stepsPerBeat \"" << text << "\"";
    }
    ASSERT_TRUE(
        readFromText(p, R"(<Pattern shuffle="-0.5" flam="2" totalAccent="1e30" name=""/>)"));
    EXPECT_EQ(p.shuffle(), 0.0f);
    EXPECT_EQ(p.flam(), 1.0f);
    EXPECT_EQ(p.totalAccent(), 1.0f);
    EXPECT_EQ(p.name(), "No name");
    ASSERT_TRUE(readFromText(p, R"(<Pattern shuffle="nan" flam="junk" totalAccent="-inf"/>)"));
    EXPECT_EQ(p.shuffle(), 0.0f);
    EXPECT_EQ(p.flam(), 0.5f);
    EXPECT_EQ(p.totalAccent(), 0.0f);
}

TEST_F(PatternElementMalformed, RowsAreCutTo16AndUnknownChildrenIgnored) {
    ASSERT_TRUE(readFromText(p, R"(<Pattern length="4">
        <BD>oooooooooooooooooooooooooooooooooooooooooo</BD>
        <bd>OOOO</bd><XX>OOOO</XX><Row name="SD">OOOO</Row>
        <SD>o</SD><SD>.O</SD>
        <CH>o<!-- comment -->o</CH>
        <TA></TA>
        </Pattern>)"));
    EXPECT_EQ(p.formatRow(kBD, false), "oooooooooooooooo");
    // The second SD row is applied over the first, step by step: its "." clears step 0.
    EXPECT_EQ(p.formatRow(1, false), ".O..............");
    EXPECT_EQ(p.formatRow(kCH, false), "oo..............");
    EXPECT_EQ(p.formatRow(kTA, false), "................");
    for (int row = 2; row < 7; ++row) {
        EXPECT_EQ(p.formatRow(row, false), "................") << row;
    }
}

TEST_F(PatternElementMalformed, HugeNamesAndRowsAreCut) {
    const std::string longName(100000, 'n');
    const std::string longRow(100000, 'O');
    ASSERT_TRUE(
        readFromText(p, "<Pattern name=\"" + longName + "\"><HT>" + longRow + "</HT></Pattern>"));
    EXPECT_EQ(p.name(), std::string(18, 'n'));
    EXPECT_EQ(p.formatRow(4, false), std::string(16, 'O'));
}

} // namespace
} // namespace vorpalix
