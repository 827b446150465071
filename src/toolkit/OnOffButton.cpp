// The toggle button.
#include "toolkit/OnOffButton.h"

namespace vorpalix::toolkit {

OnOffButton::OnOffButton(const Rect& rect, ControlListener* listener, int tag,
                         std::shared_ptr<Bitmap> bitmap, Point offset)
    : Control(rect, listener, tag, std::move(bitmap), offset) {}

bool OnOffButton::isOn() const {
    return value_ > (min_ + max_) / 2.0f;
}

void OnOffButton::draw(DrawContext& context) {
    drawFrame(context, isOn() ? 1 : 0, getHeight());
}

bool OnOffButton::onMouseDown(Point, std::uint32_t buttons) {
    if (modifierClickTaken(buttons) || (buttons & kLButton) == 0)
        return false;
    beginEdit();
    value_ = isOn() ? min_ : max_;
    notifyValueChanged();
    endEdit();
    return false;
}

} // namespace vorpalix::toolkit
