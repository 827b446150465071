// The host-facing editor base.
#include "toolkit/EditorBase.h"

#include <algorithm>
#include <cstdint>

#include "toolkit/Bitmap.h"
#include "toolkit/HeadlessBackend.h"
#include "toolkit/X11Backend.h"

namespace vorpalix::toolkit {

EditorBase::~EditorBase() {
    frame_.reset();
}

void EditorBase::setBackground(std::shared_ptr<Bitmap> background) {
    background_ = std::move(background);
    backgroundId_ = -1;
    rect_ = background_ ? Rect::ofSize(0, 0, background_->getWidth(), background_->getHeight())
                        : Rect{};
}

void EditorBase::setBackgroundId(int resourceId) {
    background_.reset();
    backgroundId_ = resourceId;
    int width = 0;
    int height = 0;
    rect_ =
        Bitmap::readSize(resourceId, width, height) ? Rect::ofSize(0, 0, width, height) : Rect{};
}

bool EditorBase::open(void* parentWindow) {
    if (frame_)
        EditorBase::close();
    std::unique_ptr<FrameBackend> backend;
    if (headless_) {
        backend = std::make_unique<HeadlessBackend>();
    } else {
        backend = X11Backend::create(reinterpret_cast<std::uintptr_t>(parentWindow),
                                     std::max(rect_.getWidth(), 1), std::max(rect_.getHeight(), 1));
        if (!backend)
            return false;
    }
    parent_ = parentWindow;
    // A background given by id lives with the frame.
    auto background = background_ || backgroundId_ < 0 ? background_ : Bitmap::load(backgroundId_);
    frame_ = std::make_unique<Frame>(rect_, std::move(background), std::move(backend));
    return true;
}

void EditorBase::close() {
    frame_.reset();
    parent_ = nullptr;
}

void EditorBase::idle() {
    if (inIdle_ || !frame_)
        return;
    inIdle_ = true;
    frame_->idle();
    if (frame_)
        onIdle();
    inIdle_ = false;
}

bool EditorBase::onKeyDown(const KeyEvent& key) {
    return frame_ && frame_->keyDown(key);
}

bool EditorBase::onKeyUp(const KeyEvent&) {
    return false;
}

bool EditorBase::onWheel(float distance) {
    if (!frame_)
        return false;
    // The host does not say where the pointer is; the view under the last press takes it.
    return frame_->wheel(frame_->getLastMousePosition(), distance, frame_->getMouseButtons());
}

HeadlessBackend* EditorBase::getHeadlessBackend() const {
    return frame_ ? dynamic_cast<HeadlessBackend*>(&frame_->getBackend()) : nullptr;
}

} // namespace vorpalix::toolkit
