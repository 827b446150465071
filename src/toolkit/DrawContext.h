// The one drawing interface of the toolkit, a thin layer over a cairo context. Views draw
// through it in the coordinates of their parent container (a container translates the context
// to its own origin before its children draw). Both window back ends hand the views the same
// context: it always draws into the frame's off-screen image.
// Text uses cairo's simple font API: eight sizes, one per standard font index.
#pragma once

#include <cstdint>
#include <string_view>

#include "toolkit/Geometry.h"

typedef struct _cairo cairo_t;

namespace vorpalix::toolkit {

class Bitmap;

struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;

    friend bool operator==(const Color&, const Color&) = default;
    // 0xRRGGBB, opaque.
    static constexpr Color fromRgb(std::uint32_t rgb) {
        return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                static_cast<std::uint8_t>(rgb), 255};
    }
};

inline constexpr Color kBlackColor{0, 0, 0, 255};
inline constexpr Color kWhiteColor{255, 255, 255, 255};

// The standard fonts by index: system, very big, big, normal, small, smaller, very small, symbol.
inline constexpr int kFontCount = 8;
inline constexpr int kNormalFontIndex = 3;
// Pixel size of a font index (indices outside 0..7 use the normal font).
double fontSize(int fontIndex);

enum class TextAlign { Left, Center, Right };

class DrawContext {
public:
    explicit DrawContext(cairo_t* cr) : cr_(cr) {}

    cairo_t* cairo() const { return cr_; }

    void save();
    void restore();
    void translate(int dx, int dy);
    // Narrows drawing to a rectangle (in the current coordinates) until the next restore().
    void clip(const Rect& rect);
    // The area still drawable, in the current coordinates.
    Rect clipBounds() const;

    void fillRect(const Rect& rect, Color color);
    // A one-pixel outline just inside the rectangle.
    void frameRect(const Rect& rect, Color color);
    void drawLine(Point from, Point to, Color color);
    // Draws the part of the bitmap that starts at `source` into `dest`, blended by its alpha.
    // The frame repaints everything under a dirty area before its views, so a bitmap with
    // transparent parts shows the background there; an opaque bitmap simply replaces the area.
    void drawBitmap(const Bitmap& bitmap, const Rect& dest, Point source);
    // One line of text, vertically centred in the rectangle and clipped to it.
    void drawText(std::string_view text, const Rect& rect, int fontIndex, Color color,
                  TextAlign align = TextAlign::Center);
    double textWidth(std::string_view text, int fontIndex);

    // How many views drew through this context.
    void countView() { ++viewCount_; }
    std::uint64_t getViewCount() const { return viewCount_; }

private:
    void useFont(int fontIndex);

    cairo_t* cr_;
    std::uint64_t viewCount_ = 0;
};

} // namespace vorpalix::toolkit
