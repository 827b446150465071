// The editor window under a private Xvfb server, with a small plug-in whose editor puts a child
// window into the host's, as VST 2.4 editors do on Linux.

#include "EditorWindow.h"
#include "PluginHost.h"
#include "support/JackTestSupport.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace vorpalix::testing {
namespace {

// The plug-in's editor: it reports 320 x 180, and on open makes a child window of the host's
// window on a display connection of its own.
struct EditorPlugin {
    static inline unsigned long parent = 0;
    static inline Window child = 0;
    static inline Display* display = nullptr;
    static inline int idles = 0;
    static inline int closes = 0;
    static inline vst::ERect rect{0, 0, 180, 320};
    static inline vst::AEffect effect{};

    static vst::VstIntPtr dispatch(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32,
                                   vst::VstIntPtr, void* ptr, float) {
        switch (opcode) {
        case vst::effEditGetRect:
            *static_cast<vst::ERect**>(ptr) = &rect;
            return 1;
        case vst::effEditOpen:
            parent = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(ptr));
            display = XOpenDisplay(nullptr);
            child = XCreateSimpleWindow(display, parent, 0, 0, 320, 180, 0, 0, 0);
            XMapWindow(display, child);
            XSync(display, False);
            return 1;
        case vst::effEditIdle:
            ++idles;
            return 1;
        case vst::effEditClose:
            ++closes;
            XDestroyWindow(display, child);
            XCloseDisplay(display);
            display = nullptr;
            return 1;
        default:
            return 0;
        }
    }
    static vst::AEffect* entry(vst::HostCallback) {
        effect = {};
        effect.magic = vst::kEffectMagic;
        effect.dispatcher = &EditorPlugin::dispatch;
        effect.numOutputs = 2;
        effect.flags = vst::effFlagsIsSynth | vst::effFlagsCanReplacing | vst::effFlagsHasEditor;
        return &effect;
    }
};

class EditorWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const int number = 90 + static_cast<int>(getpid() % 800);
        display_ = ":" + std::to_string(number);
        xvfb_ = new BackgroundProcess("Xvfb",
                                      {display_, "-screen", "0", "800x600x24", "-nolisten", "tcp"});
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        for (int i = 0; i < 250 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        setenv("DISPLAY", display_.c_str(), 1);
    }
    static void TearDownTestSuite() {
        xvfb_->stop(SIGTERM);
        delete xvfb_;
    }
    void SetUp() override {
        observer_ = XOpenDisplay(nullptr);
        ASSERT_NE(observer_, nullptr) << "Xvfb did not start on " << display_;
        EditorPlugin::idles = EditorPlugin::closes = 0;
        auto loaded = host::PluginHost::fromEntry(&EditorPlugin::entry);
        ASSERT_TRUE(loaded) << loaded.message;
        host_ = std::move(loaded.host);
    }
    void TearDown() override {
        if (observer_ != nullptr)
            XCloseDisplay(observer_);
    }

    static inline std::string display_;
    static inline BackgroundProcess* xvfb_ = nullptr;
    Display* observer_ = nullptr;
    std::unique_ptr<host::PluginHost> host_;
};

TEST_F(EditorWindowTest, EmbedsTheEditorInATitledWindowOfItsSize) {
    std::string error;
    auto window = host::EditorWindow::open(*host_, "Vorpalix", error);
    ASSERT_TRUE(window) << error;
    for (int i = 0; i < 3; ++i)
        window->idle();
    EXPECT_EQ(EditorPlugin::idles, 3);

    const Window id = window->windowId();
    EXPECT_EQ(EditorPlugin::parent, id);
    char* title = nullptr;
    ASSERT_TRUE(XFetchName(observer_, id, &title));
    EXPECT_STREQ(title, "Vorpalix");
    XFree(title);
    Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    XGetGeometry(observer_, id, &root, &x, &y, &width, &height, &border, &depth);
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(height, 180u);
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(observer_, id, &root, &parent, &children, &count);
    ASSERT_EQ(count, 1u) << "the editor's window is not inside ours";
    EXPECT_EQ(children[0], EditorPlugin::child);
    XFree(children);

    window.reset();
    EXPECT_EQ(EditorPlugin::closes, 1);
}

TEST_F(EditorWindowTest, NoEditorNoWindow) {
    host_->effect().flags &= ~vst::effFlagsHasEditor;
    std::string error;
    EXPECT_FALSE(host::EditorWindow::open(*host_, "Vorpalix", error));
    EXPECT_EQ(error, "the plug-in has no editor");
    EXPECT_EQ(EditorPlugin::closes, 0);
}

} // namespace
} // namespace vorpalix::testing
