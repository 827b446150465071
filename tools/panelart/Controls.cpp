#include "Controls.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

namespace panelart {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

void circle(cairo_t* cr, double cx, double cy, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
}

void strokeLine(cairo_t* cr, double x0, double y0, double x1, double y1, double width, Colour c) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    setColour(cr, c);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
}

// Ink on a cap of this colour: dark on light caps, cream on dark ones.
Colour inkOn(Colour cap) {
    const double luma = 0.3 * cap.r + 0.59 * cap.g + 0.11 * cap.b;
    return luma > 0.45 ? rgb(0x1d1f22, 0.85) : palette::kInk;
}

} // namespace

void drawIcon(cairo_t* cr, Icon icon, double cx, double cy, double s, Colour c) {
    cairo_save(cr);
    setColour(cr, c);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 1.5);
    switch (icon) {
    case Icon::None:
        break;
    case Icon::TriangleLeft:
        cairo_move_to(cr, cx - s, cy);
        cairo_line_to(cr, cx + s * 0.8, cy - s);
        cairo_line_to(cr, cx + s * 0.8, cy + s);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
    case Icon::TriangleRight:
    case Icon::Play:
        cairo_move_to(cr, cx + s, cy);
        cairo_line_to(cr, cx - s * 0.8, cy - s);
        cairo_line_to(cr, cx - s * 0.8, cy + s);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
    case Icon::ShiftLeft:
    case Icon::ShiftRight: {
        const double d = icon == Icon::ShiftLeft ? -1.0 : 1.0;
        for (double off : {-0.45 * s, 0.45 * s}) {
            cairo_move_to(cr, cx + off - d * s * 0.35, cy - s * 0.7);
            cairo_line_to(cr, cx + off + d * s * 0.35, cy);
            cairo_line_to(cr, cx + off - d * s * 0.35, cy + s * 0.7);
        }
        cairo_stroke(cr);
        break;
    }
    case Icon::Cross:
        cairo_move_to(cr, cx - s * 0.6, cy - s * 0.6);
        cairo_line_to(cr, cx + s * 0.6, cy + s * 0.6);
        cairo_move_to(cr, cx + s * 0.6, cy - s * 0.6);
        cairo_line_to(cr, cx - s * 0.6, cy + s * 0.6);
        cairo_stroke(cr);
        break;
    case Icon::Undo: {
        // An arc over the top, its left end an arrow head pointing down.
        const double r = s * 0.7, ax = cx - r + s * 0.15, ay = cy + s * 0.1;
        cairo_arc(cr, ax + r, ay, r, 180 * kDeg, 420 * kDeg);
        cairo_stroke(cr);
        cairo_move_to(cr, ax - s * 0.5, ay - s * 0.1);
        cairo_line_to(cr, ax + s * 0.5, ay - s * 0.1);
        cairo_line_to(cr, ax, ay + s * 0.6);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
    }
    case Icon::Up:
        cairo_move_to(cr, cx, cy - s * 0.7);
        cairo_line_to(cr, cx + s, cy + s * 0.55);
        cairo_line_to(cr, cx - s, cy + s * 0.55);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
    case Icon::Down:
        cairo_move_to(cr, cx, cy + s * 0.7);
        cairo_line_to(cr, cx + s, cy - s * 0.55);
        cairo_line_to(cr, cx - s, cy - s * 0.55);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
    case Icon::List:
        for (int i = -1; i <= 1; ++i) {
            const double y = std::floor(cy + i * s * 0.6) + 0.5;
            cairo_move_to(cr, std::floor(cx - s) + 0.5, y);
            cairo_line_to(cr, std::floor(cx + s) + 0.5, y);
        }
        cairo_set_line_width(cr, 1.0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
        cairo_stroke(cr);
        break;
    case Icon::Stop:
        cairo_rectangle(cr, cx - s * 0.8, cy - s * 0.8, s * 1.6, s * 1.6);
        cairo_fill(cr);
        break;
    case Icon::Folder: {
        const double x = std::floor(cx - s) + 0.5, y = std::floor(cy - s * 0.75) + 0.5;
        const double w = std::floor(2 * s), h = std::floor(1.5 * s);
        cairo_move_to(cr, x, y + h);
        cairo_line_to(cr, x, y);
        cairo_line_to(cr, x + w * 0.38, y);
        cairo_line_to(cr, x + w * 0.5, y + 2);
        cairo_line_to(cr, x + w, y + 2);
        cairo_line_to(cr, x + w, y + h);
        cairo_close_path(cr);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        cairo_move_to(cr, x, y + 4);
        cairo_line_to(cr, x + w, y + 4);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        break;
    }
    case Icon::Disk: {
        const double x = std::floor(cx - s * 0.85) + 0.5, y = std::floor(cy - s * 0.85) + 0.5;
        const double w = std::floor(1.7 * s);
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x + w - 2, y);
        cairo_line_to(cr, x + w, y + 2);
        cairo_line_to(cr, x + w, y + w);
        cairo_line_to(cr, x, y + w);
        cairo_close_path(cr);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        cairo_rectangle(cr, x + 2.5, y, w - 6, 3.5);
        cairo_fill(cr);
        cairo_rectangle(cr, x + 2, y + w - 4.5, w - 4, 3);
        cairo_stroke(cr);
        break;
    }
    case Icon::Dot:
        circle(cr, cx, cy, s * 0.4);
        cairo_fill(cr);
        break;
    }
    cairo_restore(cr);
}

