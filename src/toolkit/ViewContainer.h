// A view that holds other views. Its children's rectangles are relative to its own top-left
// corner; it draws its background bitmap and then the children in the order they were added,
// so later views lie over earlier ones. It owns its children.
// UI thread only.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "toolkit/View.h"

namespace vorpalix::toolkit {

class ViewContainer : public View {
public:
    explicit ViewContainer(const Rect& rect, std::shared_ptr<Bitmap> background = nullptr);
    ~ViewContainer() override;

    // Adds a view on top of the others and returns it (null stays null).
    template <class T> T* addView(std::unique_ptr<T> view) {
        T* raw = view.get();
        adopt(std::move(view));
        return raw;
    }
    // Builds a view in place: container.add<KickButton>(rect, listener, tag, ...).
    template <class T, class... Args> T* add(Args&&... args) {
        return addView(std::make_unique<T>(std::forward<Args>(args)...));
    }
    // Takes a view out and hands it back (null if it is not a child).
    std::unique_ptr<View> removeView(View* view);
    void removeAll();

    const std::vector<std::unique_ptr<View>>& getViews() const { return views_; }
    int getViewCount() const { return static_cast<int>(views_.size()); }
    bool contains(const View* view) const;

    void draw(DrawContext& context) override;
    View* viewAt(Point where) override;

protected:
    // Draws the children that meet the clip area; the context is in this view's coordinates.
    void drawChildren(DrawContext& context);

private:
    void adopt(std::unique_ptr<View> view);

    std::vector<std::unique_ptr<View>> views_;
};

} // namespace vorpalix::toolkit
