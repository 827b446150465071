#include "state/ParameterTable.h"

#include "StateTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <string>

namespace vorpalix {
namespace {

using state_test::childNamed;
using state_test::DecimalCommaLocale;
using state_test::parseEmbeddedSettings;

// The host names (with their trailing blanks) and defaults of the 86 host parameters, typed in
// from the parameter table of the instrument's documentation.
const std::array<const char*, kNumHostParameters> kHostNames = {
    "BD Level", "BD Tune ", "BD Pitch", "BD Attck", "BD Decay", "BD TuneD", "SD Level", "SD Tune ",
    "SD Tone ", "SD TuneD", "SD Decay", "SD Snapp", "LT Level", "LT Tune ", "LT Tone ", "LT TuneD",
    "LT Decay", "LT TnDec", "MT Level", "MT Tune ", "MT Tone ", "MT TuneD", "MT Decay", "MT TnDec",
    "HT Level", "HT Tune ", "HT Tone ", "HT TuneD", "HT Decay", "HT TnDec", "RS Level", "RS Tune ",
    "RS Decay", "HC Level", "HC Tune ", "HC Revrb", "CH Level", "CH Tune ", "CH Decay", "OH Level",
    "OH Tune ", "OH Decay", "CR Level", "CR Tune ", "CR Decay", "RD Level", "RD Tune ", "RD Decay",
    "Tempo   ", "Volume  ", "Flam    ", "Shuffle ", "T.Accent", "BD Mute ", "SD Mute ", "LT Mute ",
    "MT Mute ", "HT Mute ", "RS Mute ", "HC Mute ", "CH Mute ", "OH Mute ", "CR Mute ", "RD Mute ",
    "BD Solo ", "SD Solo ", "LT Solo ", "MT Solo ", "HT Solo ", "RS Solo ", "HC Solo ", "CH Solo ",
    "OH Solo ", "CR Solo ", "RD Solo ", "BD RndTh", "SD RndTh", "LT RndTh", "MT RndTh", "HT RndTh",
    "RS RndTh", "HC RndTh", "CH RndTh", "OH RndTh", "CR RndTh", "RD RndTh"};

float documentedDefault(int index) {
    switch (index) {
    case 3: // BD Attack
    case 4: // BD Decay
    case 8: // SD Tone
        return 0.25f;
    case 35: // HC Reverb
    case 44: // CR Decay
    case 47: // RD Decay
        return 1.0f;
    case 51: // Shuffle
        return 0.0f;
    default:
        return index >= 53 && index <= 74 ? 0.0f : 0.5f; // mute and solo buttons are off
    }
}

ParameterTable embeddedTable() {
    ParameterTable table;
    XmlDocument doc = parseEmbeddedSettings();
    EXPECT_TRUE(doc);
    table.loadParameterTable(childNamed(doc.root(), "VSTParameters"));
    return table;
}

// Loads a table from "<VSTParameters>" + params + "</VSTParameters>".
ParameterTable tableFrom(const std::string& params) {
    ParameterTable table;
    XmlDocument doc = XmlDocument::parseMemory("<VSTParameters>" + params + "</VSTParameters>");
    EXPECT_TRUE(doc) << params;
    table.loadParameterTable(doc.root());
    return table;
}

std::string hostName(const ParameterTable& table, int index) {
    char text[16];
    std::memset(text, 'x', sizeof text);
    table.getParameterName(index, text);
    EXPECT_EQ(text[9], 'x') << "wrote beyond the ninth byte";
    return text;
}

void expectBlankRecords(const ParameterTable& table) {
    for (int i = 0; i < kNumHostParameters; ++i) {
        EXPECT_STREQ(table.info(i).shortName, "no name") << i;
        EXPECT_STREQ(table.info(i).label, "") << i;
        EXPECT_EQ(table.info(i).defaultValue, 0.0f) << i;
    }
}

// ---------------------------------------------------------------------------------------------

TEST(ParameterTable, RecordsReadNoNameBeforeLoading) {
    ParameterTable table;
    expectBlankRecords(table);
    EXPECT_EQ(hostName(table, 0), "no name");
    EXPECT_EQ(table.indexOfName("BD Level"), -1);
    EXPECT_EQ(table.nameOfIndex(0), "");
}

TEST(ParameterTable, EmbeddedDocumentGivesTheDocumentedHostParameters) {
    const ParameterTable table = embeddedTable();
    for (int i = 0; i < kNumHostParameters; ++i) {
        EXPECT_STREQ(table.info(i).shortName, kHostNames[i]) << i;
        EXPECT_STREQ(table.info(i).label, "") << i;
        EXPECT_EQ(table.info(i).defaultValue, documentedDefault(i)) << i;
        EXPECT_EQ(hostName(table, i), kHostNames[i]) << i;
    }
    EXPECT_EQ(hostName(table, 1), "BD Tune ");
    EXPECT_EQ(hostName(table, 3), "BD Attck");
    EXPECT_EQ(hostName(table, 52), "T.Accent");
}

TEST(ParameterTable, EmbeddedDocumentNamesAll193Controls) {
    const ParameterTable table = embeddedTable();
    const std::map<int, std::string> spotChecks = {{0, "BD Level"},
                                                   {1, "BD Tune"},
                                                   {48, "Tempo"},
                                                   {49, "Volume"},
                                                   {52, "Total Accent"},
                                                   {85, "RD Rand Threshold"},
                                                   {86, "Patt Attr Flam"},
                                                   {88, "Patt Attr TotalAccent"},
                                                   {95, "Play"},
                                                   {96, "StopCont"},
                                                   {111, "Step 1"},
                                                   {126, "Step 16"},
                                                   {127, "BD Select"},
                                                   {137, "RD Select"},
                                                   {138, "Instrument Selector"},
                                                   {139, "Display Digit 01"},
                                                   {142, "Display Digit 100"},
                                                   {144, "Midi Learn"},
                                                   {159, "Instrument Preset Save Bank"},
                                                   {160, "BD Out Num"},
                                                   {170, "RD Out Num"},
                                                   {171, "BD Preset Select"},
                                                   {182, "BD Level Knob Mode"},
                                                   {192, "RD Level Knob Mode"}};
    for (const auto& [index, name] : spotChecks) {
        EXPECT_EQ(table.nameOfIndex(index), name) << index;
        EXPECT_EQ(table.indexOfName(name), index) << name;
    }
    int named = 0;
    for (int i = 0; i < kNumNamedControls; ++i) {
        const std::string name = table.nameOfIndex(i);
        ASSERT_FALSE(name.empty()) << i;
        EXPECT_EQ(table.indexOfName(name), i) << name; // names are unique
        ++named;
    }
    EXPECT_EQ(named, 193);
    EXPECT_EQ(table.nameOfIndex(193), "");
    EXPECT_EQ(table.nameOfIndex(-1), "");
    // Matching is exact and case-sensitive.
    EXPECT_EQ(table.indexOfName("bd level"), -1);
    EXPECT_EQ(table.indexOfName("BD Level "), -1);
    EXPECT_EQ(table.indexOfName("BD"), -1);
    EXPECT_EQ(table.indexOfName(""), -1);
}

TEST(ParameterTable, HostTextsAreCutAfterEightCharactersAndLeaveOtherIndicesAlone) {
    const ParameterTable table =
        tableFrom("<param index=\"0\" name=\"Long\" desc=\"ABCDEFGHIJKL\" label=\"decibels\"/>"
                  "<param index=\"1\" name=\"Short\" desc=\"AB\" label=\"ms\"/>");
    EXPECT_EQ(hostName(table, 0), "ABCDEFGH");
    EXPECT_EQ(hostName(table, 1), "AB");
    char label[16];
    std::memset(label, 'x', sizeof label);
    table.getParameterLabel(0, label);
    EXPECT_STREQ(label, "decibels");
    EXPECT_EQ(label[9], 'x');
    table.getParameterLabel(1, label);
    EXPECT_STREQ(label, "ms");

    for (int index : {-1, 86, 192, 100000}) {
        char text[16] = "untouched";
        table.getParameterName(index, text);
        EXPECT_STREQ(text, "untouched") << index;
        table.getParameterLabel(index, text);
        EXPECT_STREQ(text, "untouched") << index;
    }
    table.getParameterName(0, nullptr); // no buffer: nothing happens
}

TEST(ParameterTable, DecimalCommaLocaleReadsTheSameTable) {
    DecimalCommaLocale locale;
    ASSERT_TRUE(locale.active())
        << "the de_DE.UTF-8 locale is missing: run scripts/install-deps.sh";
    const ParameterTable table = embeddedTable();
    for (int i = 0; i < kNumHostParameters; ++i) {
        EXPECT_EQ(table.info(i).defaultValue, documentedDefault(i)) << i;
    }
    EXPECT_EQ(table.indexOfName("Step 16"), 126);
    const ParameterTable typed = tableFrom("<param index=\"2\" name=\"P\" value=\"0.75\"/>");
    EXPECT_EQ(typed.info(2).defaultValue, 0.75f);
}

// ---------------------------------------------------------------------------------------------
// Malformed input: wrong elements, wrong types, out-of-range values, duplicates, huge tables.

TEST(ParameterTableMalformed, OnlyAVstParametersElementIsRead) {
    ParameterTable table;
    table.loadParameterTable(nullptr);
    XmlDocument doc = XmlDocument::parseMemory(
        "<VorpalixSettings>text<VSTParams><param index=\"0\" name=\"BD Level\" value=\"1\" "
        "desc=\"Wrong\"/></VSTParams></VorpalixSettings>");
    ASSERT_TRUE(doc);
    table.loadParameterTable(doc.root());
    table.loadParameterTable(childNamed(doc.root(), "VSTParams"));
    table.loadParameterTable(doc.root()->children); // a text node
    expectBlankRecords(table);
    EXPECT_EQ(table.indexOfName("BD Level"), -1);
    EXPECT_EQ(table.nameOfIndex(0), "");
}

TEST(ParameterTableMalformed, ATruncatedDocumentLeavesTheTableBlank) {
    const auto bytes = findResource("settings");
    ParameterTable table;
    XmlDocument doc = XmlDocument::parseMemory(bytes.first(bytes.size() / 2));
    table.loadParameterTable(doc ? childNamed(doc.root(), "VSTParameters") : nullptr);
    expectBlankRecords(table);
    EXPECT_EQ(table.indexOfName("Step 16"), -1);
}

TEST(ParameterTableMalformed, ValuesAreClampedAndUnparsableValuesGiveZero) {
    const ParameterTable table = tableFrom("<param index=\"0\" name=\"A\" value=\"1.5\"/>"
                                           "<param index=\"1\" name=\"B\" value=\"-0.25\"/>"
                                           "<param index=\"2\" name=\"C\" value=\"high\"/>"
                                           "<param index=\"3\" name=\"D\" value=\"nan\"/>"
                                           "<param index=\"4\" name=\"E\" value=\"inf\"/>"
                                           "<param index=\"5\" name=\"F\" value=\"-inf\"/>"
                                           "<param index=\"6\" name=\"G\" value=\" 0.75xyz\"/>"
                                           "<param index=\"7\" name=\"H\" value=\"0,75\"/>"
                                           "<param index=\"8\" name=\"I\"/>"
                                           "<param index=\"9\" name=\"J\" value=\"1e40\"/>"
                                           "<param index=\"10\" name=\"K\" value=\"\"/>");
    const float expected[] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.75f, 0.0f, 0.0f, 1.0f, 0.0f};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(table.info(i).defaultValue, expected[i]) << i;
    }
}