void keyCap(cairo_t* cr, double x, double y, double w, double h, double radius, Colour cap,
            bool pressed) {
    h -= 1.0;
    if (!pressed) {
        roundedRect(cr, x, y + 1.0, w, h, radius);
        setColour(cr, rgb(0x000000, 0.55));
        cairo_fill(cr);
    } else {
        y += 1.0;
    }
    const Colour top = pressed ? darker(cap, 0.10) : lighter(cap, 0.10);
    const Colour bottom = pressed ? darker(cap, 0.22) : darker(cap, 0.16);
    fillVertical(cr, x, y, w, h, radius, top, bottom);
    strokeInside(cr, x, y, w, h, radius, rgb(0x000000, 0.45));
    if (!pressed) {
        // A thin highlight along the top edge.
        cairo_move_to(cr, x + radius, y + 1.5);
        cairo_line_to(cr, x + w - radius, y + 1.5);
        setColour(cr, lighter(cap, 0.35));
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    }
}

void ledLens(cairo_t* cr, double x, double y, double w, double h, Colour lit, bool on,
             double dimGlow) {
    roundedRect(cr, x, y, w, h, std::min(w, h) / 2.5);
    if (on) {
        setColour(cr, lit);
        cairo_fill(cr);
        // Hot centre and a soft bloom around the lens.
        cairo_save(cr);
        roundedRect(cr, x + 1, y + 1, w - 2, std::max(1.0, h / 2.5), 1);
        setColour(cr, lighter(lit, 0.55));
        cairo_fill(cr);
        cairo_restore(cr);
        cairo_save(cr);
        cairo_translate(cr, x + w / 2, y + h / 2);
        cairo_scale(cr, 1.0, std::max(0.35, h / w));
        glow(cr, 0, 0, w * 0.75, lit, 0.45);
        cairo_restore(cr);
    } else {
        setColour(cr, mix(darker(lit, 0.78), lit, dimGlow));
        cairo_fill(cr);
        roundedRect(cr, x + 1, y + 0.5, w - 2, 1.2, 0.6);
        setColour(cr, rgb(0xffffff, 0.10));
        cairo_fill(cr);
    }
    strokeInside(cr, x, y, w, h, std::min(w, h) / 2.5, rgb(0x000000, 0.5));
}

// ---------------------------------------------------------------------------------------------
// Knobs.

double knobAngle(double value) {
    return (135.0 + 270.0 * std::clamp(value, 0.0, 1.0)) * kDeg;
}

double selectorAngle(int position, int positions) {
    return (120.0 + 300.0 * position / std::max(1, positions - 1)) * kDeg;
}

// A knob's body: its drop shadow and its shaded skirt.
static void paintKnobSkirt(cairo_t* cr, double cx, double cy, double bodyR) {
    circle(cr, cx, cy + 1.5, bodyR + 0.5);
    setColour(cr, rgb(0x000000, 0.55));
    cairo_fill(cr);
    cairo_pattern_t* skirt = cairo_pattern_create_linear(0, cy - bodyR, 0, cy + bodyR);
    cairo_pattern_add_color_stop_rgb(skirt, 0, 0.33, 0.35, 0.38);
    cairo_pattern_add_color_stop_rgb(skirt, 1, 0.09, 0.10, 0.11);
    circle(cr, cx, cy, bodyR);
    cairo_set_source(cr, skirt);
    cairo_fill(cr);
    cairo_pattern_destroy(skirt);
}

