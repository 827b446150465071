// A display-only strip of frames: value v (bounded to 1 above) shows frame
// v * (frames - 1) rounded half up; a value of 0 or less shows frame 0.
// UI thread only.
#pragma once

#include "toolkit/Control.h"

namespace vorpalix::toolkit {

class MovieBitmap : public Control {
public:
    // frames <= 0: as many frames as the bitmap holds.
    MovieBitmap(const Rect& rect, ControlListener* listener, int tag, int frames, int frameHeight,
                std::shared_ptr<Bitmap> bitmap, Point offset = {});

    int getFrameCount() const { return frames_; }
    int getFrameHeight() const { return frameHeight_; }
    void draw(DrawContext& context) override;

protected:
    // Draws the frame that stands for `value`.
    void drawValue(DrawContext& context, float value);

private:
    int frames_;
    int frameHeight_;
};

} // namespace vorpalix::toolkit
