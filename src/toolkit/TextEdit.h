// An editable one-line text field. A click gives it the keyboard focus; typed printable ASCII
// characters go in at the caret (Backspace, Delete, Left, Right, Home and End move and erase).
// Enter commits the text and tells the listener; Escape restores the text as it was and tells
// nobody; losing the focus otherwise (a click elsewhere, the frame clearing its focus) commits
// like Enter.
// UI thread only.
#pragma once

#include "toolkit/TextLabel.h"

namespace vorpalix::toolkit {

class TextEdit : public TextLabel {
public:
    TextEdit(const Rect& rect, ControlListener* listener, int tag, std::string_view text = {},
             std::shared_ptr<Bitmap> background = nullptr);

    bool isEditing() const { return editing_; }
    // While editing: the text as typed so far.
    const std::string& getEditText() const { return edit_; }
    // Replaces the text; an edit in progress is dropped.
    void setText(std::string_view text) override;

    void draw(DrawContext& context) override;
    bool onMouseDown(Point where, std::uint32_t buttons) override;
    bool onKeyDown(const KeyEvent& key) override;
    void onFocusGained() override;
    void onFocusLost() override;

private:
    void finish(bool commit);

    bool editing_ = false;
    std::string edit_;
    std::size_t caret_ = 0;
};

} // namespace vorpalix::toolkit
