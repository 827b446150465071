// A movie bitmap (display only) that can blink: during the off part of each period it shows
// the frame of a chosen blink value instead of its own. A lit LED (value 1) blinking with blink
// value 0 alternates between its last frame and frame 0. The pattern-scale LEDs of the panel.
// UI thread only.
#pragma once

#include <cstdint>

#include "editor/Blink.h"
#include "toolkit/MovieBitmap.h"

namespace vorpalix {

class CExMovieBitmap : public toolkit::MovieBitmap {
public:
    static constexpr std::uint32_t kBlinkForever = Blink::kForever;

    CExMovieBitmap(const toolkit::Rect& rect, toolkit::ControlListener* listener, int tag,
                   int frames, int frameHeight, std::shared_ptr<toolkit::Bitmap> bitmap,
                   toolkit::Point offset = {});

    // Starts blinking: the own frame for `onMs`, the frame of `blinkValue` for `offMs`, for
    // `durationMs` (kBlinkForever: until stopBlink). Runs one tick at once.
    void startBlink(std::uint32_t onMs, std::uint32_t offMs, std::uint32_t durationMs,
                    float blinkValue);
    // Advances the blink to the frame's tick count.
    void blinkTick();
    void stopBlink();
    bool isBlinking() const { return blink_.active(); }
    bool getBlinkPhase() const { return blink_.phase(); }
    // The frame the next draw shows.
    int currentImage() const;

    void draw(toolkit::DrawContext& context) override;

private:
    Blink blink_;
    float blinkValue_ = 0.0f;
};

} // namespace vorpalix
