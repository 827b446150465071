#include "state/ControllerMap.h"

#include "state/ParameterTable.h"

#include "StateTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace vorpalix {
namespace {

using state_test::childNamed;
using state_test::DecimalCommaLocale;
using state_test::parseEmbeddedSettings;
using state_test::ScratchFolder;

// The default controller of each host parameter 0..85, typed in from the documentation.
constexpr std::array<int, kNumHostParameters> kDefaultControllers = {
    20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  37,
    39,  40,  41,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,
    57,  58,  59,  60,  61,  62,  63,  64,  65,  66,  67,  68,  15,  7,   17,  18,  19,  90,
    91,  102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118,
    119, 120, 121, 70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  80};

struct EmbeddedState {
    ParameterTable table;
    ControllerMap map;
    EmbeddedState() {
        XmlDocument doc = parseEmbeddedSettings();
        EXPECT_TRUE(doc);
        table.loadParameterTable(childNamed(doc.root(), "VSTParameters"));
        map.readMidiCCMap(childNamed(doc.root(), "MidiCCMap"), table);
    }
};

// Applies "<MidiCCMap>" + assigns + "</MidiCCMap>" over the map.
void readAssigns(ControllerMap& map, const ParameterTable& table, const std::string& assigns) {
    XmlDocument doc = XmlDocument::parseMemory("<MidiCCMap>" + assigns + "</MidiCCMap>");
    ASSERT_TRUE(doc);
    map.readMidiCCMap(doc.root(), table);
}

std::array<int, kNumControllers> snapshot(const ControllerMap& map) {
    std::array<int, kNumControllers> entries{};
    for (int c = 0; c < kNumControllers; ++c) {
        entries[c] = map.parameterOf(c);
    }
    return entries;
}

// ---------------------------------------------------------------------------------------------

TEST(ControllerMap, StartsEmpty) {
    const ControllerMap map;
    for (int c = 0; c < kNumControllers; ++c) {
        EXPECT_EQ(map.parameterOf(c), -1);
    }
    EXPECT_EQ(map.controllerOf(0), -1);
    EXPECT_EQ(map.parameterOf(-1), -1);
    EXPECT_EQ(map.parameterOf(128), -1);
}

TEST(ControllerMap, EmbeddedMapAssignsTheDocumentedControllers) {
    const EmbeddedState s;
    for (int p = 0; p < kNumHostParameters; ++p) {
        EXPECT_EQ(s.map.controllerOf(p), kDefaultControllers[p]) << s.table.nameOfIndex(p);
        EXPECT_EQ(s.map.parameterOf(kDefaultControllers[p]), p);
    }
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("BD Level")), 20);
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("Volume")), 7);
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("RD Solo")), 121);
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("Tempo")), 15);
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("Step 16")), -1);
    int assigned = 0;
    for (int c = 0; c < kNumControllers; ++c) {
        assigned += s.map.parameterOf(c) != -1 ? 1 : 0;
    }
    EXPECT_EQ(assigned, 86);
    for (int c : {0, 1, 6, 8, 14, 16, 38, 69, 81, 89, 92, 101, 122, 127}) {
        EXPECT_EQ(s.map.parameterOf(c), -1) << c;
    }
}

TEST(ControllerMap, LearningMovesAControllerToItsNewParameter) {
    EmbeddedState s;
    const int bdTune = s.table.indexOfName("BD Tune");
    const int mtTune = s.table.indexOfName("MT Tune");
    ASSERT_EQ(s.map.parameterOf(40), mtTune);
    s.map.assignController(40, bdTune);
    EXPECT_EQ(s.map.controllerOf(bdTune), 40);
    EXPECT_EQ(s.map.parameterOf(40), bdTune);
    EXPECT_EQ(s.map.parameterOf(21), -1); // BD Tune's former controller
    EXPECT_EQ(s.map.controllerOf(mtTune), -1);
    // Everything else stays as it was.
    for (int p = 0; p < kNumHostParameters; ++p) {
        if (p != bdTune && p != mtTune) {
            EXPECT_EQ(s.map.controllerOf(p), kDefaultControllers[p]) << p;
        }
    }
    // Assigning the same pair again changes nothing; a panel control may be assigned too.
    s.map.assignController(40, bdTune);
    EXPECT_EQ(s.map.controllerOf(bdTune), 40);
    s.map.assignController(0, 144);
    EXPECT_EQ(s.map.parameterOf(0), 144);
    EXPECT_EQ(s.map.controllerOf(144), 0);
}

