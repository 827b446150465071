// The X11 child window: creation, event pumping, drawing and clean-up.
#include "toolkit/X11Backend.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>

namespace vorpalix::toolkit {

namespace {

// Catches the X errors of one connection while the backend works with it. Xlib has one error
// handler per process, so the trap installs its own and puts the old one back afterwards; the
// closing XSync makes sure every error of the requests made meanwhile has arrived.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display), outer_(current_) {
        previous_ = XSetErrorHandler(&ErrorTrap::handle);
        current_ = this;
    }
    ~ErrorTrap() { finish(); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the server's answers and removes the trap; returns the errors caught.
    int finish() {
        if (active_) {
            XSync(display_, False);
            XSetErrorHandler(previous_);
            current_ = outer_;
            active_ = false;
        }
        return errors_;
    }

private:
    static int handle(Display* display, XErrorEvent* event) {
        for (ErrorTrap* trap = current_; trap != nullptr; trap = trap->outer_) {
            if (trap->display_ == display) {
                ++trap->errors_;
                return 0;
            }
        }
        ErrorTrap* innermost = current_;
        return innermost != nullptr && innermost->previous_ != nullptr
                   ? innermost->previous_(display, event)
                   : 0;
    }

    static inline ErrorTrap* current_ = nullptr;
    Display* display_;
    ErrorTrap* outer_;
    XErrorHandler previous_ = nullptr;
    int errors_ = 0;
    bool active_ = true;
};

std::uint32_t modifiersOf(unsigned int state) {
    std::uint32_t bits = 0;
    if (state & Button1Mask)
        bits |= kLButton;
    if (state & Button2Mask)
        bits |= kMButton;
    if (state & Button3Mask)
        bits |= kRButton;
    if (state & ShiftMask)
        bits |= kShift;
    if (state & ControlMask)
        bits |= kControl;
    if (state & Mod1Mask)
        bits |= kAlt;
    if (state & Mod4Mask)
        bits |= kCommand;
    return bits;
}

std::uint32_t buttonBit(unsigned int button) {
    switch (button) {
    case Button1:
        return kLButton;
    case Button2:
        return kMButton;
    case Button3:
        return kRButton;
    default:
        return 0;
    }
}

KeyEvent keyEventOf(XKeyEvent& event) {
    char text[8] = {};
    KeySym keysym = NoSymbol;
    const int length = XLookupString(&event, text, sizeof text, &keysym, nullptr);
    const std::uint32_t modifiers = modifiersOf(event.state) & kModifierMask;
    switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
        return KeyEvent::ofKey(Key::Return, modifiers);
    case XK_Escape:
        return KeyEvent::ofKey(Key::Escape, modifiers);
    case XK_BackSpace:
        return KeyEvent::ofKey(Key::Backspace, modifiers);
    case XK_Delete:
    case XK_KP_Delete:
        return KeyEvent::ofKey(Key::Delete, modifiers);
    case XK_Left:
    case XK_KP_Left:
        return KeyEvent::ofKey(Key::Left, modifiers);
    case XK_Right:
    case XK_KP_Right:
        return KeyEvent::ofKey(Key::Right, modifiers);
    case XK_Home:
    case XK_KP_Home:
        return KeyEvent::ofKey(Key::Home, modifiers);
    case XK_End:
    case XK_KP_End:
        return KeyEvent::ofKey(Key::End, modifiers);
    case XK_Tab:
        return KeyEvent::ofKey(Key::Tab, modifiers);
    default:
        break;
    }
    if (length == 1)
        return KeyEvent::ofCharacter(static_cast<unsigned char>(text[0]), modifiers);
    return KeyEvent::ofKey(Key::Other, modifiers);
}

} // namespace

