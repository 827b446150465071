// The panel layout in the embedded settings document: every control the editor creates is
// described, in the groups, classes, frames and bitmaps the panel uses, at the telling places,
// inside the background and without overlapping another control.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "state/XmlDocument.h"

namespace vorpalix {
namespace {

const std::vector<std::string> kCodes = {"BD", "SD", "LT", "MT", "HT", "RS",
                                         "HC", "CH", "OH", "CR", "RD"};

// The controls in the order the editor creates them.
std::vector<std::string> creationList() {
    const std::map<std::string, std::vector<std::string>> knobs = {
        {"BD", {"Level", "Tune", "Pitch", "Attack", "Decay", "Tune Depth"}},
        {"SD", {"Level", "Tune", "Tone", "Tune Depth", "Decay", "Snappy"}},
        {"LT", {"Level", "Tune", "Tone", "Tune Depth", "Decay", "Tune Decay"}},
        {"MT", {"Level", "Tune", "Tone", "Tune Depth", "Decay", "Tune Decay"}},
        {"HT", {"Level", "Tune", "Tone", "Tune Depth", "Decay", "Tune Decay"}},
        {"RS", {"Level", "Tune", "Decay"}},
        {"HC", {"Level", "Tune", "Reverb"}},
        {"CH", {"Level", "Tune", "Decay"}},
        {"OH", {"Level", "Tune", "Decay"}},
        {"CR", {"Level", "Tune", "Decay"}},
        {"RD", {"Level", "Tune", "Decay"}}};
    std::vector<std::string> names;
    for (const std::string& code : kCodes) {
        for (const std::string& knob : knobs.at(code)) {
            names.push_back(code + " " + knob);
        }
    }
    for (const char* n : {"Tempo",
                          "Volume",
                          "Flam",
                          "Shuffle",
                          "Total Accent",
                          "Play",
                          "StopCont",
                          "Tap Mode",
                          "Instrument Selector",
                          "Patt Auto Follow",
                          "Patt Randomizer",
                          "Patt Rand Undo",
                          "Prev Pattern",
                          "Next Pattern",
                          "Copy Pattern",
                          "Paste Pattern",
                          "Clear Pattern",
                          "Rescale Pattern",
                          "Scale Pattern",
                          "Shift Pattern Left",
                          "Shift Pattern Right",
                          "Flam Mode",
                          "Last Step Mode",
                          "Write Mode",
                          "Patt Trigger Attr"}) {
        names.push_back(n);
    }
    for (int s = 1; s <= 16; ++s) {
        names.push_back("Step " + std::to_string(s));
    }
    for (const char* n : {"Display Digit 01", "Display Digit 1", "Display Digit 10",
                          "Display Digit 100", "Pattern Scale Fast 3/4", "Pattern Scale Fast 4/4",
                          "Pattern Scale Slow 3/4", "Pattern Scale Slow 4/4"}) {
        names.push_back(n);
    }
    for (const char* group :
         {"Level Knob Mode", "Mute", "Solo", "Select", "Out Num", "Preset Select"}) {
        for (const std::string& code : kCodes) {
            names.push_back(code + " " + group);
        }
    }
    for (const char* n : {"Pattern Name Display",
                          "About",
                          "Int Seq State",
                          "Int Seq Sync",
                          "Int Seq Mode",
                          "Midi Learn Desc",
                          "Midi Learn",
                          "Pattern Name",
                          "Pattern Load",
                          "Pattern Save",
                          "Pattern Load Bank",
                          "Pattern Save Bank",
                          "Instrument Preset Name",
                          "Instrument Preset Select",
                          "Instrument Preset Up",
                          "Instrument Preset Down",
                          "Instrument Preset Load",
                          "Instrument Preset Save",
                          "Instrument Preset Load Set",
                          "Instrument Preset Save Set",
                          "Instrument Preset Load Bank",
                          "Instrument Preset Save Bank",
                          "Left Screw",
                          "Right Screw"}) {
        names.push_back(n);
    }
    return names;
}

struct Entry {
    const xmlNode* node;
    std::string name, cls;
    int posX, posY, ofsY, left, top, width, height, frames, resId;
    std::string attr(const char* a) const { return attribute(node, a).value_or(""); }
};

class PanelLayout : public ::testing::Test {
protected:
    void SetUp() override {
        doc_ = XmlDocument::parseResource("settings");
        ASSERT_TRUE(doc_);
        for (const xmlNode* part : elementChildren(doc_.root())) {
            if (isElement(part, "GUI")) {
                gui_ = part;
            } else if (isElement(part, "VSTParameters")) {
                for (const xmlNode* p : elementChildren(part)) {
                    parameters_.insert(attribute(p, "name").value_or(""));
                }
            }
        }
        ASSERT_NE(gui_, nullptr);
        // The editor's reading: left = posX + offsetX + ofsX, top = posY + offsetY + ofsY.
        const int offsetX = readIntAttribute(gui_, "offsetX").value_or(0);
        const int offsetY = readIntAttribute(gui_, "offsetY").value_or(0);
        for (const xmlNode* n : elementChildren(gui_)) {
            ASSERT_TRUE(isElement(n, "control"));
            auto num = [n](const char* a) { return readIntAttribute(n, a).value_or(0); };
            Entry e{n,
                    attribute(n, "name").value_or(""),
                    attribute(n, "class").value_or(""),
                    num("posX"),
                    num("posY"),
                    num("ofsY"),
                    0,
                    0,
                    num("width"),
                    num("height"),
                    num("frames"),
                    num("resID")};
            e.left = e.posX + offsetX + num("ofsX");
            e.top = e.posY + offsetY + e.ofsY;
            entries_.push_back(e);
        }
    }