void paintKnob(cairo_t* cr, double w, double h, double value, KnobSize size) {
    const bool large = size == KnobSize::Large;
    const double cx = w / 2.0, cy = h / 2.0;
    const double ringWidth = large ? 3.5 : 2.5;
    const double ringR = std::min(w, h) / 2.0 - ringWidth / 2.0 - (large ? 1.5 : 0.5);
    const double bodyR = ringR - (large ? 6.0 : 4.0);
    const double angle = knobAngle(value);

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    // Value ring: the track, then the lit part from the minimum to the value.
    cairo_arc(cr, cx, cy, ringR, knobAngle(0), knobAngle(1));
    setColour(cr, rgb(0x0e0f11));
    cairo_set_line_width(cr, ringWidth + 1.0);
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, ringR, knobAngle(0), std::max(angle, knobAngle(0) + 0.02));
    setColour(cr, palette::kOrange);
    cairo_set_line_width(cr, ringWidth - 0.5);
    cairo_stroke(cr);

    // Body: shadow, skirt, face.
    paintKnobSkirt(cr, cx, cy, bodyR);
    if (large) {
        // Knurled grip that turns with the knob.
        for (int i = 0; i < 36; ++i) {
            const double a = angle + i * 10.0 * kDeg;
            cairo_move_to(cr, cx + std::cos(a) * (bodyR - 2.8), cy + std::sin(a) * (bodyR - 2.8));
            cairo_line_to(cr, cx + std::cos(a) * (bodyR - 0.6), cy + std::sin(a) * (bodyR - 0.6));
        }
        setColour(cr, rgb(0x000000, 0.35));
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    }
    const double faceR = bodyR - (large ? 3.5 : 2.0);
    cairo_pattern_t* face = cairo_pattern_create_linear(0, cy - faceR, 0, cy + faceR);
    cairo_pattern_add_color_stop_rgb(face, 0, 0.27, 0.29, 0.32);
    cairo_pattern_add_color_stop_rgb(face, 1, 0.15, 0.16, 0.18);
    circle(cr, cx, cy, faceR);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    circle(cr, cx, cy, faceR);
    setColour(cr, rgb(0x000000, 0.35));
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);

    // Pointer.
    const double inner = large ? 5.0 : 2.5;
    strokeLine(cr, cx + std::cos(angle) * inner, cy + std::sin(angle) * inner,
               cx + std::cos(angle) * (bodyR - 1.5), cy + std::sin(angle) * (bodyR - 1.5),
               large ? 3.0 : 2.0, palette::kCream);
}

void paintSelector(cairo_t* cr, double w, double h, int position, int positions) {
    const double cx = w / 2.0, cy = h / 2.0;
    const double bodyR = std::min(w, h) / 2.0 - 9.0;
    const double angle = selectorAngle(position, positions);
    // Indicator dot beyond the body, pointing at the printed position name.
    const double dotR = bodyR + 4.0;
    glow(cr, cx + std::cos(angle) * dotR, cy + std::sin(angle) * dotR, 5.0, palette::kOrange, 0.5);
    circle(cr, cx + std::cos(angle) * dotR, cy + std::sin(angle) * dotR, 1.8);
    setColour(cr, lighter(palette::kOrange, 0.3));
    cairo_fill(cr);

    paintKnobSkirt(cr, cx, cy, bodyR);
    // A bar across the face, like a rotary switch's grip.
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, angle);
    roundedRect(cr, -bodyR + 2.0, -4.0, 2 * bodyR - 4.0, 8.0, 4.0);
    cairo_pattern_t* bar = cairo_pattern_create_linear(0, -4, 0, 4);
    cairo_pattern_add_color_stop_rgb(bar, 0, 0.30, 0.32, 0.35);
    cairo_pattern_add_color_stop_rgb(bar, 1, 0.18, 0.19, 0.21);
    cairo_set_source(cr, bar);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(bar);
    setColour(cr, rgb(0x000000, 0.5));
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_restore(cr);
    strokeLine(cr, cx + std::cos(angle) * 3.0, cy + std::sin(angle) * 3.0,
               cx + std::cos(angle) * (bodyR - 3.0), cy + std::sin(angle) * (bodyR - 3.0), 2.0,
               palette::kCream);
}

