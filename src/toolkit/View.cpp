// The view base: geometry, flags, dirty marking and the default (do-nothing) event handling.
#include "toolkit/View.h"

#include "toolkit/Bitmap.h"
#include "toolkit/DrawContext.h"
#include "toolkit/Frame.h"
#include "toolkit/ViewContainer.h"

namespace vorpalix::toolkit {

View::View(const Rect& rect) : rect_(rect), mouseRect_(rect) {}

View::~View() {
    if (Frame* frame = getFrame(); frame != nullptr && frame != this)
        frame->viewGone(*this);
}

void View::setRect(const Rect& rect) {
    if (rect == rect_)
        return;
    invalidateArea(rect_);
    const bool followMouse = mouseRect_ == rect_;
    rect_ = rect;
    if (followMouse)
        mouseRect_ = rect;
    setDirty();
}

Point View::fromFrame(Point framePoint) const {
    Point origin;
    for (const View* v = parent_; v != nullptr; v = v->parent_)
        origin = origin + v->rect_.topLeft();
    return framePoint - origin;
}

Rect View::getAbsoluteRect() const {
    const Point origin = Point{} - fromFrame(Point{});
    return rect_.offset(origin);
}

void View::setTransparent(bool transparent) {
    if (transparent_ != transparent) {
        transparent_ = transparent;
        setDirty();
    }
}

void View::setVisible(bool visible) {
    if (visible_ != visible) {
        visible_ = visible;
        invalidateArea(rect_);
        setDirty();
    }
}

void View::setBackground(std::shared_ptr<Bitmap> bitmap) {
    background_ = std::move(bitmap);
    setDirty();
}

Frame* View::getFrame() const {
    const View* top = this;
    while (top->parent_ != nullptr)
        top = top->parent_;
    return const_cast<View*>(top)->asFrame();
}

void View::invalidateArea(const Rect& rect) {
    if (Frame* frame = getFrame(); frame != nullptr && frame != this) {
        const Point origin = Point{} - fromFrame(Point{});
        frame->invalidate(rect.offset(origin));
    }
}

void View::draw(DrawContext& context) {
    drawBackground(context);
}

void View::paint(DrawContext& context) {
    if (!visible_)
        return;
    draw(context);
    context.countView();
    markDrawn();
}

void View::drawBackground(DrawContext& context) {
    if (background_ && !background_->isEmpty())
        context.drawBitmap(*background_, rect_, {0, 0});
}

bool View::onMouseDown(Point, std::uint32_t) {
    return false;
}
void View::onMouseMoved(Point, std::uint32_t) {}
void View::onMouseUp(Point, std::uint32_t) {}
bool View::onWheel(Point, float, std::uint32_t) {
    return false;
}
bool View::onKeyDown(const KeyEvent&) {
    return false;
}

View* View::viewAt(Point where) {
    return visible_ && mouseEnabled_ && mouseRect_.contains(where) ? this : nullptr;
}

} // namespace vorpalix::toolkit
