// The editable text field.
#include "toolkit/TextEdit.h"

#include <algorithm>
#include <cmath>

#include "toolkit/Frame.h"

namespace vorpalix::toolkit {

TextEdit::TextEdit(const Rect& rect, ControlListener* listener, int tag, std::string_view text,
                   std::shared_ptr<Bitmap> background)
    : TextLabel(rect, text, std::move(background)) {
    setListener(listener);
    setTag(tag);
    setMouseEnabled(true);
}

void TextEdit::setText(std::string_view text) {
    if (editing_) {
        editing_ = false;
        setDirty();
        if (Frame* frame = getFrame(); frame != nullptr && frame->getFocusView() == this)
            frame->setFocusView(nullptr);
    }
    TextLabel::setText(text);
}

void TextEdit::draw(DrawContext& context) {
    if (!editing_) {
        TextLabel::draw(context);
        return;
    }
    drawWithText(context, edit_);
    // The caret: a line after the characters before it, placed as drawText places the text.
    const Rect& r = getRect();
    const double before = context.textWidth(std::string_view(edit_).substr(0, caret_), getFont());
    const double all = context.textWidth(edit_, getFont());
    double x = r.left + 1.0;
    if (getAlign() == TextAlign::Center)
        x = r.left + (r.getWidth() - all) / 2.0;
    else if (getAlign() == TextAlign::Right)
        x = r.right - 1.0 - all;
    const int caretX = std::clamp(static_cast<int>(std::lround(x + before)), r.left, r.right - 1);
    context.drawLine({caretX, r.top + 1}, {caretX, r.bottom - 2}, getFontColor());
}

bool TextEdit::onMouseDown(Point, std::uint32_t buttons) {
    if (modifierClickTaken(buttons) || (buttons & kLButton) == 0)
        return false;
    if (Frame* frame = getFrame())
        frame->setFocusView(this);
    return false;
}

void TextEdit::onFocusGained() {
    editing_ = true;
    edit_ = getText();
    caret_ = edit_.size();
    setDirty();
}

void TextEdit::onFocusLost() {
    if (editing_)
        finish(true);
}

void TextEdit::finish(bool commit) {
    editing_ = false;
    setDirty();
    if (Frame* frame = getFrame(); frame != nullptr && frame->getFocusView() == this)
        frame->setFocusView(nullptr);
    if (commit) {
        TextLabel::setText(edit_);
        notifyValueChanged();
    }
}

bool TextEdit::onKeyDown(const KeyEvent& key) {
    if (!editing_)
        return false;
    switch (key.key) {
    case Key::Return:
        finish(true);
        return true;
    case Key::Escape:
        finish(false);
        return true;
    case Key::Backspace:
        if (caret_ > 0)
            edit_.erase(--caret_, 1);
        break;
    case Key::Delete:
        if (caret_ < edit_.size())
            edit_.erase(caret_, 1);
        break;
    case Key::Left:
        caret_ = caret_ > 0 ? caret_ - 1 : 0;
        break;
    case Key::Right:
        caret_ = std::min(caret_ + 1, edit_.size());
        break;
    case Key::Home:
        caret_ = 0;
        break;
    case Key::End:
        caret_ = edit_.size();
        break;
    case Key::Character:
        if (key.character < 32 || key.character > 126 || (key.modifiers & (kControl | kAlt)) != 0)
            return false;
        if (edit_.size() >= kMaxTextLength)
            return true;
        edit_.insert(caret_++, 1, static_cast<char>(key.character));
        break;
    default:
        return false;
    }
    setDirty();
    return true;
}

} // namespace vorpalix::toolkit
