// One line of text in one of the eight standard fonts, centred by default, over a background
// colour (or a background bitmap, or nothing when transparent). Texts are kept to 255 bytes.
// Labels take no mouse clicks.
// UI thread only.
#pragma once

#include <string>
#include <string_view>

#include "toolkit/Control.h"
#include "toolkit/DrawContext.h"

namespace vorpalix::toolkit {

inline constexpr std::size_t kMaxTextLength = 255;

class TextLabel : public Control {
public:
    explicit TextLabel(const Rect& rect, std::string_view text = {},
                       std::shared_ptr<Bitmap> background = nullptr);

    const std::string& getText() const { return text_; }
    // Cuts the text to 255 bytes; marks the label dirty when it changes.
    virtual void setText(std::string_view text);

    int getFont() const { return font_; }
    void setFont(int fontIndex);
    Color getFontColor() const { return fontColor_; }
    void setFontColor(Color color);
    Color getBackColor() const { return backColor_; }
    void setBackColor(Color color);
    TextAlign getAlign() const { return align_; }
    void setAlign(TextAlign align);

    void draw(DrawContext& context) override;

protected:
    // Background (bitmap, colour or nothing) and then `text`.
    void drawWithText(DrawContext& context, std::string_view text);

private:
    std::string text_;
    int font_ = kNormalFontIndex;
    Color fontColor_ = kBlackColor;
    Color backColor_ = kWhiteColor;
    TextAlign align_ = TextAlign::Center;
};

} // namespace vorpalix::toolkit