    const Entry& entry(const std::string& name) const {
        const auto it = std::find_if(entries_.begin(), entries_.end(),
                                     [&](const Entry& e) { return e.name == name; });
        EXPECT_NE(it, entries_.end()) << name;
        return it != entries_.end() ? *it : entries_.front();
    }

    XmlDocument doc_;
    const xmlNode* gui_ = nullptr;
    std::vector<Entry> entries_;
    std::set<std::string> parameters_;
};

TEST_F(PanelLayout, DescribesEveryControlOfTheCreationListOnceBoundToItsParameter) {
    EXPECT_EQ(readIntAttribute(gui_, "offsetY"), 68);
    EXPECT_FALSE(attribute(gui_, "offsetX"));
    std::vector<std::string> names;
    for (const Entry& e : entries_) {
        names.push_back(e.name);
    }
    const std::vector<std::string> expected = creationList();
    ASSERT_EQ(expected.size(), 187u);
    EXPECT_EQ(std::multiset<std::string>(names.begin(), names.end()),
              std::multiset<std::string>(expected.begin(), expected.end()));
    // Display-only controls carry no parameter: the screws, the learn text, the name display
    // and the four scale lights (the parameter table has no names for them).
    const std::set<std::string> unbound = {"Left Screw",
                                           "Right Screw",
                                           "Midi Learn Desc",
                                           "Pattern Name Display",
                                           "Pattern Scale Fast 3/4",
                                           "Pattern Scale Slow 3/4",
                                           "Pattern Scale Fast 4/4",
                                           "Pattern Scale Slow 4/4"};
    for (const std::string& n : names) {
        EXPECT_EQ(parameters_.count(n) == 1, unbound.count(n) == 0) << n;
    }
}

TEST_F(PanelLayout, GroupsHaveTheirClassesFramesAndBitmaps) {
    const std::vector<int> knobBase = {200, 210, 220, 230, 240, 250, 260, 270, 280, 290, 300};
    for (std::size_t i = 0; i < kCodes.size(); ++i) {
        const std::string c = kCodes[i];
        int k = 0;
        for (const Entry& e : entries_) {
            if (e.name.rfind(c + " ", 0) == 0 && e.cls == "CAnimKnob" && e.frames == 31) {
                EXPECT_EQ(e.resId, knobBase[i] + k++) << e.name;
            }
        }
        EXPECT_EQ(k, i < 5 ? 6 : 3) << c;
        const int n = static_cast<int>(i);
        for (const auto& [group, res, w, h] :
             {std::tuple{" Level Knob Mode", 880, 40, 19}, std::tuple{" Mute", 830, 23, 23},
              std::tuple{" Solo", 850, 23, 23}, std::tuple{" Preset Select", 810, 19, 24}}) {
            const Entry& e = entry(c + group);
            EXPECT_EQ(e.cls, "CNStateButton") << e.name;
            EXPECT_EQ(e.attr("realButton"), "false") << e.name;
            EXPECT_EQ(e.frames, 2) << e.name;
            EXPECT_EQ(e.resId, res + n) << e.name;
            EXPECT_EQ(std::pair(e.width, e.height), std::pair(w, h)) << e.name;
        }
        const Entry& select = entry(c + " Select");
        EXPECT_EQ(std::tuple(select.cls, select.frames, select.resId, select.posY, select.height),
                  std::tuple(std::string("CNStateButton"), 2, 650 + n, 498, 33));
        EXPECT_TRUE(i < 5 ? select.width >= 103 && select.width <= 104
                          : select.width >= 46 && select.width <= 54)
            << select.name;
        const Entry& out = entry(c + " Out Num");
        EXPECT_EQ(std::tuple(out.cls, out.frames, out.resId, out.width, out.height, out.top),
                  std::tuple(std::string("CAnimKnob"), 11, 802, 17, 14, 15));
        EXPECT_EQ(entry(c + " Mute").posY, 43);
        EXPECT_EQ(entry(c + " Level Knob Mode").posY, 77);
        EXPECT_EQ(entry(c + " Preset Select").top, 36);
    }
    for (int s = 1; s <= 16; ++s) {
        const Entry& e = entry("Step " + std::to_string(s));
        EXPECT_EQ(std::tuple(e.cls, e.frames, e.resId, e.posY, e.attr("realButton")),
                  std::tuple(std::string("CNStateButton"), 12, 599 + s, 436, std::string("true")));
    }
    for (const auto& [name, res] : {std::pair{"Tap Mode", 505},
                                    {"Patt Auto Follow", 500},
                                    {"Patt Randomizer", 501},
                                    {"Copy Pattern", 512},
                                    {"Rescale Pattern", 508},
                                    {"Flam Mode", 506},
                                    {"Last Step Mode", 507},
                                    {"Write Mode", 452},
                                    {"Patt Trigger Attr", 453}}) {
        const Entry& e = entry(name);
        EXPECT_EQ(std::tuple(e.cls, e.frames, e.resId, e.attr("mode")),
                  std::tuple(std::string("CNStateButton"), 4, res, std::string("onRelease")));
    }
    for (const auto& [name, res] : {std::pair{"Patt Rand Undo", 502},
                                    {"Prev Pattern", 503},
                                    {"Next Pattern", 504},
                                    {"Paste Pattern", 513},
                                    {"Clear Pattern", 514},
                                    {"Scale Pattern", 509},
                                    {"Shift Pattern Left", 510},
                                    {"Shift Pattern Right", 511}}) {
        const Entry& e = entry(name);
        EXPECT_EQ(std::tuple(e.cls, e.resId), std::tuple(std::string("CKickButton"), res));
        EXPECT_EQ(e.frames, std::string(name) == "Patt Rand Undo" ? 4 : 2);
    }
    for (const auto& [name, frames, res, x] :
         {std::tuple{"Display Digit 100", 5, 553, 300},
          std::tuple{"Display Digit 10", 18, 552, 332}, std::tuple{"Display Digit 1", 13, 551, 364},
          std::tuple{"Display Digit 01", 11, 550, 396}}) {
        const Entry& e = entry(name);
        EXPECT_EQ(std::tuple(e.cls, e.frames, e.resId, e.posX, e.posY, e.width, e.height),
                  std::tuple(std::string("CAnimKnob"), frames, res, x, 255, 31, 44));
    }
    for (const auto& [name, y, res] : {std::tuple{"Pattern Scale Fast 3/4", 350, 570},
                                       std::tuple{"Pattern Scale Slow 3/4", 368, 571},
                                       std::tuple{"Pattern Scale Fast 4/4", 387, 572},
                                       std::tuple{"Pattern Scale Slow 4/4", 405, 573}}) {
        const Entry& e = entry(name);
        EXPECT_EQ(std::tuple(e.cls, e.frames, e.resId, e.posX, e.posY),
                  std::tuple(std::string("CExMovieBitmap"), 2, res, 48, y));
    }
    for (const auto& [name, frames, res] :
         {std::tuple{"Int Seq State", 2, 909}, std::tuple{"Int Seq Sync", 2, 910},
          std::tuple{"Int Seq Mode", 3, 911}, std::tuple{"Midi Learn", 2, 801}}) {
        const Entry& e = entry(name);
        EXPECT_EQ(std::tuple(e.cls, e.frames, e.resId, e.top),
                  std::tuple(std::string("CHorizontalSwitch"), frames, res, 40));
    }
    const Entry& display = entry("Pattern Name Display");
    EXPECT_EQ(std::tuple(display.cls, display.resId, display.attr("fonts"), display.attr("chars"),
                         display.posX, display.posY, display.width, display.height),
              std::tuple(std::string("CBitmapDisplay"), 700, std::string("96"), std::string("18"),
                         301, 320, 126, 9));
    for (const char* name : {"Midi Learn Desc", "Pattern Name", "Instrument Preset Name"}) {
        const Entry& e = entry(name);
        EXPECT_EQ(std::tuple(e.attr("font"), e.attr("fontcolor"), e.ofsY),
                  std::tuple(std::string("kNormalFontSmall"), std::string("#FFFFFF"), -68));
        EXPECT_EQ(e.cls, std::string(name) == "Midi Learn Desc" ? "CTextLabel" : "CTextEdit");
    }
    EXPECT_EQ(entry("Pattern Name").attr("text"), "Pattern Name");
    EXPECT_EQ(entry("Instrument Preset Name").attr("text"), "Instrument Preset Name");
}

TEST_F(PanelLayout, TellingRowsSitWhereTheMachineHasThem) {
    struct Place {
        const char* name;
        int posX, posY, width, height, resId;
    };
    for (const Place& p :
         {Place{"BD Level", 74, 97, 34, 32, 200}, Place{"Tempo", 177, 270, 59, 57, 400},
          Place{"Instrument Selector", 676, 271, 58, 56, 403}, Place{"Play", 40, 273, 59, 60, 450},
          Place{"StopCont", 101, 273, 59, 60, 451}, Place{"Write Mode", 262, 247, 30, 31, 452},
          Place{"Int Seq Mode", 122, 40, 43, 27, 911},
          Place{"Midi Learn Desc", 226, 14, 100, 15, 0}, Place{"Pattern Name", 336, 14, 129, 15, 0},
          Place{"Instrument Preset Name", 721, 14, 200, 15, 0},
          Place{"Left Screw", 5, 23, 27, 42, 950}, Place{"Right Screw", 965, 23, 27, 42, 951}}) {
        const Entry& e = entry(p.name);
        EXPECT_EQ(std::tuple(e.posX, e.posY, e.width, e.height, e.resId),
                  std::tuple(p.posX, p.posY, p.width, p.height, p.resId))
            << p.name;
    }
    EXPECT_EQ(entry("Instrument Selector").frames, 12);
    // Knob rows at 97, 147 and 197 from the bass drum's column to the ride's at 905.
    std::set<int> rows;
    int rightmost = 0;
    for (const Entry& e : entries_) {
        if (e.cls == "CAnimKnob" && e.resId >= 200 && e.resId <= 302) {
            rows.insert(e.posY);
            rightmost = std::max(rightmost, e.posX);
        }
    }
    EXPECT_EQ(rows, (std::set<int>{97, 147, 197}));
    EXPECT_EQ(rightmost, 905);
    // The top bar cancels the panel offset: it sits where written.
    for (const char* name : {"About", "Int Seq State", "Midi Learn", "Pattern Load",
                             "Instrument Preset Save Bank", "BD Out Num", "RD Preset Select"}) {
        EXPECT_EQ(entry(name).ofsY, -68) << name;
        EXPECT_LT(entry(name).top + entry(name).height, 68) << name;
    }
    for (const char* name : {"Pattern Load", "Pattern Save Bank", "Instrument Preset Load"}) {
        EXPECT_EQ(std::tuple(entry(name).top, entry(name).width, entry(name).height),
                  std::tuple(29, 26, 27))
            << name;
    }
}

TEST_F(PanelLayout, ControlsLieInsideTheBackgroundWithoutOverlapping) {
    for (const Entry& e : entries_) {
        EXPECT_GT(e.width, 0) << e.name;
        EXPECT_GT(e.height, 0) << e.name;
        EXPECT_GE(e.left, 0) << e.name;
        EXPECT_GE(e.top, 0) << e.name;
        EXPECT_LE(e.left + e.width, 999) << e.name;
        EXPECT_LE(e.top + e.height, 617) << e.name;
        if (e.cls == "CNStateButton") {
            // 2..16 states: frames / 2 for real buttons, frames otherwise.
            const int states = e.attr("realButton") == "false" ? e.frames : e.frames / 2;
            EXPECT_GE(states, 2) << e.name;
            EXPECT_LE(states, 16) << e.name;
        }
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        for (std::size_t j = i + 1; j < entries_.size(); ++j) {
            const Entry& a = entries_[i];
            const Entry& b = entries_[j];
            const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                               a.top + a.height <= b.top || b.top + b.height <= a.top;
            EXPECT_TRUE(apart) << a.name << " overlaps " << b.name;
        }
    }
}

} // namespace
} // namespace vorpalix
