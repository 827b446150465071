// Helpers for the toolkit and custom control tests: strip bitmaps whose frames have distinct
// colours (so a pixel tells which frame was drawn), a headless frame, and a listener that
// records every notification with the mouse state at that moment.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Control.h"
#include "toolkit/Frame.h"
#include "toolkit/HeadlessBackend.h"

namespace vorpalix::test {

// Frame k of a test strip is filled with this colour (0xRRGGBB), distinct for k < 256.
inline std::uint32_t frameColor(int k) {
    return (static_cast<std::uint32_t>(k) << 16) | (static_cast<std::uint32_t>(255 - k) << 8) |
           0x80u;
}

inline std::shared_ptr<toolkit::Bitmap> stripBitmap(int width, int frameHeight, int frames) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, frameHeight * frames);
    cairo_t* cr = cairo_create(surface);
    for (int k = 0; k < frames; ++k) {
        const std::uint32_t c = frameColor(k);
        cairo_set_source_rgb(cr, (c >> 16) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0);
        cairo_rectangle(cr, 0, k * frameHeight, width, frameHeight);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    auto bitmap = toolkit::Bitmap::fromSurface(surface);
    cairo_surface_destroy(surface);
    return bitmap;
}

inline std::shared_ptr<toolkit::Bitmap> solidBitmap(int width, int height, std::uint32_t rgb) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, (rgb >> 16) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                         (rgb & 0xFF) / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    auto bitmap = toolkit::Bitmap::fromSurface(surface);
    cairo_surface_destroy(surface);
    return bitmap;
}

struct Notification {
    int tag;
    float value;
    bool leftHeld;
};

class RecordingListener : public toolkit::ControlListener {
public:
    void valueChanged(toolkit::Control& control) override {
        const toolkit::Frame* frame = control.getFrame();
        const bool held = frame != nullptr && (frame->getMouseButtons() & toolkit::kLButton) != 0;
        notes.push_back({control.getTag(), control.getValue(), held});
    }
    void beginEdit(toolkit::Control&) override { ++begins; }
    void endEdit(toolkit::Control&) override { ++ends; }

    std::vector<Notification> notes;
    int begins = 0;
    int ends = 0;
};

// A 200 x 100 headless frame over black.
struct HeadlessPanel {
    HeadlessPanel() : frame(toolkit::Rect::ofSize(0, 0, 200, 100), nullptr) {}

    toolkit::HeadlessBackend& window() {
        return static_cast<toolkit::HeadlessBackend&>(frame.getBackend());
    }
    std::uint32_t pixel(int x, int y) { return window().pixel(x, y); }

    RecordingListener listener; // outlives the frame, which may end a press as it goes
    toolkit::Frame frame;
};

} // namespace vorpalix::test
