// The printed panels: the machine's background with its sections and labels, the preset
// browser and the About box. Labels are placed relative to the controls of the layout, so a
// control that moves in the settings document takes its label along.

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "Art.h"
#include "Controls.h"

namespace panelart {

namespace {

struct Rect {
    double x, y, w, h;
    double right() const { return x + w; }
    double bottom() const { return y + h; }
    double cx() const { return x + w / 2; }
    double cy() const { return y + h / 2; }
};

Rect rectOf(const Control& c) {
    return {static_cast<double>(c.x), static_cast<double>(c.y), static_cast<double>(c.width),
            static_cast<double>(c.height)};
}

// A raised section plate with a darker rim and a light top edge.
void plate(cairo_t* cr, Rect r) {
    fillVertical(cr, r.x, r.y, r.w, r.h, 5, palette::kPlate, palette::kPlateLow);
    strokeInside(cr, r.x, r.y, r.w, r.h, 5, palette::kPlateEdge);
    cairo_move_to(cr, r.x + 5, r.y + 1.5);
    cairo_line_to(cr, r.right() - 5, r.y + 1.5);
    setColour(cr, palette::kPlateLight);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

// A recessed window of display glass.
void glassWindow(cairo_t* cr, Rect r, Colour glass) {
    roundedRect(cr, r.x, r.y, r.w, r.h, 3);
    setColour(cr, glass);
    cairo_fill(cr);
    strokeInside(cr, r.x, r.y, r.w, r.h, 3, rgb(0x000000, 0.85));
    cairo_move_to(cr, r.x + 3, r.bottom() + 0.5);
    cairo_line_to(cr, r.right() - 3, r.bottom() + 0.5);
    setColour(cr, rgb(0xffffff, 0.10));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

void caption(cairo_t* cr, std::string_view text, double cx, double y, Colour c = palette::kInk) {
    drawText(cr, text, std::floor(cx - textWidth(text, 1.0) / 2 + 0.5), y, 1.0, Align::Left, c);
}

// A caption centred under a group of keys, with thin rules running out to the group's edges.
void groupCaption(cairo_t* cr, std::string_view text, double left, double right, double y) {
    const double w = textWidth(text, 1.0);
    const double cx = std::floor((left + right) / 2);
    caption(cr, text, cx, y, palette::kInkDim);
    const double ly = y + 3.5;
    cairo_move_to(cr, left + 2, ly);
    cairo_line_to(cr, cx - w / 2 - 4, ly);
    cairo_move_to(cr, cx + w / 2 + 4, ly);
    cairo_line_to(cr, right - 2, ly);
    setColour(cr, rgb(0x979ba3, 0.5));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

std::string upper(std::string_view s) {
    std::string u(s);
    for (char& c : u) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return u;
}

// Knob label above a knob, level with the text of the level knobs' mode keys. "Tune Depth"
// and "Tune Decay" are shortened to fit a knob's width; a name that still does not fit breaks
// into two lines growing upwards.
void knobLabel(cairo_t* cr, std::string_view name, Rect knob, double maxWidth) {
    std::string text = upper(name);
    if (text.rfind("TUNE ", 0) == 0 && text.size() > 5) {
        text = "T." + text.substr(5);
    }
    if (textWidth(text, 1.0) > maxWidth) {
        const std::size_t space = text.find(' ');
        if (space != std::string::npos) {
            text[space] = '\n';
        }
    }
    const double top = knob.y - 14 - (lineCount(text) - 1) * 10.0;
    drawLines(cr, text, knob.cx(), top, 1.0, palette::kInk);
}

// Where the shipped layout groups the sequencer's controls (window pixels).
struct Section {
    const char* title;
    Rect r;
};
// The sequencer band and the step row share their outer edges, clear of the screws.
constexpr double kBandLeft = 35, kBandRight = 962;
constexpr std::array<Section, 8> kSections = {{
    {"TRANSPORT", {kBandLeft, 304, 166 - kBandLeft, 104}},
    {"", {kBandLeft, 412, 166 - kBandLeft, 86}},
    {"", {170, 304, 78, 194}},
    {"PATTERN", {252, 304, 192, 194}},
    {"STEP EDIT", {448, 304, 210, 194}},
    {"INSTRUMENT", {662, 304, 86, 104}},
    {"STEP LIGHTS", {662, 412, 86, 86}},
    {"GROOVE", {752, 304, kBandRight - 752, 194}},
}};

struct ButtonLabel {
    const char* control;
    const char* text;
};
constexpr std::array<ButtonLabel, 17> kButtonLabels = {{
    {"Write Mode", "WRITE"},
    {"Patt Auto Follow", "FOLLOW"},
    {"Prev Pattern", "PREV"},
    {"Next Pattern", "NEXT"},
    {"Copy Pattern", "COPY"},
    {"Paste Pattern", "PASTE"},
    {"Clear Pattern", "CLEAR"},
    {"Tap Mode", "TAP"},
    {"Flam Mode", "FLAM"},
    {"Last Step Mode", "LAST STEP"},
    {"Patt Randomizer", "RANDOM"},
    {"Patt Rand Undo", "UNDO"},
    {"Scale Pattern", "SCALE"},
    {"Rescale Pattern", "RESCALE"},
    {"Patt Trigger Attr", "PER PATTERN"},
    {"Shift Pattern Left", ""},
    {"Shift Pattern Right", ""},
}};

constexpr std::array<ButtonLabel, 5> kMainKnobLabels = {{
    {"Tempo", "TEMPO"},
    {"Volume", "VOLUME"},
    {"Flam", "FLAM"},
    {"Shuffle", "SHUFFLE"},
    {"Total Accent", "TOTAL ACCENT"},
}};

constexpr std::array<ButtonLabel, 4> kScaleLabels = {{
    {"Pattern Scale Fast 3/4", "FAST 3/4"},
    {"Pattern Scale Slow 3/4", "SLOW 3/4"},
    {"Pattern Scale Fast 4/4", "FAST 4/4"},
    {"Pattern Scale Slow 4/4", "SLOW 4/4"},
}};

void paintTopBar(cairo_t* cr, const Layout& layout) {
    fillVertical(cr, 0, 0, kBackgroundWidth, kTopBarHeight, 0, palette::kTopBar,
                 palette::kTopBarLow);
    cairo_rectangle(cr, 0, kTopBarHeight - 1, kBackgroundWidth, 1);
    setColour(cr, rgb(0x000000));
    cairo_fill(cr);

    if (const Control* about = layout.find("About")) {
        const Rect r = rectOf(*about);
        drawText(cr, "DRUM MACHINE", std::floor(r.x + textWidth("VORPALIX", 2.0) + 8), r.y + 5, 1.0,
                 Align::Left, palette::kInkDim);
    }
    // Switch captions.
    const std::array<ButtonLabel, 4> switches = {{{"Int Seq State", "SEQ"},
                                                  {"Int Seq Sync", "SYNC"},
                                                  {"Int Seq Mode", "MODE"},
                                                  {"Midi Learn", "LEARN"}}};
    for (const ButtonLabel& s : switches) {
        if (const Control* c = layout.find(s.control)) {
            caption(cr, s.text, rectOf(*c).cx(), c->y - 9, palette::kInkDim);
        }
    }
    // Windows behind the text fields, with their captions above.
    const std::array<ButtonLabel, 3> fields = {{{"Midi Learn Desc", "MIDI LEARN"},
                                                {"Pattern Name", "PATTERN"},
                                                {"Instrument Preset Name", "INSTRUMENT PRESET"}}};
    for (const ButtonLabel& f : fields) {
        if (const Control* c = layout.find(f.control)) {
            const Rect r = rectOf(*c);
            glassWindow(cr, {r.x - 3, r.y - 2, r.w + 6, r.h + 3}, palette::kGlass);
            caption(cr, f.text, r.cx(), r.y - 11, palette::kInkDim);
        }
    }
    // Captions under the file keys, one per pair.
    const std::array<std::array<const char*, 3>, 5> pairs = {{
        {"Pattern Load", "Pattern Save", "FILE"},
        {"Pattern Load Bank", "Pattern Save Bank", "BANK"},
        {"Instrument Preset Load", "Instrument Preset Save", "PRESET"},
        {"Instrument Preset Load Set", "Instrument Preset Save Set", "SET"},
        {"Instrument Preset Load Bank", "Instrument Preset Save Bank", "BANK"},
    }};
    for (const auto& p : pairs) {
        const Control* a = layout.find(p[0]);
        const Control* b = layout.find(p[1]);
        if (a && b) {
            groupCaption(cr, p[2], a->x, b->x + b->width, a->y + a->height + 2);
        }
    }
    // Row captions of the output numbers and the preset instrument keys.
    if (const Control* c = layout.find("BD Out Num")) {
        drawText(cr, "OUT", c->x - 6, c->y + (c->height - 7) / 2.0, 1.0, Align::Right,
                 palette::kInkDim);
    }
    if (const Control* c = layout.find("BD Preset Select")) {
        drawText(cr, "INST", c->x - 5, std::floor(c->y + (c->height - 7) / 2.0), 1.0, Align::Right,
                 palette::kInkDim);
    }
}

void paintInstrumentSections(cairo_t* cr, const Layout& layout) {
    for (std::size_t i = 0; i < kInstruments.size(); ++i) {
        const InstrumentInfo& info = kInstruments[i];
        const Control* select = layout.find(std::string(info.code) + " Select");
        if (select == nullptr) {
            continue;
        }
        const Rect col = rectOf(*select);
        const Rect r{col.x, kTopBarHeight + 4.0, col.w, 300.0 - kTopBarHeight - 4.0};
        plate(cr, r);
        // Colour rule, code and name.
        roundedRect(cr, r.x + 3, r.y + 3, r.w - 6, 2, 1);
        setColour(cr, instrumentColour(static_cast<int>(i)));
        cairo_fill(cr);
        drawText(cr, info.code, std::floor(r.cx() - textWidth(info.code, 2.0) / 2), r.y + 9, 2.0,
                 Align::Left, palette::kInk);
        caption(cr, info.name, r.cx(), r.y + 26, palette::kInkDim);
    }
    // Labels above the knobs; the level knobs carry their mode key instead.
    for (const Control& c : layout.controls) {
        const int ins = instrumentOf(c.name);
        if (ins < 0 || c.className != "CAnimKnob" || c.name.find("Out Num") != std::string::npos ||
            c.name.substr(3) == "Level") {
            continue;
        }
        knobLabel(cr, c.name.substr(3), rectOf(c), c.width + 6.0);
    }
}

void paintSelectorScale(cairo_t* cr, const Control& c) {
    const Rect r = rectOf(c);
    const int n = std::max(2, c.frames);
    for (int k = 0; k < n; ++k) {
        const double a = selectorAngle(k, n);
        const double x = r.cx() + std::cos(a) * 23.0, y = r.cy() + std::sin(a) * 23.0;
        cairo_new_sub_path(cr);
        cairo_arc(cr, x, y, 1.1, 0, 2 * std::numbers::pi);
        setColour(cr, palette::kInkDim);
        cairo_fill(cr);
        const std::string name = k < 11 ? kInstruments[static_cast<std::size_t>(k)].code : "AC";
        const double lx = r.cx() + std::cos(a) * 35.0, ly = r.cy() + std::sin(a) * 34.0;
        drawText(cr, name, std::floor(lx - textWidth(name, 1.0) / 2 + 0.5), std::floor(ly - 3), 1.0,
                 Align::Left, k == 11 ? palette::kOrange : palette::kInk);
    }
}

// A printed bracket from the per-pattern key up to the three knobs it stores with a pattern.
void paintGrooveBracket(cairo_t* cr, const Layout& layout) {
    const Control* key = layout.find("Patt Trigger Attr");
    const std::array<const Control*, 3> knobs = {layout.find("Flam"), layout.find("Shuffle"),
                                                 layout.find("Total Accent")};
    if (!key || !knobs[0] || !knobs[1] || !knobs[2]) {
        return;
    }
    double y = 0;
    for (const Control* k : knobs) {
        y = std::max(y, double(k->y + k->height));
    }
    y = std::floor(y + 8) + 0.5;
    if (y + 6 > key->y) {
        return;
    }
    const double kx = std::floor(rectOf(*key).cx()) + 0.5;
    cairo_move_to(cr, std::floor(rectOf(*knobs[0]).cx()) + 0.5, y);
    cairo_line_to(cr, std::floor(rectOf(*knobs[2]).cx()) + 0.5, y);
    for (const Control* k : knobs) {
        cairo_move_to(cr, std::floor(rectOf(*k).cx()) + 0.5, y);
        cairo_line_to(cr, std::floor(rectOf(*k).cx()) + 0.5, y - 4);
    }
    cairo_move_to(cr, kx, y);
    cairo_line_to(cr, kx, key->y - 3);
    setColour(cr, rgb(0x979ba3, 0.6));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

// What the colours of the step lights mean.
void paintStepLightLegend(cairo_t* cr, Rect r) {
    struct Entry {
        Colour colour;
        bool on;
        const char* text;
    };
    const std::array<Entry, 5> entries = {{{palette::kLedAmber, true, "ACCENT"},
                                           {palette::kLedRed, true, "NOTE"},
                                           {palette::kLedRed, false, "REST"},
                                           {palette::kLedGreen, true, "GROUP 1-4"},
                                           {palette::kLedRed, true, "GROUP 5-8"}}};
    double y = r.y + 18;
    for (const Entry& e : entries) {
        ledLens(cr, r.x + 8, y + 1.5, 10, 4, e.colour, e.on, e.on ? 0.0 : 0.4);
        drawText(cr, e.text, r.x + 23, y, 1.0, Align::Left, palette::kInk);
        y += 13;
    }
}

void paintSequencerSections(cairo_t* cr, const Layout& layout) {
    for (const Section& s : kSections) {
        plate(cr, s.r);
        if (s.title[0] != '\0') {
            caption(cr, s.title, s.r.cx(), s.r.y + 6, palette::kInkDim);
        }
    }
    for (const ButtonLabel& k : kMainKnobLabels) {
        if (const Control* c = layout.find(k.control)) {
            caption(cr, k.text, rectOf(*c).cx(), c->y - 12);
        }
    }
    // Button labels go under the buttons; buttons whose centres line up share one label line.
    std::vector<const Control*> labelled;
    for (const ButtonLabel& b : kButtonLabels) {
        if (const Control* c = layout.find(b.control)) {
            labelled.push_back(c);
        }
    }
    auto labelTop = [&](const Control& c) {
        double bottom = c.y + c.height;
        for (const Control* o : labelled) {
            if (std::abs(rectOf(*o).cy() - rectOf(c).cy()) < 4.0) {
                bottom = std::max(bottom, double(o->y + o->height));
            }
        }
        return bottom + 3;
    };
    for (const ButtonLabel& b : kButtonLabels) {
        const Control* c = layout.find(b.control);
        if (c && b.text[0] != '\0') {
            caption(cr, b.text, rectOf(*c).cx(), labelTop(*c));
        }
    }
    const Control* left = layout.find("Shift Pattern Left");
    const Control* right = layout.find("Shift Pattern Right");
    if (left && right) {
        caption(cr, "SHIFT", (left->x + right->x + right->width) / 2.0, labelTop(*left));
    }
    paintGrooveBracket(cr, layout);
    paintStepLightLegend(cr, kSections[6].r);
    for (const ButtonLabel& s : kScaleLabels) {
        if (const Control* c = layout.find(s.control)) {
            drawText(cr, s.text, c->x + c->width + 6, std::floor(c->y + (c->height - 7) / 2.0), 1.0,
                     Align::Left, palette::kInk);
        }
    }
    // One glass window behind the tempo digits and the pattern name.
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const char* name : {"Display Digit 100", "Display Digit 10", "Display Digit 1",
                             "Display Digit 01", "Pattern Name Display"}) {
        if (const Control* c = layout.find(name)) {
            x0 = std::min(x0, double(c->x));
            y0 = std::min(y0, double(c->y));
            x1 = std::max(x1, double(c->x + c->width));
            y1 = std::max(y1, double(c->y + c->height));
        }
    }
    if (x0 < x1) {
        glassWindow(cr, {x0 - 4, y0 - 4, x1 - x0 + 8, y1 - y0 + 8}, rgb(0x140a09));
    }
    if (const Control* c = layout.find("Instrument Selector")) {
        paintSelectorScale(cr, *c);
    }
}

void paintStepSection(cairo_t* cr, const Layout& layout) {
    const Control* first = layout.find("Step 1");
    const Control* last = layout.find("Step 16");
    if (!first || !last) {
        return;
    }
    double bottom = last->y + last->height;
    for (const Control& c : layout.controls) {
        if (instrumentOf(c.name) >= 0 && c.name.substr(3) == "Select") {
            bottom = std::max(bottom, double(c.y + c.height));
        }
    }
    plate(cr, {kBandLeft, first->y - 4.0, kBandRight - kBandLeft, bottom - first->y + 9.0});
}

} // namespace

void paintBackground(cairo_t* cr, const Layout& layout) {
    fillVertical(cr, 0, kTopBarHeight, kBackgroundWidth, kBackgroundHeight - kTopBarHeight, 0,
                 palette::kPanel, palette::kPanelLow);
    paintTopBar(cr, layout);
    paintInstrumentSections(cr, layout);
    paintSequencerSections(cr, layout);
    paintStepSection(cr, layout);
    // Two more screws in the bottom corners, matching the two that turn.
    for (const char* name : {"Left Screw", "Right Screw"}) {
        if (const Control* c = layout.find(name)) {
            cairo_save(cr);
            cairo_translate(cr, c->x, kBackgroundHeight - 8 - c->height);
            paintScrew(cr, c->width, c->height, 1.0);
            cairo_restore(cr);
        }
    }
}

// ---------------------------------------------------------------------------------------------

void paintPresetBrowser(cairo_t* cr, double w, double h) {
    fillVertical(cr, 0, 0, w, h, 0, rgb(0x2e3238), rgb(0x24272b));
    strokeInside(cr, 0, 0, w, h, 0, rgb(0x0a0b0c), 2.0);
    strokeInside(cr, 2, 2, w - 4, h - 4, 0, rgb(0x4a4f57));
    cairo_rectangle(cr, 3, 3, w - 6, 2);
    setColour(cr, palette::kOrange);
    cairo_fill(cr);
    drawText(cr, "INSTRUMENT PRESETS", 10, 11, 1.0, Align::Left, palette::kInk);
    drawText(cr, "CTRL + UP/DOWN MOVES THE CHOSEN PRESET", w - 10, 11, 1.0, Align::Right,
             palette::kInkDim);
    for (int c = 0; c < 4; ++c) {
        const double x = 23 + 175 * c;
        for (int r = 0; r < 8; ++r) {
            const double y = 36 + 22 * r;
            roundedRect(cr, x - 1, y - 1, 152, 17, 2);
            setColour(cr, rgb(0x000000, 0.6));
            cairo_fill(cr);
            roundedRect(cr, x, y, 150, 15, 1.5);
            setColour(cr, palette::kField);
            cairo_fill(cr);
        }
        const std::string header = std::to_string(c * 8 + 1) + " - " + std::to_string(c * 8 + 8);
        drawText(cr, header, x + 1, 25, 1.0, Align::Left, palette::kInkDim);
    }
    cairo_move_to(cr, 4, 206.5);
    cairo_line_to(cr, w - 4, 206.5);
    setColour(cr, rgb(0x000000, 0.6));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    caption(cr, "ONE", 18, 215, palette::kInkDim);
    caption(cr, "SET", 96.5, 215, palette::kInkDim);
    caption(cr, "BANK", 174.5, 215, palette::kInkDim);
    drawText(cr, "INSTRUMENT", 328, 215, 1.0, Align::Right, palette::kInkDim);
}

void paintAboutBox(cairo_t* cr, double w, double h) {
    fillVertical(cr, 0, 0, w, h, 0, rgb(0x2e3238), rgb(0x1f2226));
    strokeInside(cr, 0, 0, w, h, 0, rgb(0x0a0b0c), 2.0);
    strokeInside(cr, 2, 2, w - 4, h - 4, 0, rgb(0x4a4f57));
    cairo_rectangle(cr, 3, 3, w - 6, 2);
    setColour(cr, palette::kOrange);
    cairo_fill(cr);
    drawText(cr, "VERSION", 9, 25, 1.0, Align::Left, palette::kInkDim);

    const double logoW = textWidth("VORPALIX", 3.0);
    const double lx = std::floor((w - logoW) / 2);
    drawText(cr, "VORPALIX", lx, 62, 3.0, Align::Left, palette::kCream);
    static constexpr std::array<Colour, 4> kStripe = {palette::kRed, palette::kOrange,
                                                      palette::kYellow, palette::kCream};
    for (int i = 0; i < 4; ++i) {
        cairo_rectangle(cr, lx + std::round(i * logoW / 4), 88,
                        std::round((i + 1) * logoW / 4) - std::round(i * logoW / 4) - 2, 3);
        setColour(cr, kStripe[static_cast<std::size_t>(i)]);
        cairo_fill(cr);
    }
    drawLines(cr, "ELEVEN-VOICE ANALOGUE-STYLE\nDRUM MACHINE AND PATTERN SEQUENCER", w / 2, 106,
              1.0, palette::kInk);
    drawLines(cr, "VST 2.4 INSTRUMENT FOR LINUX", w / 2, 136, 1.0, palette::kInkDim);
    // Sixteen little step keys, as on the machine.
    for (int s = 0; s < 16; ++s) {
        const double x = std::floor((w - 16 * 14 + 4) / 2) + s * 14;
        roundedRect(cr, x, 162, 10, 10, 2);
        setColour(cr, kStripe[static_cast<std::size_t>(s / 4)]);
        cairo_fill(cr);
        if (s % 4 == 0) {
            roundedRect(cr, x + 2, 157, 6, 2, 1);
            setColour(cr, palette::kLedRed);
            cairo_fill(cr);
        }
    }
    drawLines(cr, "QUILLMOOR AUDIO SOFTWARE", w / 2, 192, 1.0, palette::kInk);
    drawLines(cr, "EVERY SOUND SYNTHESISED", w / 2, 212, 1.0, palette::kInkDim);
}

} // namespace panelart
