// A frame back end without a window: the frame draws into its image and nothing more. Events
// are injected (mouse with buttons and modifiers, keys) and the clock is set by hand, so tests
// run the same way every time; the image can be read pixel by pixel or written as a PNG file
// (documentation screenshots).
// UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/Frame.h"

namespace vorpalix::toolkit {

class HeadlessBackend : public FrameBackend {
public:
    explicit HeadlessBackend(std::uint32_t startTicks = 1000) : ticks_(startTicks) {}

    void pumpEvents() override {}
    void present(cairo_surface_t*, const std::vector<Rect>& rects) override {
        ++presentCount_;
        presentedAreas_ += rects.size();
    }
    std::uint32_t getTicks() const override { return ticks_; }

    void setTicks(std::uint32_t ticks) { ticks_ = ticks; }
    void advance(std::uint32_t milliseconds) { ticks_ += milliseconds; }

    // Mouse input in frame coordinates. `buttons` holds the buttons down after the event and the
    // modifiers: a release of the left button with Ctrl held passes kControl.
    void mouseDown(Point where, std::uint32_t buttons = kLButton);
    void mouseMove(Point where, std::uint32_t buttons = kLButton);
    void mouseUp(Point where, std::uint32_t buttons = 0);
    // Press and release of the left button at one point, with modifiers.
    void click(Point where, std::uint32_t modifiers = 0);
    // Press at `from`, move to `to` in `steps` equal moves, release there.
    void drag(Point from, Point to, int steps = 4, std::uint32_t modifiers = 0);
    bool key(const KeyEvent& key);
    // Types ASCII text character by character.
    void type(std::string_view text);

    // 0xRRGGBB of one pixel of the frame's image (0 outside it).
    std::uint32_t pixel(int x, int y) const;
    // Writes the image as a PNG file (through a temporary file and a rename). False on failure.
    bool writePng(const std::string& path) const;

    int getPresentCount() const { return presentCount_; }
    std::size_t getPresentedAreas() const { return presentedAreas_; }

private:
    std::uint32_t ticks_;
    int presentCount_ = 0;
    std::size_t presentedAreas_ = 0;
};

} // namespace vorpalix::toolkit
