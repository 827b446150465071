// The blinking movie bitmap.
#include "editor/ExMovieBitmap.h"

#include <cmath>

#include "editor/NStateButton.h"
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
    const float shown = blinking_ && !blinkPhase_ ? blinkValue_ : value;
    return frameFromValueRound(shown, getFrameCount());
}

void CExMovieBitmap::draw(DrawContext& context) {
    if (value_ > 1.0f)
        value_ = 1.0f;
    drawFrame(context, currentImage(), getFrameHeight());
}

void CExMovieBitmap::startBlink(std::uint32_t onMs, std::uint32_t offMs, std::uint32_t durationMs,
                                float blinkValue) {
    onTime_ = onMs;
    offTime_ = offMs;
    blinkDuration_ = durationMs;
    blinkValue_ = std::isfinite(blinkValue) ? blinkValue : 0.0f;
    blinking_ = true;
    blinkStarted_ = false;
    blinkTick();
}

void CExMovieBitmap::blinkTick() {
    const Frame* frame = getFrame();
    if (!blinking_ || frame == nullptr)
        return;
    const bool oldPhase = blinkPhase_;
    if (!advanceBlink(frame->getTicks(), blinkStarted_, blinkStart_, onTime_, offTime_,
                      blinkDuration_, blinkPhase_)) {
        stopBlink();
        return;
    }
    if (blinkPhase_ != oldPhase)
        setDirty();
}

void CExMovieBitmap::stopBlink() {
    blinking_ = false;
    setDirty();
}

} // namespace vorpalix