std::unique_ptr<X11Backend> X11Backend::create(std::uintptr_t parentWindow, int width, int height,
                                               const char* displayName) {
    if (parentWindow == 0 || width <= 0 || height <= 0)
        return nullptr;
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr)
        return nullptr;
    std::unique_ptr<X11Backend> backend(new X11Backend);
    backend->display_ = display;

    ErrorTrap trap(display);
    XWindowAttributes parent{};
    if (XGetWindowAttributes(display, parentWindow, &parent) == 0 || trap.finish() != 0) {
        backend->windowGone_ = true;
        return nullptr; // the destructor closes the display
    }
    ErrorTrap createTrap(display);
    XSetWindowAttributes attributes{};
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | StructureNotifyMask;
    attributes.background_pixmap = None; // the frame paints every pixel; no flash of colour
    const Window window = XCreateWindow(
        display, parentWindow, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
        CopyFromParent, InputOutput, CopyFromParent, CWEventMask | CWBackPixmap, &attributes);
    backend->window_ = window;
    XMapWindow(display, window);
    XWindowAttributes own{};
    const bool described = XGetWindowAttributes(display, window, &own) != 0;
    if (createTrap.finish() != 0 || window == 0 || !described)
        return nullptr;
    backend->surface_ = cairo_xlib_surface_create(display, window, own.visual, width, height);
    if (cairo_surface_status(backend->surface_) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    return backend;
}

X11Backend::~X11Backend() {
    if (display_ == nullptr)
        return;
    ErrorTrap trap(display_);
    if (surface_ != nullptr) {
        cairo_surface_finish(surface_);
        cairo_surface_destroy(surface_);
    }
    if (window_ != 0 && !windowGone_)
        XDestroyWindow(display_, window_);
    errors_ += trap.finish();
    XCloseDisplay(display_);
}

void X11Backend::pumpEvents() {
    if (frame_ == nullptr)
        return;
    ErrorTrap trap(display_);
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.xany.window == window_)
            handleEvent(event);
    }
    errors_ += trap.finish();
}

void X11Backend::handleEvent(XEvent& event) {
    switch (event.type) {
    case Expose:
        exposed_.push_back(Rect::ofSize(event.xexpose.x, event.xexpose.y, event.xexpose.width,
                                        event.xexpose.height));
        break;
    case ButtonPress: {
        const Point where{event.xbutton.x, event.xbutton.y};
        const std::uint32_t state = modifiersOf(event.xbutton.state);
        if (event.xbutton.button == Button4 || event.xbutton.button == Button5) {
            frame_->wheel(where, event.xbutton.button == Button4 ? 1.0f : -1.0f, state);
        } else if (const std::uint32_t bit = buttonBit(event.xbutton.button); bit != 0) {
            frame_->mouseDown(where, state | bit);
            // A text field that took the focus needs the keyboard of the window.
            if (frame_->getFocusView() != nullptr)
                XSetInputFocus(display_, window_, RevertToParent, event.xbutton.time);
        }
        break;
    }
    case ButtonRelease:
        if (const std::uint32_t bit = buttonBit(event.xbutton.button); bit != 0) {
            frame_->mouseUp({event.xbutton.x, event.xbutton.y},
                            modifiersOf(event.xbutton.state) & ~bit);
        }
        break;
    case MotionNotify: {
        // Only the newest of a run of motions matters.
        XEvent next;
        while (XPending(display_) > 0) {
            XPeekEvent(display_, &next);
            if (next.type != MotionNotify || next.xany.window != window_)
                break;
            XNextEvent(display_, &event);
        }
        frame_->mouseMoved({event.xmotion.x, event.xmotion.y}, modifiersOf(event.xmotion.state));
        break;
    }
    case KeyPress:
        frame_->keyDown(keyEventOf(event.xkey));
        break;
    case DestroyNotify:
        windowGone_ = true; // the host destroyed its window, and ours with it
        break;
    default:
        break;
    }
}

void X11Backend::present(cairo_surface_t* image, const std::vector<Rect>& rects) {
    if (surface_ == nullptr || windowGone_ || rects.empty())
        return;
    ErrorTrap trap(display_);
    cairo_t* cr = cairo_create(surface_);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, image, 0, 0);
    for (const Rect& r : rects)
        cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface_);
    errors_ += trap.finish();
}

void X11Backend::finishIdle(cairo_surface_t* image) {
    if (exposed_.empty())
        return;
    std::vector<Rect> exposed;
    exposed.swap(exposed_);
    present(image, exposed);
}

} // namespace vorpalix::toolkit