TEST(ControllerMap, AssigningClearsOnlyTheLowestOlderEntry) {
    ControllerMap map;
    // Moving a parameter clears its old controller; a controller taken over from another
    // parameter leaves that one without a controller.
    map.assignController(10, 5);
    map.assignController(20, 6);
    map.assignController(30, 5); // 10 cleared
    EXPECT_EQ(map.parameterOf(10), -1);
    EXPECT_EQ(map.parameterOf(30), 5);
    EXPECT_EQ(map.parameterOf(20), 6);
    map.assignController(20, 5); // 30 cleared, 20 changes target from 6 to 5
    EXPECT_EQ(map.parameterOf(30), -1);
    EXPECT_EQ(map.parameterOf(20), 5);
    EXPECT_EQ(map.controllerOf(6), -1);
    // Controllers outside 0..127 are ignored; a negative parameter clears the controller.
    map.assignController(128, 7);
    map.assignController(-1, 7);
    map.assignController(1000, 5);
    EXPECT_EQ(map.controllerOf(7), -1);
    EXPECT_EQ(map.controllerOf(5), 20);
    map.assignController(20, -1);
    EXPECT_EQ(map.parameterOf(20), -1);
    map.assignController(127, 3);
    EXPECT_EQ(map.controllerOf(3), 127);
    map.clear();
    EXPECT_EQ(snapshot(map), snapshot(ControllerMap()));
}

TEST(ControllerMap, UserFileAddsItsAssignmentsOverTheEmbeddedOnes) {
    EmbeddedState s;
    ScratchFolder folder;
    const std::string name = folder.file("Vorpalix.ini.xml");
    state_test::writeBytes(name, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VorpalixSettings>\n"
                                 "  <MidiCCMap>\n    <assign param=\"Volume\" CC=\"20\"/>\n"
                                 "  </MidiCCMap>\n</VorpalixSettings>\n");
    XmlDocument user = XmlDocument::parseFile(name);
    ASSERT_TRUE(user);
    s.map.readMidiCCMap(childNamed(user.root(), "MidiCCMap"), s.table);
    const int volume = s.table.indexOfName("Volume");
    EXPECT_EQ(s.map.controllerOf(volume), 20);
    EXPECT_EQ(s.map.parameterOf(7), -1);
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("BD Level")), -1);
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("BD Tune")), 21);
}

TEST(ControllerMap, WrittenMapListsEveryHostParameterAndReadsBackIdentically) {
    EmbeddedState s;
    XmlDocument doc = XmlDocument::create("VorpalixBank");
    ASSERT_TRUE(doc);
    xmlNode* written = s.map.writeMidiCCMap(s.table);
    ASSERT_NE(written, nullptr);
    xmlAddChild(doc.root(), written);

    std::vector<std::string> params;
    std::vector<std::string> controllers;
    for (xmlNode* assign : elementChildren(written)) {
        ASSERT_TRUE(isElement(assign, "assign"));
        params.push_back(attribute(assign, "param").value_or("?"));
        controllers.push_back(attribute(assign, "CC").value_or("?"));
    }
    ASSERT_EQ(params.size(), 86u);
    for (int p = 0; p < kNumHostParameters; ++p) {
        EXPECT_EQ(params[p], s.table.nameOfIndex(p));
        EXPECT_EQ(controllers[p], std::to_string(kDefaultControllers[p]));
    }

    XmlDocument back = XmlDocument::parseMemory(doc.dump());
    ASSERT_TRUE(back);
    ControllerMap reread;
    reread.readMidiCCMap(childNamed(back.root(), "MidiCCMap"), s.table);
    EXPECT_EQ(snapshot(reread), snapshot(s.map));
}

TEST(ControllerMap, UnassignedParametersAreWrittenAsMinusOneAndSkippedOnReading) {
    EmbeddedState s;
    const int bdTune = s.table.indexOfName("BD Tune");
    s.map.assignController(40, bdTune); // MT Tune loses its controller
    XmlDocument doc = XmlDocument::create("VorpalixBank");
    xmlAddChild(doc.root(), s.map.writeMidiCCMap(s.table));
    const std::string text = doc.dump();
    EXPECT_NE(text.find("<assign param=\"MT Tune\" CC=\"-1\"/>"), std::string::npos) << text;
    EXPECT_NE(text.find("<assign param=\"BD Tune\" CC=\"40\"/>"), std::string::npos);

    // Read over the embedded map it reproduces the learnt map: BD Tune takes controller 40
    // from MT Tune and MT Tune's "-1" is skipped.
    EmbeddedState fresh;
    XmlDocument back = XmlDocument::parseMemory(text);
    fresh.map.readMidiCCMap(childNamed(back.root(), "MidiCCMap"), fresh.table);
    EXPECT_EQ(snapshot(fresh.map), snapshot(s.map));
}