TEST(ParameterTableMalformed, IndicesReadLikePercentDAndOutOfRangeOnlyRegisterTheName) {
    const ParameterTable table =
        tableFrom("<param index=\" 7\" name=\"Blank Led\" value=\"0.1\" desc=\"Seven\"/>"
                  "<param index=\"8.9\" name=\"Fraction\" value=\"0.2\" desc=\"Eight\"/>"
                  "<param index=\"BD\" name=\"Word\" value=\"0.3\" desc=\"Word\"/>"
                  "<param name=\"No Index\" value=\"0.4\" desc=\"None\"/>"
                  "<param index=\"300\" name=\"Far\" value=\"0.5\" desc=\"Far\"/>"
                  "<param index=\"-3\" name=\"Negative\" value=\"0.6\" desc=\"Neg\"/>"
                  "<param index=\"99999999999\" name=\"Huge\" value=\"0.7\" desc=\"Huge\"/>");
    EXPECT_EQ(table.indexOfName("Blank Led"), 7);
    EXPECT_STREQ(table.info(7).shortName, "Seven");
    EXPECT_EQ(table.indexOfName("Fraction"), 8);
    EXPECT_STREQ(table.info(8).shortName, "Eight");
    EXPECT_EQ(table.indexOfName("Word"), -1);
    EXPECT_EQ(table.indexOfName("No Index"), -1);
    EXPECT_EQ(table.indexOfName("Negative"), -1);
    EXPECT_EQ(table.nameOfIndex(-3), "");
    EXPECT_EQ(table.nameOfIndex(-1), "");
    EXPECT_EQ(table.indexOfName("Far"), 300);
    EXPECT_EQ(table.nameOfIndex(300), "Far");
    EXPECT_EQ(table.indexOfName("Huge"), 2147483647);
    // No record other than 7 and 8 was touched.
    for (int i = 0; i < kNumHostParameters; ++i) {
        if (i != 7 && i != 8) {
            EXPECT_STREQ(table.info(i).shortName, "no name") << i;
        }
    }
    // Out-of-range record lookups are safe.
    EXPECT_STREQ(table.info(-1).shortName, "");
    EXPECT_STREQ(table.info(86).shortName, "");
}

