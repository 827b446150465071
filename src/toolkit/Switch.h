// Switches with a fixed number of positions, one image per position. Clicking (and dragging)
// picks the position under the pointer: top to bottom for the vertical switch, left to right
// for the horizontal one. Position p of n has the value min + p / (n - 1) * (max - min); a value
// shows the nearest position.
// UI thread only.
#pragma once

#include "toolkit/Control.h"

namespace vorpalix::toolkit {

class SwitchControl : public Control {
public:
    enum class Direction { Vertical, Horizontal };

    // frames <= 0: as many frames as the bitmap holds; positions <= 0: one per frame.
    SwitchControl(Direction direction, const Rect& rect, ControlListener* listener, int tag,
                  int frames, int frameHeight, int positions, std::shared_ptr<Bitmap> bitmap,
                  Point offset = {});

    int getPositionCount() const { return positions_; }
    int getPosition() const;

    void draw(DrawContext& context) override;
    bool onMouseDown(Point where, std::uint32_t buttons) override;
    void onMouseMoved(Point where, std::uint32_t buttons) override;
    void onMouseUp(Point where, std::uint32_t buttons) override;
    void onMouseCancelled() override;

private:
    void pick(Point where);

    Direction direction_;
    int frames_;
    int frameHeight_;
    int positions_;
    bool tracking_ = false;
};

class VerticalSwitch : public SwitchControl {
public:
    VerticalSwitch(const Rect& rect, ControlListener* listener, int tag, int frames,
                   int frameHeight, int positions, std::shared_ptr<Bitmap> bitmap,
                   Point offset = {})
        : SwitchControl(Direction::Vertical, rect, listener, tag, frames, frameHeight, positions,
                        std::move(bitmap), offset) {}
};

class HorizontalSwitch : public SwitchControl {
public:
    HorizontalSwitch(const Rect& rect, ControlListener* listener, int tag, int frames,
                     int frameHeight, int positions, std::shared_ptr<Bitmap> bitmap,
                     Point offset = {})
        : SwitchControl(Direction::Horizontal, rect, listener, tag, frames, frameHeight, positions,
                        std::move(bitmap), offset) {}
};

} // namespace vorpalix::toolkit
