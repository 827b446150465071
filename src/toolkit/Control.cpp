// The control base: value, range, listener calls and frame drawing.
#include "toolkit/Control.h"

#include <algorithm>
#include <cmath>

#include "toolkit/Bitmap.h"
#include "toolkit/DrawContext.h"

namespace vorpalix::toolkit {

Control::Control(const Rect& rect, ControlListener* listener, int tag,
                 std::shared_ptr<Bitmap> background, Point offset)
    : View(rect), listener_(listener), tag_(tag), offset_(offset) {
    setBackground(background ? std::move(background) : Bitmap::empty());
}

void Control::setValue(float value) {
    if (std::isfinite(value))
        value_ = value;
}

void Control::bounceValue() {
    value_ = std::clamp(value_, std::min(min_, max_), std::max(min_, max_));
}

float Control::getValueNormalized() const {
    const float range = max_ - min_;
    if (range == 0.0f)
        return 0.0f;
    return std::clamp((value_ - min_) / range, 0.0f, 1.0f);
}

bool Control::isDirty() const {
    return View::isDirty() || value_ != drawnValue_;
}

void Control::markDrawn() {
    View::markDrawn();
    drawnValue_ = value_;
}

void Control::notifyValueChanged() {
    if (listener_ != nullptr)
        listener_->valueChanged(*this);
}

void Control::beginEdit() {
    if (listener_ != nullptr)
        listener_->beginEdit(*this);
}

void Control::endEdit() {
    if (listener_ != nullptr)
        listener_->endEdit(*this);
}

bool Control::modifierClickTaken(std::uint32_t buttons) {
    return listener_ != nullptr && (buttons & kModifierMask) != 0 &&
           listener_->modifierClicked(*this, buttons);
}

void Control::drawFrame(DrawContext& context, int index, int frameHeight) {
    const auto& bitmap = getBackground();
    if (!bitmap || bitmap->isEmpty())
        return;
    context.drawBitmap(*bitmap, getRect(),
                       {offset_.x, offset_.y + std::max(index, 0) * frameHeight});
}

int frameFromValueFloor(float value, int frames) {
    if (frames <= 1 || !(value > 0.0f))
        return 0;
    const double position = std::floor(static_cast<double>(value) * (frames - 1) + 1e-4);
    return static_cast<int>(std::min(position, static_cast<double>(frames - 1)));
}

int frameFromValueRound(float value, int frames) {
    if (frames <= 1 || !(value > 0.0f))
        return 0;
    const double position = std::floor(static_cast<double>(value) * (frames - 1) + 0.5);
    return static_cast<int>(std::min(position, static_cast<double>(frames - 1)));
}

} // namespace vorpalix::toolkit