void paintOutputNumber(cairo_t* cr, double w, double h, int number) {
    roundedRect(cr, 0, 0, w, h, 2.5);
    setColour(cr, palette::kGlass);
    cairo_fill(cr);
    strokeInside(cr, 0, 0, w, h, 2.5, rgb(0x3a3d42));
    drawTextIn(cr, std::to_string(number + 1), 0, 0, w, h, 1.0, palette::kLcdText);
}

void paintScrew(cairo_t* cr, double w, double h, double value) {
    const double cx = w / 2.0, cy = h / 2.0;
    // The oblong hole of a rack ear, then the screw head in it.
    const double slotW = std::min(w - 8.0, 17.0);
    roundedRect(cr, cx - slotW / 2, 2, slotW, h - 4, slotW / 2);
    setColour(cr, rgb(0x08090a));
    cairo_fill(cr);
    roundedRect(cr, cx - slotW / 2 + 0.5, 2.5, slotW - 1, h - 5, slotW / 2);
    setColour(cr, rgb(0x000000, 0.6));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    const double r = slotW / 2 - 1.0;
    circle(cr, cx, cy + 1.0, r);
    setColour(cr, rgb(0x000000, 0.6));
    cairo_fill(cr);
    cairo_pattern_t* head = cairo_pattern_create_radial(cx - r * 0.35, cy - r * 0.4, 1, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(head, 0, 0.85, 0.86, 0.88);
    cairo_pattern_add_color_stop_rgb(head, 1, 0.42, 0.44, 0.47);
    circle(cr, cx, cy, r);
    cairo_set_source(cr, head);
    cairo_fill(cr);
    cairo_pattern_destroy(head);
    circle(cr, cx, cy, r - 0.5);
    setColour(cr, rgb(0x000000, 0.45));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    // Cross recess, turned by the value.
    const double a = (30.0 + 180.0 * std::clamp(value, 0.0, 1.0)) * kDeg;
    for (double turn : {0.0, 90.0 * kDeg}) {
        const double c = std::cos(a + turn) * (r - 2.0), s = std::sin(a + turn) * (r - 2.0);
        strokeLine(cr, cx - c, cy - s, cx + c, cy + s, 2.2, rgb(0x2a2c2f));
    }
}

// ---------------------------------------------------------------------------------------------
// Displays.

namespace {

constexpr Colour kDigitGlass = rgb(0x140a09);
constexpr Colour kDigitLit = rgb(0xff3d24);

// Segment masks, bits a..g = 0..6.
unsigned segmentsOf(char glyph) {
    switch (glyph) {
    case '0':
        return 0b0111111;
    case '1':
        return 0b0000110;
    case '2':
        return 0b1011011;
    case '3':
        return 0b1001111;
    case '4':
        return 0b1100110;
    case '5':
        return 0b1101101;
    case '6':
        return 0b1111101;
    case '7':
        return 0b0000111;
    case '8':
        return 0b1111111;
    case '9':
        return 0b1101111;
    case 'A':
        return 0b1110111;
    case 'B':
        return 0b1111100; // b
    case 'C':
        return 0b0111001;
    case 'D':
        return 0b1011110; // d
    case 'E':
        return 0b1111001;
    case 'F':
        return 0b1110001;
    case 'G':
        return 0b0111101;
    case 'P':
        return 0b1110011;
    case '-':
        return 0b1000000;
    default:
        return 0;
    }
}

// A bar with pointed ends between two points, sheared for the display's slant.
void segmentPath(cairo_t* cr, double x0, double y0, double x1, double y1, double t, double slant,
                 double midY) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double len = std::hypot(dx, dy);
    const double ux = dx / len, uy = dy / len;
    const double nx = -uy * t / 2, ny = ux * t / 2;
    const double gap = 1.0;
    const double ax = x0 + ux * gap, ay = y0 + uy * gap;
    const double bx = x1 - ux * gap, by = y1 - uy * gap;
    const double tip = t / 2;
    const double pts[6][2] = {{ax, ay},
                              {ax + ux * tip + nx, ay + uy * tip + ny},
                              {bx - ux * tip + nx, by - uy * tip + ny},
                              {bx, by},
                              {bx - ux * tip - nx, by - uy * tip - ny},
                              {ax + ux * tip - nx, ay + uy * tip - ny}};
    for (int i = 0; i < 6; ++i) {
        const double x = pts[i][0] + slant * (midY - pts[i][1]);
        if (i == 0) {
            cairo_move_to(cr, x, pts[i][1]);
        } else {
            cairo_line_to(cr, x, pts[i][1]);
        }
    }
    cairo_close_path(cr);
}

} // namespace

