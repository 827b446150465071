#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "ToolkitTestSupport.h"
#include "support/ProcessRunner.h"
#include "support/VirtualDisplay.h"
#include "toolkit/EditorBase.h"
#include "toolkit/KickButton.h"
#include "toolkit/X11Backend.h"

namespace vorpalix::test {
namespace {

using namespace toolkit;
using testing::findProgram;

int gErrors = 0;
int countError(Display*, XErrorEvent*) {
    ++gErrors;
    return 0;
}

class ClickEditor : public EditorBase, public ControlListener {
public:
    bool open(void* parent) override {
        if (!EditorBase::open(parent))
            return false;
        getFrame()->add<KickButton>(Rect::ofSize(50, 50, 40, 40), this, 7, 40,
                                    stripBitmap(40, 40, 2));
        return true;
    }
    void valueChanged(Control& control) override {
        const bool held = (getFrame()->getMouseButtons() & kLButton) != 0;
        notes.push_back({control.getTag(), control.getValue(), held});
        // A host may call idle from inside an event; the inner call must do nothing.
        const int before = idles;
        idle();
        nestedIdleRan = nestedIdleRan || idles != before;
    }
    std::vector<Notification> notes;
    int idles = 0;
    bool nestedIdleRan = false;

protected:
    void onIdle() override { ++idles; }
};

unsigned childCount(Display* display, Window window) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    if (children != nullptr)
        XFree(children);
    return count;
}

template <class Done> bool idleUntil(ClickEditor& editor, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        editor.idle();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TEST(X11Window, OpensIntoTheHostWindowTakesAClickAndClosesWithoutTrace) {
    const std::string xvfb = findProgram("Xvfb");
    if (xvfb.empty())
        GTEST_SKIP() << "Xvfb is not installed";
    const std::string xdotool = findProgram("xdotool");
    ASSERT_FALSE(xdotool.empty()) << "xdotool is missing (scripts/install-deps.sh installs it)";
    testing::VirtualDisplay server(xvfb);
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
    const char* oldDisplay = std::getenv("DISPLAY");
    const std::optional<std::string> saved =
        oldDisplay != nullptr ? std::optional<std::string>(oldDisplay) : std::nullopt;
    setenv("DISPLAY", server.name().c_str(), 1);

    Display* host = XOpenDisplay(server.name().c_str());
    ASSERT_NE(host, nullptr);
    XErrorHandler previous = XSetErrorHandler(countError);
    gErrors = 0;
    const Window parent =
        XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 300, 200, 0, 0, 0);
    XMapWindow(host, parent);
    XSync(host, False);

    ClickEditor editor;
    editor.setBackground(solidBitmap(300, 200, 0x203040));
    void* handle = reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent));
    for (int round = 0; round < 10; ++round) {
        ASSERT_TRUE(editor.open(handle)) << "round " << round;
        XSync(host, False);
        EXPECT_EQ(childCount(host, parent), 1u) << "round " << round;
        editor.idle();
        if (round == 0) {
            // The panel reached the screen: the host's window shows the background there.
            ASSERT_TRUE(idleUntil(editor, [&] {
                XImage* image = XGetImage(host, parent, 10, 10, 1, 1, AllPlanes, ZPixmap);
                const unsigned long pixel = image != nullptr ? XGetPixel(image, 0, 0) : 0;
                if (image != nullptr)
                    XDestroyImage(image);
                return (pixel & 0xFFFFFF) == 0x203040;
            }));
            const auto result =
                testing::runProcess(xdotool, {"mousemove", "--sync", "70", "70", "click", "1"});
            ASSERT_EQ(result.exitCode, 0) << result.err;
            ASSERT_TRUE(idleUntil(editor, [&] { return editor.notes.size() >= 2; }));
            EXPECT_FLOAT_EQ(editor.notes[0].value, 1.0f);
            EXPECT_TRUE(editor.notes[0].leftHeld);
            EXPECT_FLOAT_EQ(editor.notes[1].value, 0.0f);
            EXPECT_FALSE(editor.notes[1].leftHeld);
            EXPECT_FALSE(editor.nestedIdleRan);
        }
        auto& window = dynamic_cast<X11Backend&>(editor.getFrame()->getBackend());
        EXPECT_EQ(window.getErrorCount(), 0);
        editor.close();
        EXPECT_FALSE(editor.isOpen());
        XSync(host, False);
        EXPECT_EQ(childCount(host, parent), 0u) << "round " << round;
    }
    // A parent that is no window: open fails, and the error reaches neither host nor test.
    EXPECT_FALSE(editor.open(reinterpret_cast<void*>(std::uintptr_t{0x3FFFFF})));
    EXPECT_FALSE(editor.isOpen());
    XSync(host, False);
    EXPECT_EQ(gErrors, 0);

    XSetErrorHandler(previous);
    XDestroyWindow(host, parent);
    XCloseDisplay(host);
    if (saved)
        setenv("DISPLAY", saved->c_str(), 1);
    else
        unsetenv("DISPLAY");
}

} // namespace
} // namespace vorpalix::test