TEST(ParameterTableMalformed, TheFirstUseOfANameOrAnIndexWins) {
    const ParameterTable table =
        tableFrom("<param index=\"0\" name=\"Twin\" value=\"0.1\" desc=\"First\"/>"
                  "<param index=\"1\" name=\"Twin\" value=\"0.2\" desc=\"Second\"/>"
                  "<param index=\"2\" name=\"Alpha\" value=\"0.3\" desc=\"Alpha\" label=\"a\"/>"
                  "<param index=\"2\" name=\"Beta\" value=\"0.9\" desc=\"Beta\" label=\"b\"/>");
    EXPECT_EQ(table.indexOfName("Twin"), 0);
    EXPECT_EQ(table.nameOfIndex(0), "Twin");
    EXPECT_EQ(table.nameOfIndex(1), "Twin");
    EXPECT_STREQ(table.info(1).shortName, "Second"); // its own index is still its record
    EXPECT_EQ(table.nameOfIndex(2), "Alpha");
    EXPECT_EQ(table.indexOfName("Beta"), 2);
    // The record of index 2 describes the same param as its name.
    EXPECT_STREQ(table.info(2).shortName, "Alpha");
    EXPECT_STREQ(table.info(2).label, "a");
    EXPECT_EQ(table.info(2).defaultValue, 0.3f);
}

