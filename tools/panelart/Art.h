#pragma once

// Which bitmaps the panel needs and how each is painted: the background (id 100), one strip per
// bitmap id that the layout's controls name, and the preset browser's and About box's bitmaps,
// which the editor lays out itself.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <cairo.h>

#include "Layout.h"

namespace panelart {

constexpr int kBackgroundId = 100;
constexpr int kBackgroundWidth = 999;
constexpr int kBackgroundHeight = 617;
constexpr int kTopBarHeight = 68;

struct InstrumentInfo {
    const char* code;
    const char* name; // printed in the section header
};
extern const std::array<InstrumentInfo, 11> kInstruments;
// The instrument whose code starts a control name ("BD Level" -> 0), or -1.
int instrumentOf(std::string_view controlName);

struct Bitmap {
    int id = 0;
    int width = 0, height = 0, frames = 1; // one frame, in 1x pixels
    bool opaque = false;
    std::function<void(cairo_t*, int frame)> paint;
};

// Every bitmap the layout and the two overlay panels use. Fails (with one line in error) on a
// control that names a bitmap it cannot draw, or on one id used with two different sizes.
std::optional<std::vector<Bitmap>> planBitmaps(const Layout& layout, std::string& error);

// All frames of a bitmap stacked top to bottom, at the given scale. The caller destroys it.
cairo_surface_t* renderBitmap(const Bitmap& bitmap, int scale);

// The panels (Panels.cpp).
void paintBackground(cairo_t* cr, const Layout& layout);
void paintPresetBrowser(cairo_t* cr, double w, double h);
void paintAboutBox(cairo_t* cr, double w, double h);

// The previews: the background with every control's image at its place, showing a plausible
// state (a pattern in write mode, knobs at their defaults), and the two overlay panels with
// their controls. The caller destroys them.
enum class PreviewPanel { Main, PresetBrowser, AboutBox };
cairo_surface_t* renderPreview(const Layout& layout, const std::vector<Bitmap>& bitmaps, int scale,
                               PreviewPanel panel);

} // namespace panelart
