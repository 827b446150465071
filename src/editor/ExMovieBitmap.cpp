// The blinking movie bitmap.
#include "editor/ExMovieBitmap.h"

#include <cmath>

#include "toolkit/Frame.h"

namespace vorpalix {

using namespace toolkit;

CExMovieBitmap::CExMovieBitmap(const Rect& rect, ControlListener* listener, int tag, int frames,
                               int frameHeight, std::shared_ptr<Bitmap> bitmap, Point offset)
    : MovieBitmap(rect, listener, tag, frames, frameHeight, std::move(bitmap), offset) {}

int CExMovieBitmap::currentImage() const {
    const float value = std::min(value_, 1.0f);
    if (!(value > 0.0f))
        return 0;
    const float shown = blink_.showsOffImage() ? blinkValue_ : value;
    return frameFromValueRound(shown, getFrameCount());
}

void CExMovieBitmap::draw(DrawContext& context) {
    if (value_ > 1.0f)
        value_ = 1.0f;
    drawFrame(context, currentImage(), getFrameHeight());
}

void CExMovieBitmap::startBlink(std::uint32_t onMs, std::uint32_t offMs, std::uint32_t durationMs,
                                float blinkValue) {
    blinkValue_ = std::isfinite(blinkValue) ? blinkValue : 0.0f;
    blink_.start(onMs, offMs, durationMs);
    blinkTick();
}

void CExMovieBitmap::blinkTick() {
    const Frame* frame = getFrame();
    if (frame != nullptr && blink_.tick(frame->getTicks()))
        setDirty();
}

void CExMovieBitmap::stopBlink() {
    blink_.stop();
    setDirty();
}

} // namespace vorpalix