TEST(ParameterTableMalformed, ANamelessParamIsNeverFoundByName) {
    const ParameterTable table = tableFrom("<param index=\"9\" value=\"0.5\" desc=\"Anon\"/>"
                                           "<param index=\"9\" name=\"Late\" desc=\"Late\"/>");
    EXPECT_EQ(table.indexOfName(""), -1);
    EXPECT_EQ(table.indexOfName("Late"), 9);
    // Index 9 belongs to the first, nameless param: no name to show, its own record.
    EXPECT_EQ(table.nameOfIndex(9), "");
    EXPECT_STREQ(table.info(9).shortName, "Anon");
    EXPECT_EQ(table.info(9).defaultValue, 0.5f);
}

TEST(ParameterTableMalformed, LoadingASecondTableChangesNothingKnown) {
    ParameterTable table = embeddedTable();
    XmlDocument doc = XmlDocument::parseMemory(
        "<VSTParameters><param index=\"0\" name=\"Other\" value=\"1\" desc=\"Other\"/>"
        "<param index=\"5\" name=\"BD Level\" value=\"1\" desc=\"Moved\"/></VSTParameters>");
    table.loadParameterTable(doc.root());
    EXPECT_STREQ(table.info(0).shortName, "BD Level");
    EXPECT_EQ(table.info(0).defaultValue, 0.5f);
    EXPECT_EQ(table.indexOfName("BD Level"), 0);
    EXPECT_STREQ(table.info(5).shortName, "BD TuneD");
    EXPECT_EQ(table.indexOfName("Other"), 0); // a new name may still be registered
    EXPECT_EQ(table.nameOfIndex(0), "BD Level");
}

