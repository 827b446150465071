// The base of everything on the panel: a rectangle in its parent container's coordinates, an
// optional background bitmap, flags (mouse enabled, transparent, visible) and a dirty mark. A
// dirty view is redrawn at the frame's next idle; nothing else is drawn then, so an unchanged
// panel costs no drawing.
// Mouse events reach a view in the same coordinates as its rectangle. A view that answers true
// to onMouseDown receives every move and the release of that press, wherever the pointer goes.
// UI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "toolkit/Geometry.h"
#include "toolkit/Input.h"

namespace vorpalix::toolkit {

class Bitmap;
class DrawContext;
class Frame;
class ViewContainer;

class View {
public:
    explicit View(const Rect& rect);
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    const Rect& getRect() const { return rect_; }
    void setRect(const Rect& rect);
    int getWidth() const { return rect_.getWidth(); }
    int getHeight() const { return rect_.getHeight(); }
    // The area that takes mouse clicks (the rectangle unless set otherwise).
    const Rect& getMouseRect() const { return mouseRect_; }
    void setMouseRect(const Rect& rect) { mouseRect_ = rect; }
    // The rectangle in the frame's (window) coordinates.
    Rect getAbsoluteRect() const;
    // A point in frame coordinates, converted into this view's rectangle coordinates.
    Point fromFrame(Point framePoint) const;

    bool isMouseEnabled() const { return mouseEnabled_; }
    void setMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
    bool isTransparent() const { return transparent_; }
    void setTransparent(bool transparent);
    bool isVisible() const { return visible_; }
    void setVisible(bool visible);

    const std::shared_ptr<Bitmap>& getBackground() const { return background_; }
    void setBackground(std::shared_ptr<Bitmap> bitmap);

    virtual void setDirty(bool dirty = true) { dirty_ = dirty; }
    virtual bool isDirty() const { return dirty_; }

    ViewContainer* getParent() const { return parent_; }
    // The frame this view is shown in, or null while it is not in one.
    Frame* getFrame() const;

    // Draws the view at its rectangle; the context is in the parent's coordinates.
    virtual void draw(DrawContext& context);
    // Draws through draw(), counts the drawing in the frame and clears the dirty mark.
    void paint(DrawContext& context);

    // Mouse and keyboard. Points are in the coordinates of getRect().
    virtual bool onMouseDown(Point where, std::uint32_t buttons);
    virtual void onMouseMoved(Point where, std::uint32_t buttons);
    virtual void onMouseUp(Point where, std::uint32_t buttons);
    // The press this view took ended without a release (the window closed, a modal view
    // appeared, the view was removed).
    virtual void onMouseCancelled() {}
    virtual bool onWheel(Point where, float distance, std::uint32_t buttons);
    virtual bool onKeyDown(const KeyEvent& key);
    virtual void onFocusGained() {}
    virtual void onFocusLost() {}

    // The view that takes a click at `where` (parent coordinates): this view, one inside it, or
    // null.
    virtual View* viewAt(Point where);

protected:
    // Called after every draw: clears the dirty mark (controls also note the value they drew).
    virtual void markDrawn() { dirty_ = false; }
    // Draws the background bitmap's top-left part over the rectangle, if there is one.
    void drawBackground(DrawContext& context);
    // Asks the frame to redraw this area (parent coordinates) even though no view is dirty there.
    void invalidateArea(const Rect& rect);

private:
    friend class ViewContainer;
    friend class Frame;

    virtual Frame* asFrame() { return nullptr; }

    ViewContainer* parent_ = nullptr;
    Rect rect_;
    Rect mouseRect_;
    std::shared_ptr<Bitmap> background_;
    bool mouseEnabled_ = true;
    bool transparent_ = false;
    bool visible_ = true;
    bool dirty_ = true;
};

} // namespace vorpalix::toolkit
