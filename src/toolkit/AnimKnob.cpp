// The animation knob.
#include "toolkit/AnimKnob.h"

#include <algorithm>
#include <cmath>

#include "toolkit/Bitmap.h"
#include "toolkit/Frame.h"

namespace vorpalix::toolkit {

AnimKnob::AnimKnob(const Rect& rect, ControlListener* listener, int tag, int frames,
                   int frameHeight, std::shared_ptr<Bitmap> bitmap, Point offset)
    : Control(rect, listener, tag, std::move(bitmap), offset),
      frameHeight_(frameHeight > 0 ? frameHeight : rect.getHeight()) {
    frames_ = frames > 0 ? frames : std::max(getBackground()->frameCount(frameHeight_), 1);
}

void AnimKnob::draw(DrawContext& context) {
    drawFrame(context, frameFromValueFloor(value_, frames_), frameHeight_);
}

double AnimKnob::sweepPosition(Point where) const {
    const Rect& r = getRect();
    const double dx = where.x - (r.left + r.right) / 2.0;
    const double dy = (r.top + r.bottom) / 2.0 - where.y;
    const double angle = std::atan2(dy, dx) * 180.0 / 3.14159265358979323846;
    // 225 degrees (lower left) is the start, the sweep runs clockwise to -45 (lower right).
    double t = std::fmod(225.0 - angle + 720.0, 360.0);
    if (t > 270.0)
        t = t > 315.0 ? 0.0 : 270.0;
    return t / 270.0;
}

void AnimKnob::changeTo(float value) {
    value = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
    if (value != value_) {
        value_ = value;
        notifyValueChanged();
    }
}

bool AnimKnob::onMouseDown(Point where, std::uint32_t buttons) {
    if (modifierClickTaken(buttons) || (buttons & kLButton) == 0)
        return false;
    beginEdit();
    tracking_ = true;
    mode_ = Frame::getKnobMode();
    anchor_ = where;
    bounceValue();
    anchorValue_ = value_;
    anchorSweep_ = sweepPosition(where);
    anchorFine_ = (buttons & kShift) != 0;
    if (mode_ == kCircularMode)
        changeTo(static_cast<float>(min_ + sweepPosition(where) * (max_ - min_)));
    return true;
}

void AnimKnob::onMouseMoved(Point where, std::uint32_t buttons) {
    if (!tracking_)
        return;
    const float range = max_ - min_;
    if (mode_ == kLinearMode) {
        const bool fine = (buttons & kShift) != 0;
        if (fine != anchorFine_) { // Shift pressed or let go: continue from here
            anchor_ = where;
            anchorValue_ = value_;
            anchorFine_ = fine;
        }
        const double pixels = kLinearRange * (fine ? 10.0 : 1.0);
        changeTo(static_cast<float>(anchorValue_ + (anchor_.y - where.y) * range / pixels));
    } else if (mode_ == kRelativeCircularMode) {
        changeTo(static_cast<float>(anchorValue_ + (sweepPosition(where) - anchorSweep_) * range));
    } else {
        changeTo(static_cast<float>(min_ + sweepPosition(where) * range));
    }
}

void AnimKnob::onMouseUp(Point where, std::uint32_t buttons) {
    if (!tracking_)
        return;
    onMouseMoved(where, buttons | kLButton);
    tracking_ = false;
    endEdit();
}

void AnimKnob::onMouseCancelled() {
    if (tracking_) {
        tracking_ = false;
        endEdit();
    }
}

bool AnimKnob::onWheel(Point, float distance, std::uint32_t buttons) {
    if (!std::isfinite(distance))
        return false;
    const float step = (max_ - min_) / ((buttons & kShift) != 0 ? 1000.0f : 100.0f);
    beginEdit();
    bounceValue();
    changeTo(value_ + distance * step);
    endEdit();
    return true;
}

} // namespace vorpalix::toolkit
