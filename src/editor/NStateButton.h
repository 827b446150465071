// A button with 2 to 16 states, advanced by clicks through a replaceable next-state table.
// State k has the value k * step, step = 1 / (states - 1). With "real button" images each state
// has a released image (2k) and a pressed image (2k + 1); otherwise one image (k).
// Two click timings: onPress acts as soon as the button is pressed and shows the pressed image
// while it is held; onRelease shows the pressed image while the pointer is inside and acts only
// when released inside (released outside, nothing happens and the listener hears nothing).
// A forced image overrides the value's image; a blink alternates the value's image with the
// image of a chosen state, timed by the frame's millisecond tick and advanced by blinkTick().
// The step buttons, mode buttons, Mute, Solo, Select and preset buttons of the panel.
// UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "editor/Blink.h"
#include "toolkit/Control.h"

namespace vorpalix {

class CNStateButton : public toolkit::Control {
public:
    static constexpr int kOnPress = 0;
    static constexpr int kOnRelease = 1;
    static constexpr int kMinStates = 2;
    static constexpr int kMaxStates = 16;
    static constexpr std::uint32_t kBlinkForever = Blink::kForever;

    // `states` is brought into 2..16; a mode other than kOnRelease means kOnPress.
    CNStateButton(const toolkit::Rect& rect, toolkit::ControlListener* listener, int tag,
                  int frameHeight, std::shared_ptr<toolkit::Bitmap> bitmap, toolkit::Point offset,
                  int states, int mode, bool realButton);

    int getStates() const { return states_; }
    int getMode() const { return mode_; }
    bool isRealButton() const { return realButton_; }
    double getStep() const { return step_; }
    // The state the value stands for (nearest, within 0..states - 1).
    int getState() const;
    // The image the next draw shows.
    int currentImage() const;

    // Copies next[k] for k < states (entries are brought into 0..states - 1); the rest stays.
    void setNextStateTable(std::span<const int> next);
    // next[k] = (k + 1) mod states.
    void resetNextStateTable();
    int getNextState(int state) const;
    void setCycling(bool cycling) { cycling_ = cycling; }
    bool isCycling() const { return cycling_; }

    // Shows the image of state k whatever the value; -1 clears.
    void setForcedImage(int state);
    int getForcedImage() const { return forcedImage_; }

    // Starts blinking: the value's image for `onMs`, then the image of state `blinkImage` for
    // `offMs`, for `durationMs` (kBlinkForever: until stopBlink). Runs one tick at once.
    void startBlink(std::uint32_t onMs, std::uint32_t offMs, std::uint32_t durationMs,
                    int blinkImage);
    // Advances the blink to the frame's tick count; marks the button dirty when the phase
    // changes or the blink ends.
    void blinkTick();
    void stopBlink();
    bool isBlinking() const { return blink_.active(); }
    // True in the on part of the period (the value's own image).
    bool getBlinkPhase() const { return blink_.phase(); }

    bool isPressed() const { return pressed_; }
    bool isInside() const { return inside_; }

    void draw(toolkit::DrawContext& context) override;
    bool onMouseDown(toolkit::Point where, std::uint32_t buttons) override;
    void onMouseMoved(toolkit::Point where, std::uint32_t buttons) override;
    void onMouseUp(toolkit::Point where, std::uint32_t buttons) override;
    void onMouseCancelled() override;

private:
    // Moves to the next state (when cycling) and tells the listener.
    void advance();
    int stateOf(float value) const;

    int frameHeight_;
    int states_;
    bool realButton_;
    int mode_;
    bool pressed_ = false;
    bool inside_ = false;
    bool advancedThisPress_ = false;
    double step_;
    std::array<int, kMaxStates> next_{};
    bool cycling_ = true;
    int forcedImage_ = -1;
    Blink blink_;
    int blinkImage_ = 0;
};

} // namespace vorpalix