void paintDigit(cairo_t* cr, double w, double h, char glyph, bool point) {
    cairo_rectangle(cr, 0, 0, w, h);
    setColour(cr, kDigitGlass);
    cairo_fill(cr);
    const double t = std::max(2.5, w * 0.12);
    const double left = w * 0.22, right = w * 0.74;
    const double top = h * 0.12, bottom = h * 0.86, mid = (top + bottom) / 2;
    const double slant = 0.09;
    struct Seg {
        double x0, y0, x1, y1;
    };
    const std::array<Seg, 7> segs = {{{left, top, right, top},
                                      {right, top, right, mid},
                                      {right, mid, right, bottom},
                                      {left, bottom, right, bottom},
                                      {left, mid, left, bottom},
                                      {left, top, left, mid},
                                      {left, mid, right, mid}}};
    unsigned lit = segmentsOf(glyph);
    std::array<Seg, 4> sharp = {{{left + 3.5, top + 3, left + 2.5, bottom - 3},
                                 {right - 2.5, top + 3, right - 3.5, bottom - 3},
                                 {left - 1, mid - 5, right + 1, mid - 6.5},
                                 {left - 1, mid + 6.5, right + 1, mid + 5}}};
    // Unlit segments stay faintly visible behind the glass.
    for (const Seg& s : segs) {
        segmentPath(cr, s.x0, s.y0, s.x1, s.y1, t, slant, mid);
    }
    setColour(cr, rgb(0xff3d24, glyph == '#' ? 0.04 : 0.075));
    cairo_fill(cr);
    auto litPath = [&](auto&& addPaths) {
        addPaths();
        setColour(cr, rgb(0xff3d24, 0.22));
        cairo_set_line_width(cr, 3.0);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke_preserve(cr);
        setColour(cr, kDigitLit);
        cairo_fill_preserve(cr);
        cairo_new_path(cr);
    };
    if (glyph == '#') {
        litPath([&] {
            for (const Seg& s : sharp) {
                segmentPath(cr, s.x0, s.y0, s.x1, s.y1, t * 0.85, slant, mid);
            }
        });
    } else if (lit != 0) {
        litPath([&] {
            for (int i = 0; i < 7; ++i) {
                if (lit & (1u << i)) {
                    segmentPath(cr, segs[i].x0, segs[i].y0, segs[i].x1, segs[i].y1, t, slant, mid);
                }
            }
        });
    }
    const double px = right + t * 0.9 + slant * (mid - bottom), py = bottom;
    circle(cr, px, py, t * 0.5);
    setColour(cr, point ? kDigitLit : rgb(0xff3d24, 0.075));
    cairo_fill(cr);
    if (point) {
        glow(cr, px, py, t * 1.4, kDigitLit, 0.3);
    }
}

void paintFontCell(cairo_t* cr, double w, double h, int code) {
    cairo_rectangle(cr, 0, 0, w, h);
    setColour(cr, kDigitGlass);
    cairo_fill(cr);
    const double left = std::floor((w - kPixelGlyphWidth) / 2.0);
    for (int row = 0; row < kPixelGlyphHeight; ++row) {
        for (int col = 0; col < kPixelGlyphWidth; ++col) {
            if (pixelDot(code, row, col)) {
                cairo_rectangle(cr, left + col, row, 1, 1);
            }
        }
    }
    setColour(cr, rgb(0xff5a36));
    cairo_fill(cr);
}

// ---------------------------------------------------------------------------------------------
// Keys.

