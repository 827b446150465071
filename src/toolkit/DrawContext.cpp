// Drawing through cairo.
#include "toolkit/DrawContext.h"

#include <cairo.h>

#include <array>
#include <cmath>
#include <string>

#include "toolkit/Bitmap.h"

namespace vorpalix::toolkit {

namespace {

void setColor(cairo_t* cr, Color c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

// cairo refuses text that is not UTF-8 and then stops drawing on the whole context, so bytes
// that do not form a valid sequence become '?'.
std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80         ? 1
                             : (c >> 5) == 6  ? 2
                             : (c >> 4) == 14 ? 3
                             : (c >> 3) == 30 ? 4
                                              : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) >> 6) == 2;
        if (valid && length > 1) {
            // Reject overlong forms, surrogates and code points above U+10FFFF.
            char32_t cp = c & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            static constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
            valid = cp >= kMinimum[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out.push_back('?');
            ++i;
        }
    }
    return out;
}

} // namespace

double fontSize(int fontIndex) {
    // System, very big, big, normal, small, smaller, very small, symbol.
    static constexpr std::array<double, kFontCount> kSizes{12, 18, 14, 12, 11, 10, 9, 13};
    if (fontIndex < 0 || fontIndex >= kFontCount)
        fontIndex = kNormalFontIndex;
    return kSizes[static_cast<std::size_t>(fontIndex)];
}

void DrawContext::save() {
    cairo_save(cr_);
}
void DrawContext::restore() {
    cairo_restore(cr_);
}
void DrawContext::translate(int dx, int dy) {
    cairo_translate(cr_, dx, dy);
}

void DrawContext::clip(const Rect& rect) {
    cairo_rectangle(cr_, rect.left, rect.top, rect.getWidth(), rect.getHeight());
    cairo_clip(cr_);
}

Rect DrawContext::clipBounds() const {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    return {static_cast<int>(std::floor(x1)), static_cast<int>(std::floor(y1)),
            static_cast<int>(std::ceil(x2)), static_cast<int>(std::ceil(y2))};
}

void DrawContext::fillRect(const Rect& rect, Color color) {
    cairo_save(cr_);
    setColor(cr_, color);
    cairo_rectangle(cr_, rect.left, rect.top, rect.getWidth(), rect.getHeight());
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void DrawContext::frameRect(const Rect& rect, Color color) {
    cairo_save(cr_);
    setColor(cr_, color);
    cairo_set_line_width(cr_, 1.0);
    cairo_rectangle(cr_, rect.left + 0.5, rect.top + 0.5, rect.getWidth() - 1.0,
                    rect.getHeight() - 1.0);
    cairo_stroke(cr_);
    cairo_restore(cr_);
}

void DrawContext::drawLine(Point from, Point to, Color color) {
    cairo_save(cr_);
    setColor(cr_, color);
    cairo_set_line_width(cr_, 1.0);
    cairo_move_to(cr_, from.x + 0.5, from.y + 0.5);
    cairo_line_to(cr_, to.x + 0.5, to.y + 0.5);
    cairo_stroke(cr_);
    cairo_restore(cr_);
}

void DrawContext::drawBitmap(const Bitmap& bitmap, const Rect& dest, Point source) {
    if (bitmap.isEmpty() || dest.isEmpty())
        return;
    cairo_save(cr_);
    cairo_rectangle(cr_, dest.left, dest.top, dest.getWidth(), dest.getHeight());
    cairo_clip(cr_);
    // Only the bitmap's own pixels are copied: outside it the area stays as it was.
    cairo_rectangle(cr_, dest.left, dest.top, bitmap.getWidth() - source.x,
                    bitmap.getHeight() - source.y);
    cairo_clip(cr_);
    cairo_set_source_surface(cr_, bitmap.surface(), dest.left - source.x, dest.top - source.y);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

void DrawContext::useFont(int fontIndex) {
    const bool symbol = fontIndex == kFontCount - 1;
    cairo_select_font_face(cr_, symbol ? "serif" : "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           fontIndex == 0 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, fontSize(fontIndex));
}

double DrawContext::textWidth(std::string_view text, int fontIndex) {
    cairo_save(cr_);
    useFont(fontIndex);
    const std::string s = validUtf8(text);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, s.c_str(), &extents);
    cairo_restore(cr_);
    return extents.x_advance;
}

void DrawContext::drawText(std::string_view text, const Rect& rect, int fontIndex, Color color,
                           TextAlign align) {
    if (text.empty() || rect.isEmpty())
        return;
    const std::string s = validUtf8(text);
    cairo_save(cr_);
    clip(rect);
    useFont(fontIndex);
    setColor(cr_, color);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, s.c_str(), &extents);
    cairo_font_extents_t font;
    cairo_font_extents(cr_, &font);
    double x = rect.left + 1.0;
    if (align == TextAlign::Center)
        x = rect.left + (rect.getWidth() - extents.x_advance) / 2.0;
    else if (align == TextAlign::Right)
        x = rect.right - 1.0 - extents.x_advance;
    const double y = rect.top + (rect.getHeight() + font.ascent - font.descent) / 2.0;
    cairo_move_to(cr_, std::round(x), std::round(y));
    cairo_show_text(cr_, s.c_str());
    cairo_restore(cr_);
}

} // namespace vorpalix::toolkit
