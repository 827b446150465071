// The text label.
#include "toolkit/TextLabel.h"

#include "toolkit/Bitmap.h"

namespace vorpalix::toolkit {

TextLabel::TextLabel(const Rect& rect, std::string_view text, std::shared_ptr<Bitmap> background)
    : Control(rect, nullptr, -1, std::move(background)) {
    TextLabel::setText(text);
    setMouseEnabled(false);
}

void TextLabel::setText(std::string_view text) {
    if (text.size() > kMaxTextLength)
        text = text.substr(0, kMaxTextLength);
    if (text != text_) {
        text_.assign(text);
        setDirty();
    }
}

void TextLabel::setFont(int fontIndex) {
    font_ = fontIndex >= 0 && fontIndex < kFontCount ? fontIndex : kNormalFontIndex;
    setDirty();
}

void TextLabel::setFontColor(Color color) {
    fontColor_ = color;
    setDirty();
}

void TextLabel::setBackColor(Color color) {
    backColor_ = color;
    setDirty();
}

void TextLabel::setAlign(TextAlign align) {
    align_ = align;
    setDirty();
}

void TextLabel::drawWithText(DrawContext& context, std::string_view text) {
    const auto& bitmap = getBackground();
    if (bitmap && !bitmap->isEmpty())
        drawBackground(context);
    else if (!isTransparent())
        context.fillRect(getRect(), backColor_);
    context.drawText(text, getRect(), font_, fontColor_, align_);
}

void TextLabel::draw(DrawContext& context) {
    drawWithText(context, text_);
}

} // namespace vorpalix::toolkit
