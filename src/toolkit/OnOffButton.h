// A button that toggles between min (image 0) and max (image 1) with each click of the left
// button. The two images are stacked in the bitmap, each as high as the button.
// UI thread only.
#pragma once

#include "toolkit/Control.h"

namespace vorpalix::toolkit {

class OnOffButton : public Control {
public:
    OnOffButton(const Rect& rect, ControlListener* listener, int tag,
                std::shared_ptr<Bitmap> bitmap, Point offset = {});

    bool isOn() const;
    void draw(DrawContext& context) override;
    bool onMouseDown(Point where, std::uint32_t buttons) override;
};

} // namespace vorpalix::toolkit
