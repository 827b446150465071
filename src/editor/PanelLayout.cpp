#include "editor/PanelLayout.h"

#include "editor/PanelTags.h"
#include "state/XmlDocument.h"

namespace vorpalix {
namespace {

// Knob names of each instrument in creation order (which is also their parameter order).
constexpr std::array<std::string_view, 6> kBassKnobs = {"Level",  "Tune",  "Pitch",
                                                        "Attack", "Decay", "Tune Depth"};
constexpr std::array<std::string_view, 6> kSnareKnobs = {"Level",      "Tune",  "Tone",
                                                         "Tune Depth", "Decay", "Snappy"};
constexpr std::array<std::string_view, 6> kTomKnobs = {"Level",      "Tune",  "Tone",
                                                       "Tune Depth", "Decay", "Tune Decay"};
constexpr std::array<std::string_view, 3> kClapKnobs = {"Level", "Tune", "Reverb"};
constexpr std::array<std::string_view, 3> kSampleKnobs = {"Level", "Tune", "Decay"};

std::vector<std::string> buildCreationOrder() {
    std::vector<std::string> names;
    auto perInstrument = [&](std::string_view suffix) {
        for (std::string_view code : kInstrumentCodes)
            names.push_back(std::string(code) + " " + std::string(suffix));
    };
    auto add = [&](std::initializer_list<std::string_view> list) {
        for (std::string_view name : list)
            names.emplace_back(name);
    };
    for (int i = 0; i < kNumInstruments; ++i) {
        const std::string code(kInstrumentCodes[i]);
        auto knobs = [&](const auto& list) {
            for (std::string_view knob : list)
                names.push_back(code + " " + std::string(knob));
        };
        if (i == kBD)
            knobs(kBassKnobs);
        else if (i == kSD)
            knobs(kSnareKnobs);
        else if (i <= kHT)
            knobs(kTomKnobs);
        else if (i == kHC)
            knobs(kClapKnobs);
        else
            knobs(kSampleKnobs);
    }
    add({"Tempo",
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
         "Patt Trigger Attr"});
    for (int s = 1; s <= kNumSteps; ++s)
        names.push_back("Step " + formatInt(s));
    add({"Display Digit 01", "Display Digit 1", "Display Digit 10", "Display Digit 100",
         "Pattern Scale Fast 3/4", "Pattern Scale Fast 4/4", "Pattern Scale Slow 3/4",
         "Pattern Scale Slow 4/4"});
    perInstrument("Level Knob Mode");
    perInstrument("Mute");
    perInstrument("Solo");
    perInstrument("Select");
    perInstrument("Out Num");
    perInstrument("Preset Select");
    add({"Pattern Name Display",
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
         "Right Screw"});
    return names;
}

toolkit::Rect centred(const toolkit::Rect& frame, int width, int height) {
    const int left = (frame.getWidth() - width) / 2;
    const int top = (frame.getHeight() - height) / 2;
    return toolkit::Rect::ofSize(left, top, width, height);
}

} // namespace

const std::vector<std::string>& panelCreationOrder() {
    static const std::vector<std::string> names = buildCreationOrder();
    return names;
}

toolkit::Rect presetBrowserRect(const toolkit::Rect& frame, int width, int height) {
    return centred(frame, width, height).offset(0, -124);
}

toolkit::Rect aboutBoxRect(const toolkit::Rect& frame, int width, int height) {
    return centred(frame, width, height);
}

const std::array<BrowserButton, 9>& presetBrowserButtons() {
    static const std::array<BrowserButton, 9> buttons = {{
        {kTagBrowserClose, kBitmapBrowserClose, {665, 211, 702, 227}},
        {kTagPresetUp, kBitmapBrowserUp, {627, 211, 644, 227}},
        {kTagPresetDown, kBitmapBrowserDown, {646, 211, 663, 227}},
        {kTagPresetLoad, kBitmapBrowserLoad, {33, 211, 59, 227}},
        {kTagPresetSave, kBitmapBrowserSave, {61, 211, 87, 227}},
        {kTagPresetLoadSet, kBitmapBrowserLoad, {106, 211, 132, 227}},
        {kTagPresetSaveSet, kBitmapBrowserSave, {134, 211, 162, 227}},
        {kTagPresetLoadBank, kBitmapBrowserLoad, {187, 211, 213, 227}},
        {kTagPresetSaveBank, kBitmapBrowserSave, {215, 211, 241, 227}},
    }};
    return buttons;
}

toolkit::Rect presetSlotRect(int slot) {
    const int c = slot / 8;
    const int r = slot % 8;
    return {5 + 175 * c, 36 + 22 * r, 19 + 175 * c, 52 + 22 * r};
}

toolkit::Rect presetNameRect(int slot) {
    const int c = slot / 8;
    const int r = slot % 8;
    return {23 + 175 * c, 36 + 22 * r, 173 + 175 * c, 51 + 22 * r};
}

toolkit::Rect instrumentTabRect(int instrument) {
    return {334 + 26 * instrument, 211, 356 + 26 * instrument, 227};
}

std::string versionText(int vendorVersion) {
    return "v." + formatInt(vendorVersion / 1000) + "." + formatInt((vendorVersion / 100) % 10) +
           "." + formatInt((vendorVersion % 100) / 10);
}

const std::array<DigitRange, 4>& tempoDigitRanges() {
    static const std::array<DigitRange, 4> ranges = {{
        {kTagDigit01, 2.0f / 11.0f, 1.0f},
        {kTagDigit1, 2.0f / 13.0f, 11.0f / 13.0f},
        {kTagDigit10, 2.0f / 18.0f, 11.0f / 18.0f},
        {kTagDigit100, 0.2f, 0.8f},
    }};
    return ranges;
}

} // namespace vorpalix