TEST(ParameterTableMalformed, LongTextsAreCutTo31CharactersWithoutSplittingCharacters) {
    const std::string forty(40, 'x');
    // "é" is two bytes; placed so that its first byte would be the 31st.
    const std::string straddling = std::string(30, 'a') + "\xc3\xa9" + "bc";
    const ParameterTable table =
        tableFrom("<param index=\"0\" name=\"A\" desc=\"" + forty + "\" label=\"" + forty +
                  "\"/>"
                  "<param index=\"1\" name=\"B\" desc=\"" +
                  straddling +
                  "\"/>"
                  "<param index=\"2\" name=\"C\" value=\"0.5\"/>"
                  "<param index=\"3\" name=\"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\" "
                  "desc=\"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\"/>");
    EXPECT_EQ(std::string(table.info(0).shortName), std::string(31, 'x'));
    EXPECT_EQ(std::string(table.info(0).label), std::string(31, 'x'));
    EXPECT_EQ(std::string(table.info(1).shortName), std::string(30, 'a'));
    // A missing desc leaves an empty short name.
    EXPECT_STREQ(table.info(2).shortName, "");
    EXPECT_EQ(hostName(table, 2), "");
    // Eight bytes would split the fifth two-byte character: the host sees four.
    EXPECT_EQ(hostName(table, 3), "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9");
    EXPECT_EQ(table.indexOfName("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"), 3);
}

TEST(ParameterTableMalformed, OtherChildrenAndAttributesAreSkipped) {
    const ParameterTable table = tableFrom(
        "<!-- comment -->text<assign param=\"X\" CC=\"3\"/>"
        "<param index=\"4\" name=\"Kept\" value=\"0.5\" desc=\"Kept\" convert=\"log\" extra=\"1\">"
        "<param index=\"5\" name=\"Nested\"/></param>"
        "<Param index=\"6\" name=\"Case\"/>");
    EXPECT_EQ(table.indexOfName("Kept"), 4);
    EXPECT_EQ(table.indexOfName("X"), -1);
    EXPECT_EQ(table.indexOfName("Nested"), -1);
    EXPECT_EQ(table.indexOfName("Case"), -1);
    EXPECT_STREQ(table.info(5).shortName, "no name");
}

TEST(ParameterTableMalformed, HugeTablesLoadAndKeepTheRealEntries) {
    std::string params;
    params.reserve(200000 * 64);
    for (int i = 0; i < 200000; ++i) {
        const std::string n = std::to_string(i);
        params += "<param index=\"" + std::to_string(193 + i) + "\" name=\"Extra " + n +
                  "\" value=\"0.5\"/>";
    }
    params += "<param index=\"0\" name=\"Late\" value=\"0.9\" desc=\"Late\"/>";
    const ParameterTable table = tableFrom(params);
    EXPECT_EQ(table.indexOfName("Extra 0"), 193);
    EXPECT_EQ(table.indexOfName("Extra 199999"), 193 + 199999);
    EXPECT_EQ(table.nameOfIndex(193 + 12345), "Extra 12345");
    EXPECT_EQ(table.indexOfName("Late"), 0);
    EXPECT_STREQ(table.info(0).shortName, "Late");
}

} // namespace
} // namespace vorpalix
