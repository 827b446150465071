// The bitmap-font text display.
#include "editor/BitmapDisplay.h"

#include <algorithm>

#include "toolkit/Bitmap.h"

namespace vorpalix {

using namespace toolkit;

namespace {

// The mouse area of the display and of each cell reaches a little beyond the drawn glyphs.
constexpr int kMouseMarginX = 3;
constexpr int kMouseMarginY = 4;

} // namespace

CBitmapDisplay::CBitmapDisplay(const Rect& rect, std::shared_ptr<Bitmap> background,
                               std::shared_ptr<Bitmap> font, int fonts, int chars,
                               ControlListener* listener, int tag)
    : ViewContainer(rect, background ? std::move(background) : Bitmap::empty()) {
    if (!font)
        font = Bitmap::empty();
    setMouseRect(rect.grown(kMouseMarginX, kMouseMarginY));
    setMouseEnabled(true);
    fonts = std::max(fonts, 1);
    chars = std::clamp(chars, 0, kMaxChars);
    glyphWidth_ = font->getWidth();
    glyphHeight_ = font->getHeight() / fonts;
    cells_.reserve(static_cast<std::size_t>(chars));
    for (int i = 0; i < chars; ++i) {
        const Rect cellRect{i * glyphWidth_, 0, (i + 1) * glyphWidth_, glyphHeight_};
        auto* glyph = add<MovieBitmap>(cellRect, listener, tag, fonts, glyphHeight_, font, Point{});
        glyph->setMouseRect(cellRect.grown(kMouseMarginX, kMouseMarginY));
        cells_.push_back(glyph);
    }
}

void CBitmapDisplay::setText(std::string_view text) {
    const std::size_t shown = std::min(text.size(), cells_.size());
    for (std::size_t j = 0; j < cells_.size(); ++j) {
        float value = 0.0f;
        if (j < shown) {
            const int code = static_cast<unsigned char>(text[j]);
            if (code >= 32 && code <= 127)
                value = static_cast<float>(code - 32) * (1.0f / 95.0f);
        }
        cells_[j]->setValue(value);
    }
}

int CBitmapDisplay::glyphAt(int cellIndex) const {
    const MovieBitmap* c = cell(cellIndex);
    if (c == nullptr)
        return 0;
    return frameFromValueRound(std::min(c->getValue(), 1.0f), c->getFrameCount());
}

MovieBitmap* CBitmapDisplay::cell(int i) const {
    return i >= 0 && i < static_cast<int>(cells_.size()) ? cells_[static_cast<std::size_t>(i)]
                                                         : nullptr;
}

} // namespace vorpalix
