// A row of character cells drawn from a bitmap font: glyph g (at y = g * glyph height) shows
// the character with code 32 + g. Each cell is a movie bitmap inside this container; setText
// sets the cells' values, which are the display's only state. The pattern name display.
// Up to 128 cells (more are cut to 128); characters outside 32..127 show blank (the space).
// UI thread only.
#pragma once

#include <string_view>
#include <vector>

#include "toolkit/MovieBitmap.h"
#include "toolkit/ViewContainer.h"

namespace vorpalix {

class CBitmapDisplay : public toolkit::ViewContainer {
public:
    static constexpr int kMaxChars = 128;

    // `chars` is brought into 0..128, `fonts` to at least 1.
    CBitmapDisplay(const toolkit::Rect& rect, std::shared_ptr<toolkit::Bitmap> background,
                   std::shared_ptr<toolkit::Bitmap> font, int fonts, int chars,
                   toolkit::ControlListener* listener, int tag);

    // Shows the first `chars` characters of the text; the cells after it go blank.
    void setText(std::string_view text);

    int getChars() const { return static_cast<int>(cells_.size()); }
    int getGlyphWidth() const { return glyphWidth_; }
    int getGlyphHeight() const { return glyphHeight_; }
    // The glyph cell i shows (0 = space).
    int glyphAt(int cell) const;
    toolkit::MovieBitmap* cell(int i) const;

private:
    std::vector<toolkit::MovieBitmap*> cells_;
    int glyphWidth_ = 0;
    int glyphHeight_ = 0;
};

} // namespace vorpalix
