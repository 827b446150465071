// The vertical and horizontal switches.
#include "toolkit/Switch.h"

#include <algorithm>
#include <cmath>

#include "toolkit/Bitmap.h"

namespace vorpalix::toolkit {

SwitchControl::SwitchControl(Direction direction, const Rect& rect, ControlListener* listener,
                             int tag, int frames, int frameHeight, int positions,
                             std::shared_ptr<Bitmap> bitmap, Point offset)
    : Control(rect, listener, tag, std::move(bitmap), offset), direction_(direction),
      frameHeight_(frameHeight > 0 ? frameHeight : rect.getHeight()) {
    frames_ = frames > 0 ? frames : std::max(getBackground()->frameCount(frameHeight_), 1);
    positions_ = positions > 0 ? positions : frames_;
}

int SwitchControl::getPosition() const {
    if (positions_ <= 1)
        return 0;
    return static_cast<int>(std::floor(getValueNormalized() * (positions_ - 1) + 0.5));
}

void SwitchControl::draw(DrawContext& context) {
    drawFrame(context, std::min(getPosition(), frames_ - 1), frameHeight_);
}

void SwitchControl::pick(Point where) {
    const Rect& r = getRect();
    const int extent = direction_ == Direction::Vertical ? r.getHeight() : r.getWidth();
    const int along = direction_ == Direction::Vertical ? where.y - r.top : where.x - r.left;
    if (extent <= 0 || positions_ <= 1)
        return;
    const int position = std::clamp(along * positions_ / extent, 0, positions_ - 1);
    const float value = min_ + (max_ - min_) * static_cast<float>(position) / (positions_ - 1);
    if (value != value_) {
        value_ = value;
        notifyValueChanged();
    }
}

bool SwitchControl::onMouseDown(Point where, std::uint32_t buttons) {
    if (modifierClickTaken(buttons) || (buttons & kLButton) == 0)
        return false;
    beginEdit();
    tracking_ = true;
    pick(where);
    return true;
}

void SwitchControl::onMouseMoved(Point where, std::uint32_t) {
    if (tracking_)
        pick(where);
}

void SwitchControl::onMouseUp(Point, std::uint32_t) {
    if (tracking_) {
        tracking_ = false;
        endEdit();
    }
}

void SwitchControl::onMouseCancelled() {
    onMouseUp({}, 0);
}

} // namespace vorpalix::toolkit
