// The frame: dirty-region redraw into the off-screen image, event routing, modal and focus views.
#include "toolkit/Frame.h"

#include <cairo.h>

#include <algorithm>
#include <chrono>

#include "toolkit/Bitmap.h"
#include "toolkit/DrawContext.h"
#include "toolkit/HeadlessBackend.h"

namespace vorpalix::toolkit {

namespace {

int gKnobMode = kCircularMode;

// More separate areas than this are drawn as their bounding box.
constexpr std::size_t kMaxAreas = 16;

bool touches(const Rect& a, const Rect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// Joins overlapping and touching areas so no pixel is drawn twice.
std::vector<Rect> mergeAreas(const std::vector<Rect>& areas) {
    std::vector<Rect> merged;
    for (Rect r : areas) {
        if (r.isEmpty())
            continue;
        bool grew = true;
        while (grew) {
            grew = false;
            for (auto it = merged.begin(); it != merged.end(); ++it) {
                if (touches(*it, r)) {
                    r = r.united(*it);
                    merged.erase(it);
                    grew = true;
                    break;
                }
            }
        }
        merged.push_back(r);
    }
    if (merged.size() > kMaxAreas) {
        Rect all;
        for (const Rect& r : merged)
            all = all.united(r);
        merged.assign(1, all);
    }
    return merged;
}

bool isInside(const View* view, const View* root) {
    for (; view != nullptr; view = view->getParent()) {
        if (view == root)
            return true;
    }
    return false;
}

} // namespace

std::uint32_t systemTicks() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Frame::setKnobMode(int mode) {
    gKnobMode = mode;
}
int Frame::getKnobMode() {
    return gKnobMode;
}

Frame::Frame(const Rect& size, std::shared_ptr<Bitmap> background,
             std::unique_ptr<FrameBackend> backend)
    : ViewContainer(Rect::ofSize(0, 0, std::max(size.getWidth(), 1), std::max(size.getHeight(), 1)),
                    std::move(background)),
      backend_(backend ? std::move(backend) : std::make_unique<HeadlessBackend>()) {
    image_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, getWidth(), getHeight());
    backend_->attach(*this);
    invalidateAll();
}

Frame::~Frame() {
    cancelCapture();
    focus_ = nullptr;
    if (modal_ != nullptr) {
        modal_->parent_ = nullptr;
        modal_ = nullptr;
    }
    removeAll();
    cairo_surface_destroy(image_);
}

std::uint32_t Frame::getTicks() const {
    return backend_->getTicks();
}

void Frame::idle() {
    if (inIdle_)
        return;
    inIdle_ = true;
    backend_->pumpEvents();
    redraw();
    backend_->finishIdle(image_);
    inIdle_ = false;
}

void Frame::invalidate(const Rect& rect) {
    const Rect r = rect.intersection(getRect());
    if (!r.isEmpty())
        pending_.push_back(r);
}

void Frame::collectDirty(View& view, Point origin, std::vector<Rect>& rects,
                         std::vector<View*>& views) {
    if (!view.isVisible())
        return;
    if (view.isDirty()) {
        rects.push_back(view.getRect().offset(origin).intersection(getRect()));
        views.push_back(&view);
    }
    if (auto* container = dynamic_cast<ViewContainer*>(&view)) {
        const Point inner = origin + view.getRect().topLeft();
        for (const auto& child : container->getViews())
            collectDirty(*child, inner, rects, views);
    }
}

std::uint64_t Frame::redraw() {
    std::vector<Rect> rects = std::move(pending_);
    pending_.clear();
    std::vector<View*> dirtyViews;
    if (isDirty()) {
        rects.push_back(getRect());
        dirtyViews.push_back(this);
    }
    for (const auto& child : getViews())
        collectDirty(*child, {}, rects, dirtyViews);
    if (modal_ != nullptr)
        collectDirty(*modal_, {}, rects, dirtyViews);
    if (rects.empty())
        return 0;

    const std::vector<Rect> areas = mergeAreas(rects);
    cairo_t* cr = cairo_create(image_);
    DrawContext context(cr);
    for (const Rect& area : areas) {
        context.save();
        context.clip(area);
        draw(context);
        context.restore();
    }
    cairo_destroy(cr);
    cairo_surface_flush(image_);
    // Views that lay outside the frame were not drawn; they are up to date all the same.
    for (View* view : dirtyViews)
        view->markDrawn();
    drawCount_ += context.getViewCount();
    if (!areas.empty())
        backend_->present(image_, areas);
    return context.getViewCount();
}

void Frame::draw(DrawContext& context) {
    const auto& background = getBackground();
    if (background && !background->isEmpty())
        context.drawBitmap(*background, getRect(), {0, 0});
    else
        context.fillRect(getRect(), kBlackColor);
    drawChildren(context);
    if (modal_ != nullptr && modal_->isVisible() &&
        modal_->getRect().intersects(context.clipBounds()))
        modal_->paint(context);
}

bool Frame::setModalView(View* view) {
    if (view == modal_)
        return true;
    if (view != nullptr && (view->parent_ != nullptr || view == this))
        return false;
    cancelCapture();
    if (modal_ != nullptr) {
        if (isInside(focus_, modal_))
            setFocusView(nullptr);
        invalidate(modal_->getRect());
        modal_->parent_ = nullptr;
    }
    modal_ = view;
    if (view != nullptr) {
        view->parent_ = this;
        view->setDirty();
        invalidate(view->getRect());
    }
    return true;
}

void Frame::setFocusView(View* view) {
    if (view == focus_)
        return;
    View* old = focus_;
    focus_ = view;
    if (old != nullptr)
        old->onFocusLost();
    if (view != nullptr && focus_ == view)
        view->onFocusGained();
}

View* Frame::hitTest(Point where) {
    if (modal_ != nullptr)
        return modal_->viewAt(where);
    const auto& views = getViews();
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        if (View* hit = (*it)->viewAt(where))
            return hit;
    }
    return nullptr;
}

