// A knob drawn from a strip of frames: value v shows frame floor(v * (frames - 1)).
// Dragging follows the process-wide knob mode (Frame::setKnobMode): in linear mode moving the
// mouse up by kLinearRange pixels takes the value across its whole range (ten times finer with
// Shift held); in the circular modes the knob follows the pointer's angle around its centre over
// a 270 degree sweep, absolutely (circular) or from where the drag began (relative circular).
// The wheel moves it by a hundredth of the range per notch.
// UI thread only.
#pragma once

#include "toolkit/Control.h"
#include "toolkit/Frame.h"

namespace vorpalix::toolkit {

class AnimKnob : public Control {
public:
    static constexpr int kLinearRange = 200;

    // frames <= 0: as many frames as the bitmap holds.
    AnimKnob(const Rect& rect, ControlListener* listener, int tag, int frames, int frameHeight,
             std::shared_ptr<Bitmap> bitmap, Point offset = {});

    int getFrameCount() const { return frames_; }
    int getFrameHeight() const { return frameHeight_; }

    void draw(DrawContext& context) override;
    bool onMouseDown(Point where, std::uint32_t buttons) override;
    void onMouseMoved(Point where, std::uint32_t buttons) override;
    void onMouseUp(Point where, std::uint32_t buttons) override;
    void onMouseCancelled() override;
    bool onWheel(Point where, float distance, std::uint32_t buttons) override;

private:
    // Where the pointer stands on the 270 degree sweep, 0..1 (beyond the ends: the nearer end).
    double sweepPosition(Point where) const;
    void changeTo(float value);

    int frames_;
    int frameHeight_;
    bool tracking_ = false;
    int mode_ = kLinearMode;
    Point anchor_;
    float anchorValue_ = 0.0f;
    double anchorSweep_ = 0.0;
    bool anchorFine_ = false;
};

} // namespace vorpalix::toolkit
