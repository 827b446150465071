// The momentary button.
#include "toolkit/KickButton.h"

namespace vorpalix::toolkit {

KickButton::KickButton(const Rect& rect, ControlListener* listener, int tag, int frameHeight,
                       std::shared_ptr<Bitmap> bitmap, Point offset)
    : Control(rect, listener, tag, std::move(bitmap), offset),
      frameHeight_(frameHeight > 0 ? frameHeight : rect.getHeight()) {}

void KickButton::draw(DrawContext& context) {
    drawFrame(context, value_ > (min_ + max_) / 2.0f ? 1 : 0, frameHeight_);
}

bool KickButton::onMouseDown(Point, std::uint32_t buttons) {
    if (modifierClickTaken(buttons) || (buttons & kLButton) == 0)
        return false;
    beginEdit();
    tracking_ = true;
    value_ = max_;
    notifyValueChanged();
    return true;
}

void KickButton::onMouseMoved(Point where, std::uint32_t) {
    if (!tracking_)
        return;
    const float wanted = getRect().containsInclusive(where) ? max_ : min_;
    if (wanted != value_) {
        value_ = wanted;
        notifyValueChanged();
    }
}

void KickButton::onMouseUp(Point where, std::uint32_t) {
    if (!tracking_)
        return;
    tracking_ = false;
    const bool inside = getRect().containsInclusive(where);
    const bool changed = value_ != min_;
    value_ = min_;
    if (inside && changed)
        notifyValueChanged();
    endEdit();
}

void KickButton::onMouseCancelled() {
    if (!tracking_)
        return;
    tracking_ = false;
    value_ = min_;
    endEdit();
}

} // namespace vorpalix::toolkit
