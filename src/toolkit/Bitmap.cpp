// Decoding and sharing of resource bitmaps.
#include "toolkit/Bitmap.h"

#include <cairo.h>

#include <cstring>
#include <map>
#include <mutex>

namespace vorpalix::toolkit {

namespace {

struct Registry {
    std::mutex mutex;
    ResourceLoader loader;
    std::map<int, std::weak_ptr<Bitmap>> cache;
};

Registry& registry() {
    static Registry r;
    return r;
}

struct PngReader {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
};

cairo_status_t readPng(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (length > reader->bytes.size() - reader->position)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes.data() + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

void setResourceLoader(ResourceLoader loader) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.loader = std::move(loader);
    r.cache.clear();
}

Bitmap::Bitmap(cairo_surface_t* surface, int resourceId) : resourceId_(resourceId) {
    if (surface != nullptr) {
        surface_ = cairo_surface_reference(surface);
        width_ = cairo_image_surface_get_width(surface);
        height_ = cairo_image_surface_get_height(surface);
    }
}

Bitmap::~Bitmap() {
    if (surface_ != nullptr)
        cairo_surface_destroy(surface_);
}

int Bitmap::frameCount(int frameHeight) const {
    if (isEmpty())
        return 0;
    if (frameHeight <= 0 || frameHeight >= height_)
        return 1;
    return height_ / frameHeight;
}

std::shared_ptr<Bitmap> Bitmap::empty() {
    return std::shared_ptr<Bitmap>(new Bitmap(nullptr, -1));
}

std::shared_ptr<Bitmap> Bitmap::fromSurface(cairo_surface_t* surface, int resourceId) {
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE)
        return empty();
    return std::shared_ptr<Bitmap>(new Bitmap(surface, resourceId));
}

std::shared_ptr<Bitmap> Bitmap::fromPng(std::span<const std::uint8_t> png, int resourceId) {
    if (png.empty())
        return empty();
    PngReader reader{png, 0};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(readPng, &reader);
    auto bitmap = fromSurface(surface, resourceId);
    cairo_surface_destroy(surface);
    if (bitmap->isEmpty())
        return std::shared_ptr<Bitmap>(new Bitmap(nullptr, resourceId));
    return bitmap;
}

bool Bitmap::readSize(int resourceId, int& width, int& height) {
    std::span<const std::uint8_t> bytes;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        if (r.loader)
            bytes = r.loader(resourceId);
    }
    // Signature, then the first chunk: length 13, type "IHDR", width and height big-endian.
    static constexpr std::uint8_t kStart[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                                0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    if (bytes.size() < 24 || std::memcmp(bytes.data(), kStart, sizeof kStart) != 0)
        return false;
    const auto word = [&bytes](std::size_t at) {
        return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
               (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
    };
    const std::uint32_t w = word(16);
    const std::uint32_t h = word(20);
    // PNG allows up to 2^31 - 1; a window is far smaller, and zero is not an image.
    constexpr std::uint32_t kLargest = 1u << 15;
    if (w == 0 || h == 0 || w > kLargest || h > kLargest)
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

std::shared_ptr<Bitmap> Bitmap::load(int resourceId) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (auto it = r.cache.find(resourceId); it != r.cache.end()) {
        if (auto shared = it->second.lock())
            return shared;
    }
    std::span<const std::uint8_t> bytes;
    if (r.loader)
        bytes = r.loader(resourceId);
    auto bitmap = fromPng(bytes, resourceId);
    if (!bitmap->isEmpty())
        r.cache[resourceId] = bitmap;
    return bitmap;
}

} // namespace vorpalix::toolkit
