// The editor window as a host sees it: a rectangle known before the window exists, open into
// the host's parent window, idle, close. open() builds the frame (an X11 child window of the
// parent, or a headless frame when setHeadless(true) was called) over the background bitmap;
// a derived editor then adds its controls to getFrame(). Everything is built anew at each open
// and destroyed at close.
// UI thread only: the host calls open, idle and close from its user-interface thread.
#pragma once

#include <memory>

#include "toolkit/Frame.h"

namespace vorpalix::toolkit {

class HeadlessBackend;

class EditorBase {
public:
    EditorBase() = default;
    virtual ~EditorBase();
    EditorBase(const EditorBase&) = delete;
    EditorBase& operator=(const EditorBase&) = delete;

    // The window size (the background's size unless set otherwise); valid before open.
    virtual Rect getRect() const { return rect_; }
    // Opens the panel in the parent window (under X11 the parent's window id, as the host passes
    // it). An open editor is closed first. False when no window could be made.
    virtual bool open(void* parentWindow);
    virtual void close();
    bool isOpen() const { return frame_ != nullptr; }
    // Takes the window's events and redraws what changed, then runs onIdle(). A call made from
    // inside an idle (a host that idles from an event handler) does nothing.
    void idle();

    virtual bool onKeyDown(const KeyEvent& key);
    virtual bool onKeyUp(const KeyEvent& key);
    virtual bool onWheel(float distance);
    virtual void setKnobMode(int mode) { Frame::setKnobMode(mode); }

    // The background bitmap; also sets the rectangle to its size.
    void setBackground(std::shared_ptr<Bitmap> background);
    // The background by resource id: the rectangle comes from the image's header at once, and
    // the image itself is decoded only while the editor is open, so a closed editor holds no
    // pixels.
    void setBackgroundId(int resourceId);
    const std::shared_ptr<Bitmap>& getBackground() const { return background_; }
    // Frames made by later opens draw headless (tests, screenshots).
    void setHeadless(bool headless) { headless_ = headless; }
    bool isHeadless() const { return headless_; }

    Frame* getFrame() const { return frame_.get(); }
    // The headless back end of the open frame, or null.
    HeadlessBackend* getHeadlessBackend() const;
    void* getParentWindow() const { return parent_; }

protected:
    void setRect(const Rect& rect) { rect_ = rect; }
    // Per-idle work of the derived editor, after the frame's redraw.
    virtual void onIdle() {}

private:
    std::shared_ptr<Bitmap> background_;
    int backgroundId_ = -1;
    Rect rect_;
    std::unique_ptr<Frame> frame_;
    void* parent_ = nullptr;
    bool headless_ = false;
    bool inIdle_ = false;
};

} // namespace vorpalix::toolkit