void paintStepKey(cairo_t* cr, double w, double h, int step, int state, bool pressed) {
    static constexpr std::array<const char*, 16> kLegends = {"C",   "C#",  "D",   "D#", "E",  "F",
                                                             "F#",  "G",   "G#",  "A",  "A#", "B",
                                                             "1/5", "2/6", "3/7", "4/8"};
    static constexpr std::array<Colour, 4> kCaps = {palette::kRed, palette::kOrange,
                                                    palette::kYellow, palette::kCream};
    const Colour cap = kCaps[static_cast<std::size_t>(((step - 1) / 4) % 4)];

    // LED above the key, in a dark well.
    const double ledW = std::round(w * 0.44);
    const double wellX = std::round((w - ledW) / 2) - 2;
    roundedRect(cr, wellX, 0, ledW + 4, 10, 3);
    setColour(cr, rgb(0x0c0d0e));
    cairo_fill(cr);
    // State 0 off, 1 group (green), 2 pattern (red), 3 empty step (dim), 4 note, 5 accent.
    const bool on = state == 1 || state == 2 || state == 4 || state == 5;
    const Colour led = state == 1   ? palette::kLedGreen
                       : state == 5 ? palette::kLedAmber
                                    : palette::kLedRed;
    ledLens(cr, wellX + 2, 2.5, ledW, 5, led, on, state == 3 ? 0.4 : 0.0);

    const double capY = 13, capH = h - capY;
    keyCap(cr, 2, capY, w - 4, capH, 4, cap, pressed);
    const double dy = pressed ? 1.0 : 0.0;
    const Colour ink = rgb(0x1d1f22, 0.82);
    drawTextIn(cr, std::to_string(step), 2, capY + dy + 4, w - 4, 16, 2.0, ink);
    drawTextIn(cr, kLegends[static_cast<std::size_t>((step - 1) % 16)], 2, capY + dy + capH - 15,
               w - 4, 9, 1.0, rgb(0x1d1f22, 0.6));
}

void paintSelectKey(cairo_t* cr, double w, double h, std::string_view label, bool on) {
    keyCap(cr, 1, 1, w - 2, h - 1, 3, palette::kKeyLow, false);
    const double ledW = 16;
    ledLens(cr, std::round((w - ledW) / 2), 5, ledW, 4, palette::kLedRed, on);
    drawTextIn(cr, label, 1, 12, w - 2, h - 15, 2.0,
               on ? lighter(palette::kInk, 0.4) : mix(palette::kInk, palette::kKeyLow, 0.3));
}

void paintToggleKey(cairo_t* cr, double w, double h, std::string_view label, bool on, Colour lit) {
    const Colour cap = on ? lit : palette::kKey;
    if (on) {
        glow(cr, w / 2, h / 2, std::max(w, h) * 0.75, lit, 0.35);
    }
    keyCap(cr, 1, 1, w - 2, h - 1, 3, cap, false);
    drawTextIn(cr, label, 1, 1, w - 2, h - 3, 1.0, inkOn(cap));
}

void paintLevelModeKey(cairo_t* cr, double w, double h, bool on) {
    paintToggleKey(cr, w, h, on ? "RAND" : "LEVEL", on, palette::kLedAmber);
}

void paintModeKey(cairo_t* cr, double w, double h, bool on, bool pressed, Colour cap) {
    const double ledW = std::round(w * 0.4);
    roundedRect(cr, std::round((w - ledW) / 2) - 1.5, 0, ledW + 3, 6, 2);
    setColour(cr, rgb(0x0c0d0e));
    cairo_fill(cr);
    ledLens(cr, std::round((w - ledW) / 2), 1.5, ledW, 3, palette::kLedRed, on);
    keyCap(cr, 2, 8, w - 4, h - 8, 3, cap, pressed);
}

void paintActionKey(cairo_t* cr, double w, double h, bool pressed, Icon icon) {
    keyCap(cr, 1, 1, w - 2, h - 1, 3, palette::kKey, pressed);
    drawIcon(cr, icon, w / 2, h / 2 + (pressed ? 1.0 : 0.0), std::min(w, h) * 0.22,
             pressed ? palette::kOrange : palette::kInk);
}

void paintTransportKey(cairo_t* cr, double w, double h, bool pressed, bool start) {
    const Colour cap = start ? palette::kCream : palette::kRed;
    keyCap(cr, 2, 2, w - 4, h - 2, 5, cap, pressed);
    const double dy = pressed ? 1.0 : 0.0;
    const Colour ink = rgb(0x1d1f22, 0.85);
    if (start) {
        drawIcon(cr, Icon::Play, w / 2, 22 + dy, 7, ink);
        drawTextIn(cr, "START", 2, 36 + dy, w - 4, 9, 1.0, ink);
    } else {
        drawIcon(cr, Icon::Stop, w / 2, 19 + dy, 5, ink);
        drawTextIn(cr, "STOP", 2, 31 + dy, w - 4, 9, 1.0, ink);
        drawTextIn(cr, "CONT", 2, 42 + dy, w - 4, 9, 1.0, ink);
    }
}