void Frame::cancelCapture() {
    if (captured_ != nullptr) {
        View* view = captured_;
        captured_ = nullptr;
        view->onMouseCancelled();
    }
}

void Frame::mouseDown(Point where, std::uint32_t buttons) {
    buttons_ = buttons;
    lastMouse_ = where;
    if (captured_ != nullptr)
        return; // another button during a press: the first press keeps the mouse
    View* target = hitTest(where);
    if (focus_ != nullptr && target != focus_)
        setFocusView(nullptr);
    if (target != nullptr && target->onMouseDown(target->fromFrame(where), buttons))
        captured_ = target;
}

void Frame::mouseMoved(Point where, std::uint32_t buttons) {
    buttons_ = buttons;
    lastMouse_ = where;
    if (captured_ != nullptr)
        captured_->onMouseMoved(captured_->fromFrame(where), buttons);
}

void Frame::mouseUp(Point where, std::uint32_t buttons) {
    buttons_ = buttons;
    lastMouse_ = where;
    if (captured_ == nullptr || (buttons & kButtonMask) != 0)
        return;
    View* view = captured_;
    captured_ = nullptr;
    view->onMouseUp(view->fromFrame(where), buttons);
}

bool Frame::wheel(Point where, float distance, std::uint32_t buttons) {
    buttons_ = buttons;
    lastMouse_ = where;
    View* target = hitTest(where);
    return target != nullptr && target->onWheel(target->fromFrame(where), distance, buttons);
}

bool Frame::keyDown(const KeyEvent& key) {
    return focus_ != nullptr && focus_->onKeyDown(key);
}

void Frame::viewGone(View& view) {
    if (captured_ == &view)
        captured_ = nullptr;
    if (focus_ == &view)
        focus_ = nullptr;
    if (modal_ == &view)
        modal_ = nullptr;
    invalidate(view.getAbsoluteRect());
}

void Frame::viewLeaving(View& view) {
    if (isInside(captured_, &view))
        cancelCapture();
    if (isInside(focus_, &view))
        focus_ = nullptr;
    invalidate(view.getAbsoluteRect());
}

} // namespace vorpalix::toolkit
