// The display-only frame strip.
#include "toolkit/MovieBitmap.h"

#include <algorithm>

#include "toolkit/Bitmap.h"

namespace vorpalix::toolkit {

MovieBitmap::MovieBitmap(const Rect& rect, ControlListener* listener, int tag, int frames,
                         int frameHeight, std::shared_ptr<Bitmap> bitmap, Point offset)
    : Control(rect, listener, tag, std::move(bitmap), offset),
      frameHeight_(frameHeight > 0 ? frameHeight : rect.getHeight()) {
    frames_ = frames > 0 ? frames : std::max(getBackground()->frameCount(frameHeight_), 1);
}

void MovieBitmap::drawValue(DrawContext& context, float value) {
    drawFrame(context, frameFromValueRound(value, frames_), frameHeight_);
}

void MovieBitmap::draw(DrawContext& context) {
    if (value_ > 1.0f)
        value_ = 1.0f;
    drawValue(context, value_);
}

} // namespace vorpalix::toolkit