TEST(ControllerMap, DecimalCommaLocaleWritesAndReadsTheSameMap) {
    DecimalCommaLocale locale;
    ASSERT_TRUE(locale.active())
        << "the de_DE.UTF-8 locale is missing: run scripts/install-deps.sh";
    EmbeddedState s;
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("BD Level")), 20);
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("Volume")), 7);
    XmlDocument doc = XmlDocument::create("VorpalixBank");
    xmlAddChild(doc.root(), s.map.writeMidiCCMap(s.table));
    EXPECT_NE(doc.dump().find("<assign param=\"RD Solo\" CC=\"121\"/>"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Malformed input.

TEST(ControllerMapMalformed, BadAssignsAreSkippedOneByOne) {
    EmbeddedState s;
    const auto before = snapshot(s.map);
    readAssigns(s.map, s.table,
                "<assign param=\"Volume\" CC=\"128\"/>"
                "<assign param=\"Volume\" CC=\"-1\"/>"
                "<assign param=\"Volume\" CC=\"300\"/>"
                "<assign param=\"Volume\" CC=\"99999999999\"/>"
                "<assign param=\"Volume\" CC=\"abc\"/>"
                "<assign param=\"Volume\" CC=\"\"/>"
                "<assign param=\"Volume\"/>"
                "<assign param=\"volume\" CC=\"1\"/>"
                "<assign param=\"No Such Knob\" CC=\"2\"/>"
                "<assign param=\"\" CC=\"3\"/>"
                "<assign CC=\"4\"/>"
                "<Assign param=\"Volume\" CC=\"5\"/>"
                "<param name=\"Volume\" CC=\"6\"/>"
                "text<!-- comment -->");
    EXPECT_EQ(snapshot(s.map), before);
    // Good assigns among bad ones still apply; "%d" reading accepts blanks and stops at junk.
    readAssigns(s.map, s.table,
                "<assign param=\"Bogus\" CC=\"1\"/><assign param=\"Volume\" CC=\" 1x\"/>"
                "<assign param=\"Tempo\" CC=\"2\" extra=\"yes\"/>");
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("Volume")), 1);
    EXPECT_EQ(s.map.controllerOf(s.table.indexOfName("Tempo")), 2);
}

TEST(ControllerMapMalformed, WrongElementsAndMissingTablesChangeNothing) {
    EmbeddedState s;
    const auto before = snapshot(s.map);
    XmlDocument doc = XmlDocument::parseMemory(
        "<VorpalixSettings><MidiMap><assign param=\"Volume\" CC=\"1\"/></MidiMap>"
        "<assign param=\"Volume\" CC=\"2\"/></VorpalixSettings>");
    ASSERT_TRUE(doc);
    s.map.readMidiCCMap(nullptr, s.table);
    s.map.readMidiCCMap(doc.root(), s.table);
    s.map.readMidiCCMap(childNamed(doc.root(), "MidiMap"), s.table);
    EXPECT_EQ(snapshot(s.map), before);
    // A map read before the table is loaded knows no names.
    ParameterTable empty;
    ControllerMap map;
    XmlDocument embedded = parseEmbeddedSettings();
    map.readMidiCCMap(childNamed(embedded.root(), "MidiCCMap"), empty);
    EXPECT_EQ(snapshot(map), snapshot(ControllerMap()));
    xmlNode* written = map.writeMidiCCMap(empty);
    ASSERT_NE(written, nullptr);
    EXPECT_EQ(written->children, nullptr); // no names, no assigns
    xmlFreeNode(written);
}

TEST(ControllerMapMalformed, DuplicateAndHugeMapsKeepOneControllerPerParameter) {
    EmbeddedState s;
    std::string assigns;
    for (int i = 0; i < 100000; ++i) {
        assigns += "<assign param=\"Volume\" CC=\"" + std::to_string(i % 128) + "\"/>";
    }
    readAssigns(s.map, s.table, assigns);
    const int volume = s.table.indexOfName("Volume");
    EXPECT_EQ(s.map.controllerOf(volume), (100000 - 1) % 128);
    int volumeControllers = 0;
    for (int c = 0; c < kNumControllers; ++c) {
        volumeControllers += s.map.parameterOf(c) == volume ? 1 : 0;
    }
    EXPECT_EQ(volumeControllers, 1);
}

} // namespace
} // namespace vorpalix
