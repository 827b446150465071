// The multi-state button.
#include "editor/NStateButton.h"

#include <algorithm>
#include <cmath>

#include "toolkit/Frame.h"

namespace vorpalix {

using namespace toolkit;

CNStateButton::CNStateButton(const Rect& rect, ControlListener* listener, int tag, int frameHeight,
                             std::shared_ptr<Bitmap> bitmap, Point offset, int states, int mode,
                             bool realButton)
    : Control(rect, listener, tag, std::move(bitmap), offset),
      frameHeight_(frameHeight > 0 ? frameHeight : rect.getHeight()),
      states_(std::clamp(states, kMinStates, kMaxStates)), realButton_(realButton),
      mode_(mode == kOnRelease ? kOnRelease : kOnPress), step_(1.0 / (states_ - 1)) {
    resetNextStateTable();
}

void CNStateButton::resetNextStateTable() {
    for (int k = 0; k < kMaxStates; ++k)
        next_[static_cast<std::size_t>(k)] = k < states_ ? (k + 1) % states_ : 0;
}

void CNStateButton::setNextStateTable(std::span<const int> next) {
    const std::size_t count = std::min(next.size(), static_cast<std::size_t>(states_));
    for (std::size_t k = 0; k < count; ++k)
        next_[k] = std::clamp(next[k], 0, states_ - 1);
}

int CNStateButton::getNextState(int state) const {
    return next_[static_cast<std::size_t>(std::clamp(state, 0, states_ - 1))];
}

int CNStateButton::stateOf(float value) const {
    // Nearest state, halves away from zero; a value outside the range still names a real state.
    const double k = std::round(static_cast<double>(value) / step_);
    return static_cast<int>(std::clamp(k, 0.0, static_cast<double>(states_ - 1)));
}

int CNStateButton::getState() const {
    return stateOf(value_);
}

void CNStateButton::setForcedImage(int state) {
    forcedImage_ = std::clamp(state, -1, states_ - 1);
    setDirty();
}

int CNStateButton::currentImage() const {
    const float value = std::clamp(value_, std::min(min_, max_), std::max(min_, max_));
    const bool lit = (mode_ == kOnPress && pressed_) || (mode_ == kOnRelease && inside_);
    if (value < 0.0f)
        return 0;
    const int k = stateOf(value);
    if (forcedImage_ != -1)
        return realButton_ ? 2 * forcedImage_ + (lit ? 1 : 0) : forcedImage_;
    if (blink_.active() && !lit) {
        const int s = blink_.phase() ? k : blinkImage_;
        return realButton_ ? 2 * s : s;
    }
    return realButton_ ? 2 * k + (lit ? 1 : 0) : k;
}

void CNStateButton::draw(DrawContext& context) {
    bounceValue();
    drawFrame(context, currentImage(), frameHeight_);
}

void CNStateButton::advance() {
    if (cycling_)
        value_ = static_cast<float>(next_[static_cast<std::size_t>(getState())] * step_);
    notifyValueChanged();
}

bool CNStateButton::onMouseDown(Point where, std::uint32_t buttons) {
    if (!isMouseEnabled() || modifierClickTaken(buttons) || (buttons & kLButton) == 0)
        return false;
    beginEdit();
    pressed_ = true;
    advancedThisPress_ = false;
    if (mode_ == kOnPress)
        setDirty();
    onMouseMoved(where, buttons);
    return true;
}

void CNStateButton::onMouseMoved(Point where, std::uint32_t) {
    if (!pressed_)
        return;
    const bool wasInside = inside_;
    inside_ = getRect().containsInclusive(where);
    if (inside_ && mode_ == kOnPress && !advancedThisPress_) {
        advancedThisPress_ = true;
        advance();
    }
    if (mode_ == kOnRelease && inside_ != wasInside)
        setDirty();
}

void CNStateButton::onMouseUp(Point where, std::uint32_t buttons) {
    if (!pressed_)
        return;
    onMouseMoved(where, buttons);
    pressed_ = false;
    if (mode_ == kOnRelease) {
        if (inside_)
            advance();
    }
    setDirty();
    inside_ = false;
    endEdit();
}

void CNStateButton::onMouseCancelled() {
    if (!pressed_)
        return;
    pressed_ = false;
    inside_ = false;
    setDirty();
    endEdit();
}

void CNStateButton::startBlink(std::uint32_t onMs, std::uint32_t offMs, std::uint32_t durationMs,
                               int blinkImage) {
    blinkImage_ = std::clamp(blinkImage, 0, states_ - 1);
    blink_.start(onMs, offMs, durationMs);
    blinkTick();
}

void CNStateButton::blinkTick() {
    const Frame* frame = getFrame();
    if (frame != nullptr && blink_.tick(frame->getTicks()))
        setDirty();
}

void CNStateButton::stopBlink() {
    blink_.stop();
    setDirty();
}

} // namespace vorpalix
