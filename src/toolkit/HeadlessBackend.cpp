// Injected input, pixel access and PNG output for frames without a window.
#include "toolkit/HeadlessBackend.h"

#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vorpalix::toolkit {

void HeadlessBackend::mouseDown(Point where, std::uint32_t buttons) {
    if (frame_ != nullptr)
        frame_->mouseDown(where, buttons);
}

void HeadlessBackend::mouseMove(Point where, std::uint32_t buttons) {
    if (frame_ != nullptr)
        frame_->mouseMoved(where, buttons);
}

void HeadlessBackend::mouseUp(Point where, std::uint32_t buttons) {
    if (frame_ != nullptr)
        frame_->mouseUp(where, buttons);
}

void HeadlessBackend::click(Point where, std::uint32_t modifiers) {
    mouseDown(where, kLButton | modifiers);
    mouseUp(where, modifiers);
}

void HeadlessBackend::drag(Point from, Point to, int steps, std::uint32_t modifiers) {
    mouseDown(from, kLButton | modifiers);
    steps = std::max(steps, 1);
    for (int i = 1; i <= steps; ++i) {
        mouseMove({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps},
                  kLButton | modifiers);
    }
    mouseUp(to, modifiers);
}

bool HeadlessBackend::key(const KeyEvent& key) {
    return frame_ != nullptr && frame_->keyDown(key);
}

void HeadlessBackend::type(std::string_view text) {
    for (char c : text)
        key(KeyEvent::ofCharacter(static_cast<unsigned char>(c)));
}

std::uint32_t HeadlessBackend::pixel(int x, int y) const {
    if (frame_ == nullptr)
        return 0;
    cairo_surface_t* image = frame_->getImage();
    cairo_surface_flush(image);
    if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(image) ||
        y >= cairo_image_surface_get_height(image))
        return 0;
    const unsigned char* row =
        cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
    std::uint32_t value = 0;
    std::memcpy(&value, row + 4 * x, 4);
    return value & 0xFFFFFFu;
}

bool HeadlessBackend::writePng(const std::string& path) const {
    if (frame_ == nullptr || path.empty())
        return false;
    const std::string temporary = path + ".tmp";
    if (cairo_surface_write_to_png(frame_->getImage(), temporary.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace vorpalix::toolkit
