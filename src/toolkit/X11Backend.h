// The X11 window of a frame: a child window of the host's editor window, on a display
// connection of its own that opens with the window and closes with it. Events are taken in the
// frame's idle (no thread of its own): exposure, mouse buttons (the wheel as buttons 4 and 5),
// pointer motion and keys. Drawing copies the dirty parts of the frame's off-screen image into
// the window through cairo-xlib. X errors on this connection are caught and counted, never
// passed to the host's handler (whose default ends the process); errors of other connections
// go on to the handler that was installed before.
// UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/Frame.h"

struct _XDisplay;
union _XEvent;

namespace vorpalix::toolkit {

class X11Backend : public FrameBackend {
public:
    // Opens the display (`displayName`, or $DISPLAY when null) and a mapped child window of
    // `parentWindow` of the given size. Null when the display cannot be opened or the parent is
    // not a window of it.
    static std::unique_ptr<X11Backend> create(std::uintptr_t parentWindow, int width, int height,
                                              const char* displayName = nullptr);
    // Destroys the child window and closes the connection.
    ~X11Backend() override;

    void pumpEvents() override;
    void present(cairo_surface_t* image, const std::vector<Rect>& rects) override;
    void finishIdle(cairo_surface_t* image) override;
    std::uint32_t getTicks() const override { return systemTicks(); }

    std::uintptr_t getWindow() const { return window_; }
    // X errors reported on this connection since it opened.
    int getErrorCount() const { return errors_; }

private:
    X11Backend() = default;
    void handleEvent(::_XEvent& event);

    struct _XDisplay* display_ = nullptr;
    std::uintptr_t window_ = 0;
    cairo_surface_t* surface_ = nullptr;
    std::vector<Rect> exposed_;
    int errors_ = 0;
    bool windowGone_ = false;
};

} // namespace vorpalix::toolkit
