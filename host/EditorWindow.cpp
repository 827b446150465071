#include "EditorWindow.h"

#include "PluginHost.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vorpalix::host {

namespace {

// Editors smaller than this, or ones that report no size, get a window of this size.
constexpr int kFallbackWidth = 640;
constexpr int kFallbackHeight = 400;
constexpr int kMaxSide = 8192;

// The editor's size from effEditGetRect, or nothing usable.
bool editorSize(PluginHost& host, int& width, int& height) {
    vst::ERect* rect = nullptr;
    if (host.dispatch(vst::effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr)
        return false;
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    return width > 0 && height > 0;
}

} // namespace

std::unique_ptr<EditorWindow> EditorWindow::open(PluginHost& host, const std::string& title,
                                                 std::string& error) {
    if ((host.flags() & vst::effFlagsHasEditor) == 0) {
        error = "the plug-in has no editor";
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        error = "cannot open the X display";
        return nullptr;
    }
    std::unique_ptr<EditorWindow> window(new EditorWindow(host, display));
    int width = kFallbackWidth;
    int height = kFallbackHeight;
    editorSize(host, width, height);
    window->width_ = std::clamp(width, 1, kMaxSide);
    window->height_ = std::clamp(height, 1, kMaxSide);

    const int screen = DefaultScreen(display);
    window->window_ = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                          static_cast<unsigned>(window->width_),
                                          static_cast<unsigned>(window->height_), 0,
                                          BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, window->window_, title.c_str());
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window->window_, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XClassHint classHint;
    std::string name = "vorpalix";
    std::string className = "Vorpalix";
    classHint.res_name = name.data();
    classHint.res_class = className.data();
    XSetClassHint(display, window->window_, &classHint);
    Atom deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    window->deleteAtom_ = deleteAtom;
    XSetWMProtocols(display, window->window_, &deleteAtom, 1);
    XSelectInput(display, window->window_, StructureNotifyMask);
    window->resize(window->width_, window->height_);
    XMapWindow(display, window->window_);
    XSync(display, False);
    window->visible_ = true;

    // The plug-in opens its own X connection and makes its window a child of ours.
    const auto parent = static_cast<std::uintptr_t>(window->window_);
    if (host.dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) == 0) {
        error = "the plug-in's editor did not open";
        return nullptr; // the destructor closes the window; effEditClose is not sent
    }
    window->editorOpen_ = true;
    window->sizeRequestsSeen_ = host.sizeRequests();
    // Some editors know their size only once open.
    if (editorSize(host, width, height) && (width != window->width_ || height != window->height_))
        window->resize(width, height);
    XFlush(display);
    return window;
}

EditorWindow::~EditorWindow() {
    if (editorOpen_)
        host_.dispatch(vst::effEditClose);
    if (display_ != nullptr) {
        if (window_ != 0)
            XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
}

void EditorWindow::resize(int width, int height) {
    width_ = std::clamp(width, 1, kMaxSide);
    height_ = std::clamp(height, 1, kMaxSide);
    // A fixed size: the editor draws a panel of one size.
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width_;
    hints.min_height = hints.max_height = height_;
    XSetWMNormalHints(display_, window_, &hints);
    XResizeWindow(display_, window_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
}

void EditorWindow::followSizeRequests() {
    const int requests = host_.sizeRequests();
    if (requests == sizeRequestsSeen_)
        return;
    sizeRequestsSeen_ = requests;
    const auto [width, height] = host_.requestedSize();
    resize(width, height);
}

void EditorWindow::idle() {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == ClientMessage &&
            static_cast<unsigned long>(event.xclient.data.l[0]) == deleteAtom_)
            closeRequested_ = true;
    }
    if (editorOpen_) {
        host_.dispatch(vst::effEditIdle);
        followSizeRequests();
    }
    XFlush(display_);
}

bool EditorWindow::takeCloseRequest() {
    const bool requested = closeRequested_;
    closeRequested_ = false;
    return requested;
}

void EditorWindow::show() {
    if (!visible_) {
        XMapRaised(display_, window_);
        XFlush(display_);
        visible_ = true;
    }
}

void EditorWindow::hide() {
    if (visible_) {
        XUnmapWindow(display_, window_);
        XFlush(display_);
        visible_ = false;
    }
}

} // namespace vorpalix::host
