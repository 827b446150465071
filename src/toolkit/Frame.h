// The top container: the panel inside one window. It owns an off-screen image of the whole
// panel, draws only the dirty parts of it at idle, and hands those parts to its back end (an X11
// child window, or nothing at all for the headless back end used by tests and screenshots).
// It routes mouse events to the view under the pointer (only into the modal view while one is
// set), keyboard events to the focus view, and keeps the state of the mouse buttons and
// modifiers as of the event being handled.
// UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/ViewContainer.h"

typedef struct _cairo_surface cairo_surface_t;

namespace vorpalix::toolkit {

class Frame;

// Where a frame's pictures go and where its events come from.
class FrameBackend {
public:
    virtual ~FrameBackend() = default;
    // Called once by the frame that owns the back end.
    virtual void attach(Frame& frame) { frame_ = &frame; }
    // Delivers the window system's pending events to the frame. Never blocks.
    virtual void pumpEvents() = 0;
    // Shows these parts (frame coordinates) of the frame's freshly drawn image.
    virtual void present(cairo_surface_t* image, const std::vector<Rect>& rects) = 0;
    // Called at the end of every idle with the frame's image (a window shows uncovered parts).
    virtual void finishIdle(cairo_surface_t* /*image*/) {}
    // Milliseconds since an arbitrary start; wraps around after 49.7 days.
    virtual std::uint32_t getTicks() const = 0;

protected:
    Frame* frame_ = nullptr;
};

// The millisecond clock of the machine (monotonic), as the window back ends use it.
std::uint32_t systemTicks();

// Knob modes: how an animation knob follows the mouse.
inline constexpr int kCircularMode = 0;
inline constexpr int kRelativeCircularMode = 1;
inline constexpr int kLinearMode = 2; // vertical movement: up raises the value

class Frame : public ViewContainer {
public:
    // The frame covers (0, 0, width, height) of `size`. Without a back end it draws headless.
    Frame(const Rect& size, std::shared_ptr<Bitmap> background,
          std::unique_ptr<FrameBackend> backend = nullptr);
    ~Frame() override;

    // Pumps the back end's events, then redraws what is dirty. A call made while an idle is
    // running (from inside an event handler) does nothing.
    void idle();
    // Redraws the dirty parts now, without taking events. Returns how many views were drawn.
    std::uint64_t redraw();
    // Redraws this area (frame coordinates) at the next idle.
    void invalidate(const Rect& rect);
    void invalidateAll() { invalidate(getRect()); }

    // A view over the whole panel that takes every mouse event (the overlays). The frame does not
    // own it; it must not lie in a container. Null clears it. Returns false if it is refused.
    bool setModalView(View* view);
    View* getModalView() const { return modal_; }
    // The view that takes the keyboard (a text field being edited). The old one is told it lost
    // the focus; null clears it.
    void setFocusView(View* view);
    View* getFocusView() const { return focus_; }

    std::uint32_t getTicks() const;
    // Buttons and modifiers (kLButton, kShift, ...) as of the event being handled: in the
    // notification of a release the left button is no longer down.
    std::uint32_t getMouseButtons() const { return buttons_; }
    // Where the last mouse event happened (frame coordinates).
    Point getLastMousePosition() const { return lastMouse_; }

    // The knob mode every animation knob follows (process-wide, like the host's preference).
    static void setKnobMode(int mode);
    static int getKnobMode();

    // Views drawn since the frame was made.
    std::uint64_t getDrawCount() const { return drawCount_; }
    // The panel image (RGB24) as last drawn.
    cairo_surface_t* getImage() const { return image_; }
    FrameBackend& getBackend() const { return *backend_; }

    // Input, as delivered by the back ends (frame coordinates).
    void mouseDown(Point where, std::uint32_t buttons);
    void mouseMoved(Point where, std::uint32_t buttons);
    void mouseUp(Point where, std::uint32_t buttons);
    bool wheel(Point where, float distance, std::uint32_t buttons);
    bool keyDown(const KeyEvent& key);

    void draw(DrawContext& context) override;

private:
    friend class View;
    friend class ViewContainer;

    Frame* asFrame() override { return this; }
    View* hitTest(Point where);
    void cancelCapture();
    // A view in this frame is being destroyed: forget it and redraw its area.
    void viewGone(View& view);
    // A view (with everything in it) is taken out of the frame.
    void viewLeaving(View& view);
    void collectDirty(View& view, Point origin, std::vector<Rect>& rects,
                      std::vector<View*>& views);

    std::unique_ptr<FrameBackend> backend_;
    cairo_surface_t* image_ = nullptr;
    std::vector<Rect> pending_;
    View* modal_ = nullptr;
    View* focus_ = nullptr;
    View* captured_ = nullptr;
    std::uint32_t buttons_ = 0;
    Point lastMouse_;
    std::uint64_t drawCount_ = 0;
    bool inIdle_ = false;
};

} // namespace vorpalix::toolkit
