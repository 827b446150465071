// A momentary button: it goes to max (image 1) when pressed and back to min (image 0) when
// released. The listener hears the press (value max, left button down) and the release (value
// min, left button up). Dragging off the button while it is held returns it to min at once
// (the listener hears that too), dragging back presses it again; a press released off the
// button sends no release, so a command that acts on release is cancelled by dragging away.
// UI thread only.
#pragma once

#include "toolkit/Control.h"

namespace vorpalix::toolkit {

class KickButton : public Control {
public:
    KickButton(const Rect& rect, ControlListener* listener, int tag, int frameHeight,
               std::shared_ptr<Bitmap> bitmap, Point offset = {});

    void draw(DrawContext& context) override;
    bool onMouseDown(Point where, std::uint32_t buttons) override;
    void onMouseMoved(Point where, std::uint32_t buttons) override;
    void onMouseUp(Point where, std::uint32_t buttons) override;
    void onMouseCancelled() override;

private:
    int frameHeight_;
    bool tracking_ = false;
};

} // namespace vorpalix::toolkit
