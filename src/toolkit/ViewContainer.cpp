// Containers: ownership of children, drawing in order, hit testing from the top down.
#include "toolkit/ViewContainer.h"

#include <algorithm>

#include "toolkit/DrawContext.h"
#include "toolkit/Frame.h"

namespace vorpalix::toolkit {

ViewContainer::ViewContainer(const Rect& rect, std::shared_ptr<Bitmap> background) : View(rect) {
    setBackground(std::move(background));
}

ViewContainer::~ViewContainer() {
    removeAll();
}

void ViewContainer::adopt(std::unique_ptr<View> view) {
    if (!view)
        return;
    view->parent_ = this;
    view->setDirty();
    views_.push_back(std::move(view));
}

std::unique_ptr<View> ViewContainer::removeView(View* view) {
    auto it = std::find_if(views_.begin(), views_.end(),
                           [view](const std::unique_ptr<View>& v) { return v.get() == view; });
    if (it == views_.end())
        return nullptr;
    if (Frame* frame = getFrame())
        frame->viewLeaving(*view);
    std::unique_ptr<View> taken = std::move(*it);
    views_.erase(it);
    taken->parent_ = nullptr;
    return taken;
}

void ViewContainer::removeAll() {
    // Destroyed one by one from the top, each while its parent chain still stands, so the frame
    // forgets it (focus, mouse capture) and redraws its area.
    while (!views_.empty()) {
        std::unique_ptr<View> last = std::move(views_.back());
        last.reset();
        views_.pop_back();
    }
}

bool ViewContainer::contains(const View* view) const {
    return std::any_of(views_.begin(), views_.end(),
                       [view](const std::unique_ptr<View>& v) { return v.get() == view; });
}

void ViewContainer::draw(DrawContext& context) {
    drawBackground(context);
    context.save();
    context.translate(getRect().left, getRect().top);
    context.clip({0, 0, getWidth(), getHeight()});
    drawChildren(context);
    context.restore();
}

void ViewContainer::drawChildren(DrawContext& context) {
    const Rect bounds = context.clipBounds();
    for (const auto& view : views_) {
        if (view->isVisible() && view->getRect().intersects(bounds))
            view->paint(context);
    }
}

View* ViewContainer::viewAt(Point where) {
    if (!isVisible() || !isMouseEnabled())
        return nullptr;
    const Point local = where - getRect().topLeft();
    for (auto it = views_.rbegin(); it != views_.rend(); ++it) {
        if (View* hit = (*it)->viewAt(local))
            return hit;
    }
    return getMouseRect().contains(where) ? this : nullptr;
}

} // namespace vorpalix::toolkit
