// The PatternBank element: which slots a read fills, what it leaves, and writing all 96.

#include "sequencer/PatternBank.h"
#include "state/XmlDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace vorpalix {
namespace {

std::string patterns(int count, const std::string& between = "") {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "<Pattern name=\"P" + std::to_string(i) + "\" length=\"" +
                std::to_string(i % 16 + 1) + "\"><BD>O</BD></Pattern>" + between;
    }
    return text;
}

// A bank whose every slot is marked, so that untouched slots can be recognised.
void markAll(PatternBank& bank) {
    for (int i = 0; i < kPatternCount; ++i) {
        bank[i].setName("old " + std::to_string(i));
        bank[i].setStep(3, 15, 1);
    }
}

int read(PatternBank& bank, const std::string& xml) {
    const XmlDocument doc = XmlDocument::parseMemory(xml);
    return readPatternBank(bank, doc.root());
}

TEST(PatternBankElement, ThreePatternsReplaceSlotsZeroToTwoOnly) {
    PatternBank bank;
    markAll(bank);
    EXPECT_EQ(read(bank, "<PatternBank>" + patterns(3) + "</PatternBank>"), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(bank[i].name(), "P" + std::to_string(i));
        EXPECT_EQ(bank[i].length(), i + 1);
        EXPECT_EQ(bank[i].formatRow(3, false), "................"); // whole record replaced
    }
    for (int i = 3; i < kPatternCount; ++i) {
        EXPECT_EQ(bank[i].name(), "old " + std::to_string(i));
        EXPECT_TRUE(bank[i].step(3, 15).note);
    }
}

TEST(PatternBankElement, PatternsAfterThe96thAreIgnored) {
    PatternBank bank;
    EXPECT_EQ(read(bank, "<PatternBank>" + patterns(100) + "</PatternBank>"), 96);
    EXPECT_EQ(bank[95].name(), "P95");
    EXPECT_EQ(bank[0].name(), "P0");
}

TEST(PatternBankElement, TextCommentsAndOtherElementsDoNotTakeSlots) {
    PatternBank plain;
    PatternBank noisy;
    read(plain, "<PatternBank>" + patterns(5) + "</PatternBank>");
    read(noisy, "<PatternBank>\n  <!-- factory -->text" +
                    patterns(5, "\n <Other><Pattern name=\"nested\"/></Other> x ") +
                    "</PatternBank>");
    for (int i = 0; i < kPatternCount; ++i) {
        EXPECT_EQ(noisy[i].name(), plain[i].name()) << i;
        EXPECT_EQ(noisy[i].formatRow(0, false), plain[i].formatRow(0, false)) << i;
    }
}

TEST(PatternBankElement, WrongRootOrNothingChangesNothing) {
    PatternBank bank;
    markAll(bank);
    EXPECT_EQ(read(bank, "<Bank>" + patterns(3) + "</Bank>"), 0);
    EXPECT_EQ(read(bank, "<Pattern name=\"alone\"/>"), 0);
    EXPECT_EQ(read(bank, "<PatternBank><Pattern name=\"trunc"), 0); // does not parse
    EXPECT_EQ(readPatternBank(bank, nullptr), 0);
    for (int i = 0; i < kPatternCount; ++i) {
        EXPECT_EQ(bank[i].name(), "old " + std::to_string(i));
    }
}

TEST(PatternBankElement, WritesAll96InSlotOrderAndReadsBackTheSame) {
    PatternBank bank;
    for (int i = 0; i < kPatternCount; ++i) {
        bank[i].setName("Slot " + std::to_string(i));
        bank[i].setLength(i % 16 + 1);
        bank[i].setStep(i % 12, i % 16, 5);
    }
    for (bool toLength : {true, false}) {
        xmlNode* element = writePatternBank(bank, toLength);
        ASSERT_NE(element, nullptr);
        ASSERT_TRUE(isElement(element, "PatternBank"));
        int count = 0;
        for (xmlNode* child : elementChildren(element)) {
            ASSERT_TRUE(isElement(child, "Pattern"));
            EXPECT_EQ(attribute(child, "name"), "Slot " + std::to_string(count));
            const int rowLength = toLength ? count % 16 + 1 : 16;
            xmlChar* bd = xmlNodeGetContent(xmlFirstElementChild(child));
            EXPECT_EQ(std::string(reinterpret_cast<char*>(bd)).size(),
                      static_cast<std::size_t>(rowLength));
            xmlFree(bd);
            ++count;
        }
        EXPECT_EQ(count, 96);
        PatternBank copy;
        EXPECT_EQ(readPatternBank(copy, element), 96);
        for (int i = 0; i < kPatternCount; ++i) {
            EXPECT_EQ(copy[i].name(), bank[i].name());
            EXPECT_EQ(copy[i].length(), bank[i].length());
            EXPECT_EQ(copy[i].formatRow(i % 12, true), bank[i].formatRow(i % 12, true));
        }
        xmlFreeNode(element);
    }
}

TEST(PatternBankElement, ResetAllClearsEverySlot) {
    PatternBank bank;
    markAll(bank);
    bank.resetAll();
    for (int i = 0; i < kPatternCount; ++i) {
        EXPECT_EQ(bank[i].name(), "No name");
        EXPECT_FALSE(bank[i].step(3, 15).note);
    }
}

} // namespace
} // namespace vorpalix
