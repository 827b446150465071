#pragma once

// Drawing helpers shared by every painter of the panel art: colours, shapes, the two fonts.
// All coordinates are logical pixels of the 1x panel; the cairo context carries the scale.

#include <cairo.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace panelart {

struct Colour {
    double r, g, b, a = 1.0;
};

// "#rrggbb" as a compile-time colour.
constexpr Colour rgb(std::uint32_t hex, double alpha = 1.0) {
    return {((hex >> 16) & 0xff) / 255.0, ((hex >> 8) & 0xff) / 255.0, (hex & 0xff) / 255.0, alpha};
}

// The palette: a graphite panel, warm cream print, and the four key colours of the step row.
namespace palette {
constexpr Colour kTopBar = rgb(0x141619);
constexpr Colour kTopBarLow = rgb(0x0f1012);
constexpr Colour kPanel = rgb(0x272a2f);
constexpr Colour kPanelLow = rgb(0x212328);
constexpr Colour kPlate = rgb(0x31353b);
constexpr Colour kPlateLow = rgb(0x2c3035);
constexpr Colour kPlateEdge = rgb(0x17191c);
constexpr Colour kPlateLight = rgb(0x434851);
constexpr Colour kInk = rgb(0xe9e1cd);    // printed labels
constexpr Colour kInkDim = rgb(0x979ba3); // secondary captions
constexpr Colour kInkDark = rgb(0x1d1f22);
constexpr Colour kRed = rgb(0xe2492f);
constexpr Colour kOrange = rgb(0xf08b25);
constexpr Colour kYellow = rgb(0xf2c53d);
constexpr Colour kCream = rgb(0xeee5d1);
constexpr Colour kGlass = rgb(0x0c0d0e); // display windows
constexpr Colour kLedRed = rgb(0xff4a32);
constexpr Colour kLedRedOff = rgb(0x4a1812);
constexpr Colour kLedAmber = rgb(0xffc04a);
constexpr Colour kLedGreen = rgb(0x63e07a);
constexpr Colour kLcdText = rgb(0xffb347);
constexpr Colour kKey = rgb(0x4a4f57);
constexpr Colour kKeyLow = rgb(0x3a3e45);
constexpr Colour kField = rgb(0xe8e1cf); // light text fields (black text)
} // namespace palette

// Colour of instrument i (0..10): the step-key colours run red, orange, yellow, cream across
// the machine, so every instrument section is tinted like the keys under it.
Colour instrumentColour(int instrument);

Colour mix(Colour a, Colour b, double t);
Colour lighter(Colour c, double amount);
Colour darker(Colour c, double amount);

void setColour(cairo_t* cr, Colour c);
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
// Fills a rounded rectangle with a vertical gradient from top to bottom.
void fillVertical(cairo_t* cr, double x, double y, double w, double h, double r, Colour top,
                  Colour bottom);
// A 1-pixel outline on the pixel grid, inside the rectangle.
void strokeInside(cairo_t* cr, double x, double y, double w, double h, double r, Colour c,
                  double width = 1.0);
// A soft round glow, for lit LEDs.
void glow(cairo_t* cr, double cx, double cy, double radius, Colour c, double strength);

// ---------------------------------------------------------------------------------------------
// Stroke font: capitals, digits and some signs drawn as strokes on a 5 x 7 grid, so that at
// size 1 every straight stroke falls on the pixel grid. size = pixels per grid unit; the
// glyphs are 7 * size pixels high.

enum class Align { Left, Centre, Right };

double textWidth(std::string_view text, double size);
// Draws text whose ink box starts at (x, y) (left, centre or right edge by align).
void drawText(cairo_t* cr, std::string_view text, double x, double y, double size, Align align,
              Colour colour, double weight = 1.0);
// Text centred in a box, vertically too.
void drawTextIn(cairo_t* cr, std::string_view text, double x, double y, double w, double h,
                double size, Colour colour, double weight = 1.0);
// Lines separated by '\n', centred on cx, the first line's top at y; line pitch 10 * size.
void drawLines(cairo_t* cr, std::string_view text, double cx, double y, double size, Colour colour);
int lineCount(std::string_view text);

// ---------------------------------------------------------------------------------------------
// Pixel font of the pattern name display: 96 glyphs, codes 32..127, 5 x 9 dots each (rows 0..6
// capitals and x-height, rows 7..8 descenders).

constexpr int kPixelGlyphWidth = 5;
constexpr int kPixelGlyphHeight = 9;
bool pixelDot(int code, int row, int column);
// True when every glyph of the pixel font has at most 9 rows of exactly 5 dots.
bool pixelFontWellFormed();

// ---------------------------------------------------------------------------------------------
// PNG encoding into memory (cairo writes no time stamps, so equal pictures give equal bytes).
std::string encodePng(cairo_surface_t* surface);

} // namespace panelart