void paintScaleLed(cairo_t* cr, double w, double h, bool on) {
    ledLens(cr, 1, 1, w - 2, h - 2, palette::kLedRed, on);
}

void paintSwitch(cairo_t* cr, double w, double h, int position, int positions,
                 std::string_view label) {
    roundedRect(cr, 0, 0, w, h, 4);
    setColour(cr, palette::kGlass);
    cairo_fill(cr);
    strokeInside(cr, 0, 0, w, h, 4, rgb(0x000000, 0.8));
    cairo_move_to(cr, 4, h - 0.5);
    cairo_line_to(cr, w - 4, h - 0.5);
    setColour(cr, rgb(0xffffff, 0.12));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    // One pill per position; the chosen one lit.
    const double gap = 2, left = 5, span = w - 10;
    const double segW = (span - gap * (positions - 1)) / positions;
    for (int i = 0; i < positions; ++i) {
        const double x = left + i * (segW + gap);
        ledLens(cr, x, 4, segW, 4, palette::kOrange, i == position);
    }
    drawTextIn(cr, label, 0, 11, w, h - 13, 1.0, palette::kInk);
}

void paintIconKey(cairo_t* cr, double w, double h, bool pressed, Icon icon, double top) {
    keyCap(cr, 0.5, top, w - 1, h - top, 3, palette::kKey, pressed);
    drawIcon(cr, icon, w / 2, top + (h - top) / 2 + (pressed ? 0.5 : -0.5),
             std::min(w, h - top) * 0.26, pressed ? palette::kOrange : palette::kInk);
}

void paintTextKey(cairo_t* cr, double w, double h, bool pressed, std::string_view label) {
    keyCap(cr, 0.5, 0.5, w - 1, h - 0.5, 3, palette::kKey, pressed);
    drawTextIn(cr, label, 0, pressed ? 1.0 : 0.0, w, h - 1, 1.0,
               pressed ? palette::kOrange : palette::kInk);
}

void paintLogoButton(cairo_t* cr, double w, double h, bool pressed) {
    (void)w;
    const Colour ink = pressed ? palette::kOrange : palette::kCream;
    const double y = pressed ? 2.0 : 1.0;
    drawText(cr, "VORPALIX", 0, y, 2.0, Align::Left, ink);
    const double tw = textWidth("VORPALIX", 2.0);
    static constexpr std::array<Colour, 4> kStripe = {palette::kRed, palette::kOrange,
                                                      palette::kYellow, palette::kCream};
    const double seg = tw / 4.0;
    for (int i = 0; i < 4; ++i) {
        cairo_rectangle(cr, std::round(i * seg), std::min(h - 3.0, y + 17.0),
                        std::round((i + 1) * seg) - std::round(i * seg) - 1, 2);
        setColour(cr, kStripe[static_cast<std::size_t>(i)]);
        cairo_fill(cr);
    }
}

void paintTab(cairo_t* cr, double w, double h, std::string_view label, bool on, bool pressed) {
    const Colour cap = on ? palette::kOrange : palette::kKey;
    keyCap(cr, 0.5, 0.5, w - 1, h - 0.5, 3, cap, pressed);
    drawTextIn(cr, label, 0, pressed ? 1.0 : 0.0, w, h - 1, 1.0, inkOn(cap));
}

void paintSlot(cairo_t* cr, double w, double h, bool on, bool pressed) {
    const double cx = w / 2, cy = h / 2;
    circle(cr, cx, cy, 5.5);
    setColour(cr, rgb(0x0c0d0e));
    cairo_fill(cr);
    if (pressed) {
        circle(cr, cx, cy, 6.0);
        setColour(cr, palette::kOrange);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    }
    if (on) {
        glow(cr, cx, cy, 7.0, palette::kLedAmber, 0.55);
        circle(cr, cx, cy, 3.5);
        setColour(cr, palette::kLedAmber);
        cairo_fill(cr);
        circle(cr, cx - 0.8, cy - 0.8, 1.4);
        setColour(cr, lighter(palette::kLedAmber, 0.6));
        cairo_fill(cr);
    } else {
        circle(cr, cx, cy, 3.5);
        setColour(cr, rgb(0x3a3322));
        cairo_fill(cr);
    }
}

} // namespace panelart
