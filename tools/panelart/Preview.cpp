// The preview picture: what the editor will show, composed from the same bitmaps the plug-in
// embeds. It is for the documentation and for checking the art by eye before the editor exists.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>

#include "Art.h"
#include "Controls.h"

namespace panelart {

namespace {

constexpr const char* kDemoPatternName = "Four On The Floor";
constexpr const char* kDemoPresetName = "Balanced Default Kick";

int roundedFrame(double value, int frames) {
    return std::clamp(static_cast<int>(std::lround(value * (frames - 1))), 0, frames - 1);
}

// The frame a control shows in the demonstration state: the bass drum row of a four-on-the-
// floor pattern in write mode, the tempo on the digits, knobs at their defaults.
int demoFrame(const Control& c, const Layout& layout) {
    const std::string& n = c.name;
    const auto def = layout.defaults.find(n);
    const auto t = layout.defaults.find("Tempo");
    const double tempo = 30.0 + 273.0 * (t != layout.defaults.end() ? t->second : 0.5);
    if (n == "Display Digit 100") {
        const int h = static_cast<int>(tempo / 100) % 10;
        return h == 0 ? 0 : std::min(h, c.frames - 2);
    }
    if (n == "Display Digit 10") {
        return 1 + static_cast<int>(tempo / 10) % 10;
    }
    if (n == "Display Digit 1") {
        return 1 + static_cast<int>(tempo) % 10;
    }
    if (n == "Display Digit 01") {
        return 1 + static_cast<int>(std::lround(tempo * 10)) % 10;
    }
    if (n.rfind("Step ", 0) == 0) {
        const int step = std::atoi(n.c_str() + 5);
        const int state = step == 1 ? 5 : (step % 4 == 1 || step == 15) ? 4 : 3;
        return 2 * state;
    }
    if (n == "Left Screw" || n == "Right Screw") {
        return c.frames - 1;
    }
    if (n.size() > 8 && n.substr(n.size() - 8) == " Out Num") {
        return std::min(instrumentOf(n), c.frames - 1);
    }
    if (n == "Write Mode") {
        return 2;
    }
    if (n == "BD Select" || n == "BD Preset Select" || n == "Int Seq State" ||
        n == "Int Seq Sync" || n == "Pattern Scale Slow 4/4") {
        return c.frames - 1;
    }
    if (c.className == "CAnimKnob" && def != layout.defaults.end() && c.frames > 1) {
        return roundedFrame(def->second, c.frames);
    }
    return 0;
}

void blit(cairo_t* cr, cairo_surface_t* strip, double x, double y, double w, double h, int frame,
          int scale) {
    cairo_save(cr);
    cairo_rectangle(cr, x * scale, y * scale, w * scale, h * scale);
    cairo_clip(cr);
    cairo_set_source_surface(cr, strip, x * scale, (y - frame * h) * scale);
    cairo_paint(cr);
    cairo_restore(cr);
}

void pixelText(cairo_t* cr, std::string_view text, double x, double y, Colour colour) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int code = static_cast<unsigned char>(text[i]);
        for (int row = 0; row < kPixelGlyphHeight; ++row) {
            for (int col = 0; col < kPixelGlyphWidth; ++col) {
                if (pixelDot(code, row, col)) {
                    cairo_rectangle(cr, x + 6.0 * i + col, y + row, 1, 1);
                }
            }
        }
    }
    setColour(cr, colour);
    cairo_fill(cr);
}

} // namespace

cairo_surface_t* renderPreview(const Layout& layout, const std::vector<Bitmap>& bitmaps,
                               int scale) {
    std::map<int, cairo_surface_t*> strips;
    for (const Bitmap& b : bitmaps) {
        strips[b.id] = renderBitmap(b, scale);
    }
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kBackgroundWidth * scale,
                                                      kBackgroundHeight * scale);
    cairo_t* cr = cairo_create(out);
    cairo_set_source_surface(cr, strips[kBackgroundId], 0, 0);
    cairo_paint(cr);
    for (const Control& c : layout.controls) {
        if (c.className == "CTextEdit" || c.className == "CTextLabel") {
            const std::string text = c.name == "Pattern Name"             ? kDemoPatternName
                                     : c.name == "Instrument Preset Name" ? kDemoPresetName
                                                                          : "";
            cairo_save(cr);
            cairo_scale(cr, scale, scale);
            pixelText(cr, text, c.x + 2, c.y + (c.height - 7) / 2, palette::kCream);
            cairo_restore(cr);
            continue;
        }
        const auto strip = strips.find(c.resId);
        if (strip == strips.end()) {
            continue;
        }
        if (c.className == "CBitmapDisplay") {
            const std::string text = kDemoPatternName;
            const double cellW = static_cast<double>(c.width) / std::max(1, c.chars);
            for (int i = 0; i < c.chars; ++i) {
                const int code = i < static_cast<int>(text.size()) ? text[i] : ' ';
                blit(cr, strip->second, c.x + i * cellW, c.y, cellW, c.height, code - 32, scale);
            }
            continue;
        }
        blit(cr, strip->second, c.x, c.y, c.width, c.height, demoFrame(c, layout), scale);
    }
    cairo_destroy(cr);
    for (auto& [id, s] : strips) {
        cairo_surface_destroy(s);
    }
    cairo_surface_flush(out);
    return out;
}

} // namespace panelart
