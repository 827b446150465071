#include "Art.h"

#include <cstdlib>
#include <map>
#include <utility>

#include "Controls.h"

namespace panelart {

const std::array<InstrumentInfo, 11> kInstruments = {{
    {"BD", "BASS DRUM"},
    {"SD", "SNARE DRUM"},
    {"LT", "LOW TOM"},
    {"MT", "MID TOM"},
    {"HT", "HI TOM"},
    {"RS", "RIM SHOT"},
    {"HC", "CLAP"},
    {"CH", "CL. HAT"},
    {"OH", "OP. HAT"},
    {"CR", "CRASH"},
    {"RD", "RIDE"},
}};

int instrumentOf(std::string_view name) {
    if (name.size() < 3 || name[2] != ' ') {
        return -1;
    }
    for (std::size_t i = 0; i < kInstruments.size(); ++i) {
        if (name.substr(0, 2) == kInstruments[i].code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

namespace {

using Paint = std::function<void(cairo_t*, int frame)>;

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Glyphs of the four tempo digits, one character per frame.
const std::map<std::string, std::string>& digitGlyphs() {
    static const std::map<std::string, std::string> glyphs = {
        {"Display Digit 100", " 123P"},
        {"Display Digit 10", " 0123456789CDEFGAB"},
        {"Display Digit 1", " 0123456789#-"},
        {"Display Digit 01", " 0123456789"},
    };
    return glyphs;
}

const std::map<std::string, Icon>& actionIcons() {
    static const std::map<std::string, Icon> icons = {
        {"Prev Pattern", Icon::TriangleLeft},
        {"Next Pattern", Icon::TriangleRight},
        {"Shift Pattern Left", Icon::ShiftLeft},
        {"Shift Pattern Right", Icon::ShiftRight},
        {"Clear Pattern", Icon::Cross},
        {"Paste Pattern", Icon::Dot},
        {"Scale Pattern", Icon::Dot},
        {"Patt Rand Undo", Icon::Undo},
    };
    return icons;
}

const std::map<std::string, Icon>& topBarIcons() {
    static const std::map<std::string, Icon> icons = {
        {"Pattern Load", Icon::Folder},
        {"Pattern Save", Icon::Disk},
        {"Pattern Load Bank", Icon::Folder},
        {"Pattern Save Bank", Icon::Disk},
        {"Instrument Preset Load", Icon::Folder},
        {"Instrument Preset Save", Icon::Disk},
        {"Instrument Preset Load Set", Icon::Folder},
        {"Instrument Preset Save Set", Icon::Disk},
        {"Instrument Preset Load Bank", Icon::Folder},
        {"Instrument Preset Save Bank", Icon::Disk},
        {"Instrument Preset Select", Icon::List},
        {"Instrument Preset Up", Icon::Up},
        {"Instrument Preset Down", Icon::Down},
    };
    return icons;
}

const std::map<std::string, std::vector<std::string>>& switchLabels() {
    static const std::map<std::string, std::vector<std::string>> labels = {
        {"Int Seq State", {"OFF", "ON"}},
        {"Int Seq Sync", {"INT", "HOST"}},
        {"Int Seq Mode", {"CHAIN", "NORM", "FREE"}},
        {"Midi Learn", {"OFF", "ON"}},
    };
    return labels;
}

double frameValue(int frame, int frames) {
    return frames > 1 ? static_cast<double>(frame) / (frames - 1) : 0.0;
}

// The painter of a control's bitmap, or nothing when the generator has none for it.
std::optional<Paint> painterFor(const Control& c, std::string& why) {
    const std::string& n = c.name;
    const int frames = c.frames;
    const int ins = instrumentOf(n);
    if (ins >= 0) {
        const std::string code = kInstruments[static_cast<std::size_t>(ins)].code;
        if (endsWith(n, " Level Knob Mode")) {
            return [w = c.width, h = c.height](cairo_t* cr, int f) {
                paintLevelModeKey(cr, w, h, f == 1);
            };
        }
        if (endsWith(n, " Mute") || endsWith(n, " Solo")) {
            const bool mute = endsWith(n, " Mute");
            return [mute, w = c.width, h = c.height](cairo_t* cr, int f) {
                paintToggleKey(cr, w, h, mute ? "M" : "S", f == 1,
                               mute ? palette::kLedRed : palette::kLedAmber);
            };
        }
        if (endsWith(n, " Preset Select")) {
            return [code, w = c.width, h = c.height](cairo_t* cr, int f) {
                paintToggleKey(cr, w, h, code, f == 1, palette::kOrange);
            };
        }
        if (endsWith(n, " Select")) {
            return [code, w = c.width, h = c.height](cairo_t* cr, int f) {
                paintSelectKey(cr, w, h, code, f == 1);
            };
        }
        if (endsWith(n, " Out Num")) {
            return
                [w = c.width, h = c.height](cairo_t* cr, int f) { paintOutputNumber(cr, w, h, f); };
        }
        if (c.className == "CAnimKnob") {
            return [w = c.width, h = c.height, frames](cairo_t* cr, int f) {
                paintKnob(cr, w, h, frameValue(f, frames), KnobSize::Small);
            };
        }
    }
    if (n == "Tempo" || n == "Volume" || n == "Flam" || n == "Shuffle" || n == "Total Accent") {
        return [w = c.width, h = c.height, frames](cairo_t* cr, int f) {
            paintKnob(cr, w, h, frameValue(f, frames), KnobSize::Large);
        };
    }
    if (n == "Instrument Selector") {
        return [w = c.width, h = c.height, frames](cairo_t* cr, int f) {
            paintSelector(cr, w, h, f, frames);
        };
    }
    if (n == "Left Screw" || n == "Right Screw") {
        return [w = c.width, h = c.height, frames](cairo_t* cr, int f) {
            paintScrew(cr, w, h, frameValue(f, frames));
        };
    }
    if (const auto d = digitGlyphs().find(n); d != digitGlyphs().end()) {
        const std::string glyphs = d->second;
        if (static_cast<int>(glyphs.size()) != frames) {
            why = n + " needs " + std::to_string(glyphs.size()) + " frames";
            return std::nullopt;
        }
        const bool units = n == "Display Digit 1";
        return [glyphs, units, w = c.width, h = c.height](cairo_t* cr, int f) {
            const char g = glyphs[static_cast<std::size_t>(f)];
            paintDigit(cr, w, h, g, units && g >= '0' && g <= '9');
        };
    }
    if (n.rfind("Step ", 0) == 0 && c.className == "CNStateButton") {
        const int step = std::atoi(n.c_str() + 5);
        return [step, w = c.width, h = c.height](cairo_t* cr, int f) {
            paintStepKey(cr, w, h, step, f / 2, f % 2 == 1);
        };
    }
    if (n.rfind("Pattern Scale ", 0) == 0) {
        return [w = c.width, h = c.height, frames](cairo_t* cr, int f) {
            paintScaleLed(cr, w, h, f == frames - 1);
        };
    }
    if (const auto s = switchLabels().find(n); s != switchLabels().end()) {
        const std::vector<std::string> labels = s->second;
        if (static_cast<int>(labels.size()) != frames) {
            why = n + " needs " + std::to_string(labels.size()) + " frames";
            return std::nullopt;
        }
        return [labels, w = c.width, h = c.height, frames](cairo_t* cr, int f) {
            paintSwitch(cr, w, h, f, frames, labels[static_cast<std::size_t>(f)]);
        };
    }
    if (n == "Play" || n == "StopCont") {
        const bool start = n == "Play";
        return [start, w = c.width, h = c.height](cairo_t* cr, int f) {
            paintTransportKey(cr, w, h, f % 2 == 1, start);
        };
    }
    if (const auto a = actionIcons().find(n); a != actionIcons().end()) {
        return [icon = a->second, w = c.width, h = c.height](cairo_t* cr, int f) {
            paintActionKey(cr, w, h, f % 2 == 1, icon);
        };
    }
    if (const auto t = topBarIcons().find(n); t != topBarIcons().end()) {
        // The file keys stand right under a text field: their caps start a little lower.
        const double top = c.height >= 24 ? 3.0 : 0.5;
        return [icon = t->second, top, w = c.width, h = c.height](cairo_t* cr, int f) {
            paintIconKey(cr, w, h, f % 2 == 1, icon, top);
        };
    }
    if (n == "About") {
        return [w = c.width, h = c.height](cairo_t* cr, int f) {
            paintLogoButton(cr, w, h, f % 2 == 1);
        };
    }
    if (c.className == "CNStateButton" && frames == 4) {
        // The sequencer's mode keys; write mode, the most used, has a red cap.
        const Colour cap = n == "Write Mode" ? palette::kRed : palette::kKey;
        return [cap, w = c.width, h = c.height](cairo_t* cr, int f) {
            paintModeKey(cr, w, h, f >= 2, f % 2 == 1, cap);
        };
    }
    why = "no picture for the control \"" + n + "\"";
    return std::nullopt;
}

bool addBitmap(std::vector<Bitmap>& out, Bitmap b, std::string& error) {
    for (const Bitmap& have : out) {
        if (have.id == b.id) {
            if (have.width != b.width || have.height != b.height || have.frames != b.frames) {
                error = "bitmap " + std::to_string(b.id) + " is used with two different sizes";
                return false;
            }
            return true;
        }
    }
    out.push_back(std::move(b));
    return true;
}

} // namespace

std::optional<std::vector<Bitmap>> planBitmaps(const Layout& layout, std::string& error) {
    std::vector<Bitmap> out;
    out.push_back({kBackgroundId, kBackgroundWidth, kBackgroundHeight, 1, true,
                   [&layout](cairo_t* cr, int) { paintBackground(cr, layout); }});

    for (const Control& c : layout.controls) {
        if (c.className == "CTextLabel" || c.className == "CTextEdit") {
            continue; // drawn by the editor with text; the background prints their window
        }
        if (c.className == "CBitmapDisplay") {
            if (c.chars <= 0 || c.fonts <= 0 || c.width % c.chars != 0) {
                error = c.name + ": the width must be a whole number of character cells";
                return std::nullopt;
            }
            const int cellW = c.width / c.chars;
            if (!addBitmap(out,
                           {c.resId, cellW, c.height, c.fonts, true,
                            [cellW, h = c.height](cairo_t* cr, int f) {
                                paintFontCell(cr, cellW, h, 32 + f);
                            }},
                           error)) {
                return std::nullopt;
            }
            continue;
        }
        if (c.frames < 1 || c.width < 1 || c.height < 1 || c.resId <= 0) {
            error = c.name + ": size, frames and bitmap id must be positive";
            return std::nullopt;
        }
        std::string why;
        std::optional<Paint> paint = painterFor(c, why);
        if (!paint) {
            error = why;
            return std::nullopt;
        }
        const bool opaque = c.name.rfind("Display Digit", 0) == 0;
        if (!addBitmap(out, {c.resId, c.width, c.height, c.frames, opaque, std::move(*paint)},
                       error)) {
            return std::nullopt;
        }
    }

    // The preset browser.
    out.push_back(
        {920, 706, 231, 1, true, [](cairo_t* cr, int) { paintPresetBrowser(cr, 706, 231); }});
    for (int k = 0; k < 11; ++k) {
        const std::string code = kInstruments[static_cast<std::size_t>(k)].code;
        out.push_back({930 + k, 22, 16, 4, false, [code](cairo_t* cr, int f) {
                           paintTab(cr, 22, 16, code, f >= 2, f % 2 == 1);
                       }});
    }
    out.push_back({915, 14, 16, 4, false,
                   [](cairo_t* cr, int f) { paintSlot(cr, 14, 16, f >= 2, f % 2 == 1); }});
    out.push_back({912, 37, 16, 2, false,
                   [](cairo_t* cr, int f) { paintTextKey(cr, 37, 16, f == 1, "CLOSE"); }});
    out.push_back({913, 17, 16, 2, false,
                   [](cairo_t* cr, int f) { paintIconKey(cr, 17, 16, f == 1, Icon::Up); }});
    out.push_back({914, 17, 16, 2, false,
                   [](cairo_t* cr, int f) { paintIconKey(cr, 17, 16, f == 1, Icon::Down); }});
    out.push_back({921, 26, 16, 2, false,
                   [](cairo_t* cr, int f) { paintTextKey(cr, 26, 16, f == 1, "LOAD"); }});
    out.push_back({922, 26, 16, 2, false,
                   [](cairo_t* cr, int f) { paintTextKey(cr, 26, 16, f == 1, "SAVE"); }});
    // The About box.
    out.push_back({752, 289, 240, 1, true, [](cairo_t* cr, int) { paintAboutBox(cr, 289, 240); }});
    out.push_back({760, 15, 25, 2, false,
                   [](cairo_t* cr, int f) { paintIconKey(cr, 15, 25, f == 1, Icon::Cross); }});

    for (std::size_t i = 0; i < out.size(); ++i) {
        for (std::size_t j = i + 1; j < out.size(); ++j) {
            if (out[i].id == out[j].id) {
                error = "bitmap " + std::to_string(out[i].id) +
                        " is both a control's and an overlay panel's";
                return std::nullopt;
            }
        }
    }
    return out;
}

cairo_surface_t* renderBitmap(const Bitmap& b, int scale) {
    cairo_surface_t* surface =
        cairo_image_surface_create(b.opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
                                   b.width * scale, b.height * b.frames * scale);
    cairo_t* cr = cairo_create(surface);
    for (int f = 0; f < b.frames; ++f) {
        cairo_save(cr);
        cairo_scale(cr, scale, scale);
        cairo_translate(cr, 0, static_cast<double>(f) * b.height);
        cairo_rectangle(cr, 0, 0, b.width, b.height);
        cairo_clip(cr);
        b.paint(cr, f);
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

} // namespace panelart
