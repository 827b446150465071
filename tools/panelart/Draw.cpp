#include "Draw.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <vector>

namespace panelart {

Colour instrumentColour(int instrument) {
    // BD SD | LT MT HT | RS HC | CH OH CR RD
    static constexpr std::array<Colour, 11> kColours = {
        palette::kRed,    palette::kRed,    palette::kOrange, palette::kOrange,
        palette::kOrange, palette::kYellow, palette::kYellow, palette::kCream,
        palette::kCream,  palette::kCream,  palette::kCream};
    return kColours[static_cast<std::size_t>(std::clamp(instrument, 0, 10))];
}

Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

Colour lighter(Colour c, double amount) {
    return mix(c, {1.0, 1.0, 1.0, c.a}, amount);
}

Colour darker(Colour c, double amount) {
    return mix(c, {0.0, 0.0, 0.0, c.a}, amount);
}

void setColour(cairo_t* cr, Colour c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    r = std::min({r, w / 2.0, h / 2.0});
    if (r <= 0.0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    constexpr double kPi = std::numbers::pi;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void fillVertical(cairo_t* cr, double x, double y, double w, double h, double r, Colour top,
                  Colour bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
    cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
    roundedRect(cr, x, y, w, h, r);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void strokeInside(cairo_t* cr, double x, double y, double w, double h, double r, Colour c,
                  double width) {
    const double half = width / 2.0;
    roundedRect(cr, x + half, y + half, w - width, h - width, std::max(0.0, r - half));
    setColour(cr, c);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void glow(cairo_t* cr, double cx, double cy, double radius, Colour c, double strength) {
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, radius);
    cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, strength);
    cairo_pattern_add_color_stop_rgba(p, 0.45, c.r, c.g, c.b, strength * 0.35);
    cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, 0);
    cairo_arc(cr, cx, cy, radius, 0, 2 * std::numbers::pi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// ---------------------------------------------------------------------------------------------
// Stroke font.

namespace {

struct StrokeGlyph {
    char code;
    double width; // rightmost grid column used
    const char* path;
};

// Grid: x 0..width, y 0 (cap line) .. 6 (base line). Commands: M x y (move), L x y (line),
// A cx cy r from to (arc, degrees, clockwise on screen), N (the same anticlockwise), Z (close).
constexpr StrokeGlyph kStrokeGlyphs[] = {
    {' ', 3, ""},
    {'A', 4, "M0 6 L0 2 A2 2 2 180 360 L4 6 M0 4 L4 4"},
    {'B', 4, "M0 6 L0 0 L2.5 0 A2.5 1.5 1.5 270 450 L0 3 M2.5 3 A2.5 4.5 1.5 270 450 L0 6"},
    {'C', 4, "M3.88 1.32 N2 2 2 340 180 L0 4 N2 4 2 180 20"},
    {'D', 4, "M0 0 L2 0 A2 2 2 270 360 L4 4 A2 4 2 0 90 L0 6 Z"},
    {'E', 4, "M4 0 L0 0 L0 6 L4 6 M0 3 L3 3"},
    {'F', 4, "M4 0 L0 0 L0 6 M0 3 L3 3"},
    {'G', 4, "M3.88 1.32 N2 2 2 340 180 L0 4 N2 4 2 180 0 L4 3 L2 3"},
    {'H', 4, "M0 0 L0 6 M4 0 L4 6 M0 3 L4 3"},
    {'I', 0, "M0 0 L0 6"},
    {'J', 4, "M4 0 L4 4 A2 4 2 0 180"},
    {'K', 4, "M0 0 L0 6 M4 0 L0 4 M1.4 2.8 L4 6"},
    {'L', 4, "M0 0 L0 6 L4 6"},
    {'M', 4, "M0 6 L0 0 L2 3 L4 0 L4 6"},
    {'N', 4, "M0 6 L0 0 L4 6 L4 0"},
    {'O', 4, "M0 2 A2 2 2 180 360 L4 4 A2 4 2 0 180 Z"},
    {'P', 4, "M0 6 L0 0 L2.5 0 A2.5 1.5 1.5 270 450 L0 3"},
    {'Q', 4, "M0 2 A2 2 2 180 360 L4 4 A2 4 2 0 180 Z M2.6 4.6 L4 6"},
    {'R', 4, "M0 6 L0 0 L2.5 0 A2.5 1.5 1.5 270 450 L0 3 M2 3 L4 6"},
    {'S', 4, "M4 0 L1.5 0 N1.5 1.5 1.5 270 90 L2.5 3 A2.5 4.5 1.5 270 450 L0 6"},
    {'T', 4, "M0 0 L4 0 M2 0 L2 6"},
    {'U', 4, "M0 0 L0 4 N2 4 2 180 0 L4 0"},
    {'V', 4, "M0 0 L2 6 L4 0"},
    {'W', 5, "M0 0 L1.25 6 L2.5 2 L3.75 6 L5 0"},
    {'X', 4, "M0 0 L4 6 M4 0 L0 6"},
    {'Y', 4, "M0 0 L2 3 L4 0 M2 3 L2 6"},
    {'Z', 4, "M0 0 L4 0 L0 6 L4 6"},
    {'0', 4, "M0 2 A2 2 2 180 360 L4 4 A2 4 2 0 180 Z M3 1.5 L1 4.5"},
    {'1', 2, "M0 1 L2 0 L2 6"},
    {'2', 4, "A2 2 2 215 375 L0 6 L4 6"},
    {'3', 4, "M0 0 L4 0 L2 2.5 A2 4.25 1.75 270 510"},
    {'4', 4, "M3 6 L3 0 L0 4 L4 4"},
    {'5', 4, "M4 0 L0 0 L0 2.5 L2 2.5 A2 4.25 1.75 270 510"},
    {'6', 4, "M3.2 0 L0.6 3.3 M2 2.2 A2 4.1 1.9 270 630"},
    {'7', 4, "M0 0 L4 0 L1.5 6"},
    {'8', 4, "M3.4 1.4 A2 1.4 1.4 0 360 M3.6 4.4 A2 4.4 1.6 0 360"},
    {'9', 4, "M3.4 2.8 L0.8 6 M2 3.8 A2 1.9 1.9 90 450"},
    {'-', 3, "M0 3 L3 3"},
    {'/', 3, "M0 6 L3 0"},
    {'.', 0, "M0 6 L0 6"},
    {',', 1, "M1 5.5 L0 7"},
    {':', 0, "M0 2 L0 2 M0 6 L0 6"},
    {'*', 0, "M0 3 L0 3"}, // a middle dot, for separators
    {'+', 4, "M0 3 L4 3 M2 1 L2 5"},
    {'#', 4, "M1.5 0 L1 6 M3.5 0 L3 6 M0 2 L4 2 M0 4 L4 4"},
    {'<', 3, "M3 0 L0 3 L3 6"},
    {'>', 3, "M0 0 L3 3 L0 6"},
    {'\'', 0, "M0 0 L0 2"},
    {'=', 3, "M0 2 L3 2 M0 4 L3 4"},
    {'!', 0, "M0 0 L0 4 M0 6 L0 6"},
    {'(', 2, "M2 0 L0 2 L0 4 L2 6"},
    {')', 2, "M0 0 L2 2 L2 4 L0 6"},
};

const StrokeGlyph& strokeGlyph(char c) {
    if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 'a' + 'A');
    }
    for (const StrokeGlyph& g : kStrokeGlyphs) {
        if (g.code == c) {
            return g;
        }
    }
    return kStrokeGlyphs[0];
}

// Reads the numbers of one path command.
struct PathReader {
    std::string_view text;
    std::size_t at = 0;

    void skipBlanks() {
        while (at < text.size() && text[at] == ' ') {
            ++at;
        }
    }
    bool done() {
        skipBlanks();
        return at >= text.size();
    }
    char command() {
        skipBlanks();
        return text[at++];
    }
    double number() {
        skipBlanks();
        double v = 0.0;
        const auto r = std::from_chars(text.data() + at, text.data() + text.size(), v);
        at = static_cast<std::size_t>(r.ptr - text.data());
        return v;
    }
};

void glyphPath(cairo_t* cr, const StrokeGlyph& g, double ox, double oy, double size) {
    PathReader in{g.path};
    constexpr double kDeg = std::numbers::pi / 180.0;
    auto px = [&](double x) { return ox + (x + 0.5) * size; };
    auto py = [&](double y) { return oy + (y + 0.5) * size; };
    // A glyph that starts with an arc must not be joined to the previous glyph's last point.
    cairo_new_sub_path(cr);
    while (!in.done()) {
        const char c = in.command();
        if (c == 'M') {
            const double x = in.number(), y = in.number();
            cairo_move_to(cr, px(x), py(y));
        } else if (c == 'L') {
            const double x = in.number(), y = in.number();
            cairo_line_to(cr, px(x), py(y));
        } else if (c == 'A' || c == 'N') {
            const double cx = in.number(), cy = in.number(), r = in.number();
            const double a0 = in.number() * kDeg, a1 = in.number() * kDeg;
            if (c == 'A') {
                cairo_arc(cr, px(cx), py(cy), r * size, a0, a1);
            } else {
                cairo_arc_negative(cr, px(cx), py(cy), r * size, a0, a1);
            }
        } else if (c == 'Z') {
            cairo_close_path(cr);
        }
    }
}

} // namespace

double textWidth(std::string_view text, double size) {
    if (text.empty()) {
        return 0.0;
    }
    double units = -1.0;
    for (char c : text) {
        units += strokeGlyph(c).width + 2.0;
    }
    return units * size;
}

void drawText(cairo_t* cr, std::string_view text, double x, double y, double size, Align align,
              Colour colour, double weight) {
    const double w = textWidth(text, size);
    if (align == Align::Centre) {
        x -= w / 2.0;
    } else if (align == Align::Right) {
        x -= w;
    }
    cairo_save(cr);
    cairo_new_path(cr);
    double cursor = x;
    for (char c : text) {
        const StrokeGlyph& g = strokeGlyph(c);
        glyphPath(cr, g, cursor, y, size);
        cursor += (g.width + 2.0) * size;
    }
    setColour(cr, colour);
    cairo_set_line_width(cr, size * weight);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void drawTextIn(cairo_t* cr, std::string_view text, double x, double y, double w, double h,
                double size, Colour colour, double weight) {
    // Snap to whole pixels at size 1 so that the strokes stay on the pixel grid.
    const double left = std::floor(x + (w - textWidth(text, size)) / 2.0 + 0.5);
    const double top = std::floor(y + (h - 7.0 * size) / 2.0 + 0.5);
    drawText(cr, text, left, top, size, Align::Left, colour, weight);
}

int lineCount(std::string_view text) {
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

void drawLines(cairo_t* cr, std::string_view text, double cx, double y, double size,
               Colour colour) {
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        const std::string_view line = text.substr(start, end - start);
        const double left = std::floor(cx - textWidth(line, size) / 2.0 + 0.5);
        drawText(cr, line, left, y, size, Align::Left, colour);
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
        y += 10.0 * size;
    }
}

// ---------------------------------------------------------------------------------------------
// Pixel font. Each glyph lists its rows from the top, '|' between rows; rows not given are
// empty. '#' is a lit dot.

namespace {

constexpr std::array<const char*, 96> kPixelGlyphs = {
    "",                                                      // space
    "..#..|..#..|..#..|..#..|..#..|.....|..#..",             // !
    ".#.#.|.#.#.|.#.#.",                                     // "
    ".#.#.|.#.#.|#####|.#.#.|#####|.#.#.|.#.#.",             // #
    "..#..|.####|#.#..|.###.|..#.#|####.|..#..",             // $
    "##...|##..#|...#.|..#..|.#...|#..##|...##",             // %
    ".##..|#..#.|#.#..|.#...|#.#.#|#..#.|.##.#",             // &
    "..#..|..#..|.#...",                                     // '
    "...#.|..#..|.#...|.#...|.#...|..#..|...#.",             // (
    ".#...|..#..|...#.|...#.|...#.|..#..|.#...",             // )
    ".....|..#..|#.#.#|.###.|#.#.#|..#..",                   // *
    ".....|..#..|..#..|#####|..#..|..#..",                   // +
    ".....|.....|.....|.....|.....|.##..|..#..|.#...",       // ,
    ".....|.....|.....|#####",                               // -
    ".....|.....|.....|.....|.....|.##..|.##..",             // .
    ".....|....#|...#.|..#..|.#...|#....",                   // /
    ".###.|#...#|#..##|#.#.#|##..#|#...#|.###.",             // 0
    "..#..|.##..|..#..|..#..|..#..|..#..|.###.",             // 1
    ".###.|#...#|....#|...#.|..#..|.#...|#####",             // 2
    "#####|...#.|..#..|...#.|....#|#...#|.###.",             // 3
    "...#.|..##.|.#.#.|#..#.|#####|...#.|...#.",             // 4
    "#####|#....|####.|....#|....#|#...#|.###.",             // 5
    "..##.|.#...|#....|####.|#...#|#...#|.###.",             // 6
    "#####|....#|...#.|..#..|.#...|.#...|.#...",             // 7
    ".###.|#...#|#...#|.###.|#...#|#...#|.###.",             // 8
    ".###.|#...#|#...#|.####|....#|...#.|.##..",             // 9
    ".....|.##..|.##..|.....|.##..|.##..",                   // :
    ".....|.##..|.##..|.....|.##..|..#..|.#...",             // ;
    "...#.|..#..|.#...|#....|.#...|..#..|...#.",             // <
    ".....|.....|#####|.....|#####",                         // =
    ".#...|..#..|...#.|....#|...#.|..#..|.#...",             // >
    ".###.|#...#|....#|...#.|..#..|.....|..#..",             // ?
    ".###.|#...#|....#|.##.#|#.#.#|#.#.#|.###.",             // @
    ".###.|#...#|#...#|#####|#...#|#...#|#...#",             // A
    "####.|#...#|#...#|####.|#...#|#...#|####.",             // B
    ".###.|#...#|#....|#....|#....|#...#|.###.",             // C
    "###..|#..#.|#...#|#...#|#...#|#..#.|###..",             // D
    "#####|#....|#....|####.|#....|#....|#####",             // E
    "#####|#....|#....|####.|#....|#....|#....",             // F
    ".###.|#...#|#....|#.###|#...#|#...#|.####",             // G
    "#...#|#...#|#...#|#####|#...#|#...#|#...#",             // H
    ".###.|..#..|..#..|..#..|..#..|..#..|.###.",             // I
    "..###|...#.|...#.|...#.|...#.|#..#.|.##..",             // J
    "#...#|#..#.|#.#..|##...|#.#..|#..#.|#...#",             // K
    "#....|#....|#....|#....|#....|#....|#####",             // L
    "#...#|##.##|#.#.#|#.#.#|#...#|#...#|#...#",             // M
    "#...#|#...#|##..#|#.#.#|#..##|#...#|#...#",             // N
    ".###.|#...#|#...#|#...#|#...#|#...#|.###.",             // O
    "####.|#...#|#...#|####.|#....|#....|#....",             // P
    ".###.|#...#|#...#|#...#|#.#.#|#..#.|.##.#",             // Q
    "####.|#...#|#...#|####.|#.#..|#..#.|#...#",             // R
    ".####|#....|#....|.###.|....#|....#|####.",             // S
    "#####|..#..|..#..|..#..|..#..|..#..|..#..",             // T
    "#...#|#...#|#...#|#...#|#...#|#...#|.###.",             // U
    "#...#|#...#|#...#|#...#|#...#|.#.#.|..#..",             // V
    "#...#|#...#|#...#|#.#.#|#.#.#|#.#.#|.#.#.",             // W
    "#...#|#...#|.#.#.|..#..|.#.#.|#...#|#...#",             // X
    "#...#|#...#|.#.#.|..#..|..#..|..#..|..#..",             // Y
    "#####|....#|...#.|..#..|.#...|#....|#####",             // Z
    ".###.|.#...|.#...|.#...|.#...|.#...|.###.",             // [
    ".....|#....|.#...|..#..|...#.|....#",                   // backslash
    ".###.|...#.|...#.|...#.|...#.|...#.|.###.",             // ]
    "..#..|.#.#.|#...#",                                     // ^
    ".....|.....|.....|.....|.....|.....|.....|#####",       // _
    ".#...|..#..|...#.",                                     // `
    ".....|.....|.###.|....#|.####|#...#|.####",             // a
    "#....|#....|#.##.|##..#|#...#|#...#|####.",             // b
    ".....|.....|.###.|#....|#....|#...#|.###.",             // c
    "....#|....#|.##.#|#..##|#...#|#...#|.####",             // d
    ".....|.....|.###.|#...#|#####|#....|.###.",             // e
    "..##.|.#..#|.#...|###..|.#...|.#...|.#...",             // f
    ".....|.....|.####|#...#|#...#|.####|....#|#...#|.###.", // g
    "#....|#....|#.##.|##..#|#...#|#...#|#...#",             // h
    "..#..|.....|.##..|..#..|..#..|..#..|.###.",             // i
    "...#.|.....|..##.|...#.|...#.|...#.|...#.|#..#.|.##..", // j
    "#....|#....|#..#.|#.#..|##...|#.#..|#..#.",             // k
    ".##..|..#..|..#..|..#..|..#..|..#..|.###.",             // l
    ".....|.....|##.#.|#.#.#|#.#.#|#.#.#|#.#.#",             // m
    ".....|.....|#.##.|##..#|#...#|#...#|#...#",             // n
    ".....|.....|.###.|#...#|#...#|#...#|.###.",             // o
    ".....|.....|####.|#...#|#...#|####.|#....|#....|#....", // p
    ".....|.....|.####|#...#|#...#|.####|....#|....#|....#", // q
    ".....|.....|#.##.|##..#|#....|#....|#....",             // r
    ".....|.....|.####|#....|.###.|....#|####.",             // s
    ".#...|.#...|###..|.#...|.#...|.#..#|..##.",             // t
    ".....|.....|#...#|#...#|#...#|#..##|.##.#",             // u
    ".....|.....|#...#|#...#|#...#|.#.#.|..#..",             // v
    ".....|.....|#...#|#...#|#.#.#|#.#.#|.#.#.",             // w
    ".....|.....|#...#|.#.#.|..#..|.#.#.|#...#",             // x
    ".....|.....|#...#|#...#|#...#|.####|....#|#...#|.###.", // y
    ".....|.....|#####|...#.|..#..|.#...|#####",             // z
    "...##|..#..|..#..|.#...|..#..|..#..|...##",             // {
    "..#..|..#..|..#..|..#..|..#..|..#..|..#..",             // |
    "##...|..#..|..#..|...#.|..#..|..#..|##...",             // }
    ".....|.....|.#...|#.#.#|...#.",                         // ~
    "#####|#####|#####|#####|#####|#####|#####",             // 127: a full block
};

} // namespace

bool pixelDot(int code, int row, int column) {
    if (code < 32 || code > 127 || row < 0 || row >= kPixelGlyphHeight || column < 0 ||
        column >= kPixelGlyphWidth) {
        return false;
    }
    const std::string_view rows = kPixelGlyphs[static_cast<std::size_t>(code - 32)];
    std::size_t start = 0;
    for (int r = 0; r < row; ++r) {
        start = rows.find('|', start);
        if (start == std::string_view::npos) {
            return false;
        }
        ++start;
    }
    const std::size_t at = start + static_cast<std::size_t>(column);
    return at < rows.size() && rows[at] == '#';
}

bool pixelFontWellFormed() {
    for (const char* glyph : kPixelGlyphs) {
        const std::string_view rows = glyph;
        int count = 0;
        std::size_t start = 0;
        while (start < rows.size()) {
            std::size_t end = rows.find('|', start);
            if (end == std::string_view::npos) {
                end = rows.size();
            }
            const std::string_view row = rows.substr(start, end - start);
            if (row.size() != kPixelGlyphWidth ||
                row.find_first_not_of(".#") != std::string_view::npos) {
                return false;
            }
            ++count;
            start = end + 1;
        }
        if (count > kPixelGlyphHeight) {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

namespace {
cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}
} // namespace

std::string encodePng(cairo_surface_t* surface) {
    std::string bytes;
    if (cairo_surface_write_to_png_stream(surface, appendBytes, &bytes) != CAIRO_STATUS_SUCCESS) {
        return {};
    }
    return bytes;
}

} // namespace panelart
