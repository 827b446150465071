// Bitmaps found by resource id. The toolkit does not know where the pictures live: the program
// registers one loader that returns the PNG bytes of an id, and Bitmap::load decodes them with
// cairo. Bitmaps are shared (std::shared_ptr): every control keeps the bitmap it draws from, and
// an id that is in use is decoded only once. An id the loader does not know, or bytes that are
// not a PNG, give an empty bitmap that draws nothing.
// Frames of an animation are stacked vertically: frame k starts at y = k * frame height.
// UI thread (the loader and the cache are guarded, so several editors may load at once).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

typedef struct _cairo_surface cairo_surface_t;

namespace vorpalix::toolkit {

// Returns the PNG bytes of a resource id, or an empty span when there is none. The bytes must
// stay valid until the call returns.
using ResourceLoader = std::function<std::span<const std::uint8_t>(int resourceId)>;

// Registers the loader for every later Bitmap::load (replacing an earlier one and forgetting
// the bitmaps decoded through it). An empty function removes it.
void setResourceLoader(ResourceLoader loader);

class Bitmap {
public:
    // The bitmap of a resource id: shared with every other user of the same id while one holds
    // it; empty (never null) when the id is unknown or its bytes do not decode.
    static std::shared_ptr<Bitmap> load(int resourceId);
    // Decodes PNG bytes; empty on failure.
    static std::shared_ptr<Bitmap> fromPng(std::span<const std::uint8_t> png, int resourceId = -1);
    // Wraps an image surface (takes a reference of its own); empty for anything else.
    static std::shared_ptr<Bitmap> fromSurface(cairo_surface_t* surface, int resourceId = -1);
    static std::shared_ptr<Bitmap> empty();
    // The width and height a resource id's PNG header gives, read without decoding the image;
    // false (and nothing written) when the id is unknown or its bytes do not start like a PNG.
    static bool readSize(int resourceId, int& width, int& height);

    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    bool isEmpty() const { return surface_ == nullptr; }
    int getResourceId() const { return resourceId_; }
    // How many whole frames of this height the bitmap holds (at least 1 when not empty).
    int frameCount(int frameHeight) const;
    // The decoded image (ARGB32, premultiplied), or null when empty.
    cairo_surface_t* surface() const { return surface_; }

private:
    Bitmap(cairo_surface_t* surface, int resourceId);

    cairo_surface_t* surface_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int resourceId_ = -1;
};

} // namespace vorpalix::toolkit
