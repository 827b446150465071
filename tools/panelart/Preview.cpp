// The preview pictures: what the editor will show, composed from the same bitmaps the plug-in
// embeds. They are for the documentation and for checking the art by eye before the editor
// exists.

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

struct StripCache {
    std::map<int, cairo_surface_t*> strips;
    explicit StripCache(const std::vector<Bitmap>& bitmaps, int scale) {
        for (const Bitmap& b : bitmaps) {
            strips[b.id] = renderBitmap(b, scale);
        }
    }
    ~StripCache() {
        for (auto& [id, s] : strips) {
            cairo_surface_destroy(s);
        }
    }
    cairo_surface_t* find(int id) const {
        const auto it = strips.find(id);
        return it != strips.end() ? it->second : nullptr;
    }
};

void paintMain(cairo_t* cr, const Layout& layout, const StripCache& cache, int scale) {
    cairo_set_source_surface(cr, cache.find(kBackgroundId), 0, 0);
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
        cairo_surface_t* strip = cache.find(c.resId);
        if (strip == nullptr) {
            continue;
        }
        if (c.className == "CBitmapDisplay") {
            const std::string text = kDemoPatternName;
            const double cellW = static_cast<double>(c.width) / std::max(1, c.chars);
            for (int i = 0; i < c.chars; ++i) {
                const int code = i < static_cast<int>(text.size()) ? text[i] : ' ';
                blit(cr, strip, c.x + i * cellW, c.y, cellW, c.height, code - 32, scale);
            }
            continue;
        }
        blit(cr, strip, c.x, c.y, c.width, c.height, demoFrame(c, layout), scale);
    }
}

// The preset browser showing the bass drum's presets, the first one chosen.
void paintBrowser(cairo_t* cr, const Layout& layout, const StripCache& cache, int scale) {
    cairo_set_source_surface(cr, cache.find(920), 0, 0);
    cairo_paint(cr);
    struct Placed {
        int id;
        double x, y, w, h;
        int frame;
    };
    std::vector<Placed> placed = {
        {912, 665, 211, 37, 16, 0}, {913, 627, 211, 17, 16, 0}, {914, 646, 211, 17, 16, 0},
        {921, 33, 211, 26, 16, 0},  {922, 61, 211, 26, 16, 0},  {921, 106, 211, 26, 16, 0},
        {922, 134, 211, 26, 16, 0}, {921, 187, 211, 26, 16, 0}, {922, 215, 211, 26, 16, 0}};
    for (int k = 0; k < 11; ++k) {
        placed.push_back({930 + k, 334.0 + 26 * k, 211, 22, 16, k == 0 ? 2 : 0});
    }
    for (int i = 0; i < 32; ++i) {
        placed.push_back({915, 5.0 + 175 * (i / 8), 36.0 + 22 * (i % 8), 14, 16, i == 0 ? 2 : 0});
    }
    for (const Placed& p : placed) {
        if (cairo_surface_t* strip = cache.find(p.id)) {
            blit(cr, strip, p.x, p.y, p.w, p.h, p.frame, scale);
        }
    }
    cairo_save(cr);
    cairo_scale(cr, scale, scale);
    for (std::size_t i = 0; i < layout.bassDrumPresets.size() && i < 32; ++i) {
        pixelText(cr, layout.bassDrumPresets[i], 25.0 + 175 * (i / 8), 40.0 + 22 * (i % 8),
                  rgb(0x000000));
    }
    cairo_restore(cr);
}

void paintAbout(cairo_t* cr, const StripCache& cache, int scale) {
    cairo_set_source_surface(cr, cache.find(752), 0, 0);
    cairo_paint(cr);
    if (cairo_surface_t* strip = cache.find(760)) {
        blit(cr, strip, 255, 10, 15, 25, 0, scale);
    }
    cairo_save(cr);
    cairo_scale(cr, scale, scale);
    pixelText(cr, "v.1.0.3", 9, 37, rgb(0xffffff));
    cairo_restore(cr);
}

} // namespace

cairo_surface_t* renderPreview(const Layout& layout, const std::vector<Bitmap>& bitmaps, int scale,
                               PreviewPanel panel) {
    const StripCache cache(bitmaps, scale);
    const int w = panel == PreviewPanel::Main            ? kBackgroundWidth
                  : panel == PreviewPanel::PresetBrowser ? 706
                                                         : 289;
    const int h = panel == PreviewPanel::Main            ? kBackgroundHeight
                  : panel == PreviewPanel::PresetBrowser ? 231
                                                         : 240;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w * scale, h * scale);
    cairo_t* cr = cairo_create(out);
    if (panel == PreviewPanel::Main) {
        paintMain(cr, layout, cache, scale);
    } else if (panel == PreviewPanel::PresetBrowser) {
        paintBrowser(cr, layout, cache, scale);
    } else {
        paintAbout(cr, cache, scale);
    }
    cairo_destroy(cr);
    cairo_surface_flush(out);
    return out;
}

} // namespace panelart
