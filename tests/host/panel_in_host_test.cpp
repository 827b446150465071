// The built plug-in's panel as a host sees it: embedded in a real X window of the bundled host
// under a private Xvfb, clicked and dragged with xdotool while a second thread renders audio;
// and the host's own file selector, offered to the panel through the capability query.

#include <gtest/gtest.h>

#include "EditorWindow.h"
#include "LiveProcessor.h"
#include "PluginHost.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"
#include "support/VirtualDisplay.h"

#include "editor/GuiDescription.h"
#include "plugin/PanelScreenshot.h"
#include "state/XmlDocument.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace vorpalix::testing {
namespace {

using host::EditorWindow;
using host::HostOptions;
using host::LiveProcessor;
using host::LiveTime;
using host::PluginHost;

const std::string kPlugin = VORPALIX_PLUGIN_PATH;

// Where a described control sits on the panel: its centre.
struct Spot {
    int x = 0;
    int y = 0;
};

Spot spotOf(const std::string& name) {
    static const GuiDescription layout = [] {
        const XmlDocument settings = XmlDocument::parseResource("settings");
        GuiDescription d;
        for (const xmlNode* child : elementChildren(settings.root()))
            if (isElement(child, "GUI"))
                d.parse(child, [](std::string_view) { return -1; });
        return d;
    }();
    const ControlDescriptor* d = layout.find(name);
    EXPECT_NE(d, nullptr) << name;
    if (d == nullptr)
        return {};
    return {(d->rect.left + d->rect.right) / 2, (d->rect.top + d->rect.bottom) / 2};
}

std::unique_ptr<PluginHost> loadPlugin(HostOptions options = {}) {
    auto loaded = PluginHost::load(kPlugin, options);
    EXPECT_TRUE(loaded) << loaded.message;
    if (loaded)
        loaded.host->start();
    return std::move(loaded.host);
}

std::vector<std::uint32_t> readPng(const std::string& path, int& width, int& height) {
    std::vector<std::uint32_t> pixels;
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    width = height = 0;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        width = cairo_image_surface_get_width(surface);
        height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] &
                                 0xFFFFFFu);
    }
    cairo_surface_destroy(surface);
    return pixels;
}

// The headless picture of a plug-in's panel, drawn by the plug-in itself.
std::vector<std::uint32_t> headlessPicture(PluginHost& host, int& width, int& height) {
    TempFolder folder;
    const std::string path = folder.file("panel.png");
    PanelScreenshotRequest request;
    request.path = path.c_str();
    EXPECT_EQ(host.dispatch(vst::effVendorSpecific, kPanelScreenshotOpcode, 0, &request), 1);
    return readPng(path, width, height);
}

TEST(PanelHostFileSelector, IsUsedWhenTheHostOffersOne) {
    TempFolder folder;
    HostOptions options;
    options.canDoAnswers["openFileSelector"] = 1;
    options.canDoAnswers["closeFileSelector"] = 1;
    options.fileSelectorAnswer = folder.file("bank");
    auto host = loadPlugin(options);
    ASSERT_TRUE(host);
    // The screenshot's clicks work the panel: Pattern Save Bank, with the sequencer on.
    const Spot save = spotOf("Pattern Save Bank");
    const std::int32_t clicks[] = {save.x, save.y};
    PanelScreenshotRequest request;
    const std::string picture = folder.file("panel.png");
    request.path = picture.c_str();
    request.clicks = clicks;
    request.clickCount = 1;
    ASSERT_EQ(host->dispatch(vst::effVendorSpecific, kPanelScreenshotOpcode, 0, &request), 1);
    EXPECT_EQ(host->fileSelectorTitles(), std::vector<std::string>{"Save Pattern Bank"});
    EXPECT_TRUE(std::filesystem::exists(folder.file("bank.xml")));

    // A host that cancels: nothing is written.
    host->options().fileSelectorAnswer = "";
    std::filesystem::remove(folder.file("bank.xml"));
    ASSERT_EQ(host->dispatch(vst::effVendorSpecific, kPanelScreenshotOpcode, 0, &request), 1);
    EXPECT_EQ(host->fileSelectorTitles().size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(folder.file("bank.xml")));
}

// A private X server, the built plug-in in the bundled host, its panel embedded in the host's
// window, and a second thread rendering audio the whole time.
class PanelInHost : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string xvfb = findProgram("Xvfb");
        if (xvfb.empty())
            GTEST_SKIP() << "Xvfb is not installed";
        xdotool_ = findProgram("xdotool");
        ASSERT_FALSE(xdotool_.empty()) << "xdotool is missing (scripts/install-deps.sh)";
        server_ = std::make_unique<VirtualDisplay>(xvfb, "1024x700x24");
        ASSERT_FALSE(server_->name().empty()) << "Xvfb did not start";
        const char* old = std::getenv("DISPLAY");
        savedDisplay_ = old != nullptr ? old : "";
        setenv("DISPLAY", server_->name().c_str(), 1);
        display_ = XOpenDisplay(server_->name().c_str());
        ASSERT_NE(display_, nullptr);
        previousHandler_ = XSetErrorHandler(&countError);
        errors_ = 0;

        host_ = loadPlugin();
        ASSERT_TRUE(host_);
        processor_ = std::make_unique<LiveProcessor>(*host_);
        audio_ = std::thread([this] { renderAudio(); });
    }

    void TearDown() override {
        window_.reset();
        stop_ = true;
        if (audio_.joinable())
            audio_.join();
        if (host_) {
            EXPECT_GT(blocks_.load(), 0) << "the audio thread rendered nothing";
        }
        processor_.reset();
        host_.reset();
        if (display_ != nullptr) {
            XSync(display_, False);
            EXPECT_EQ(errors_, 0) << "X errors on the host's connection";
            XSetErrorHandler(previousHandler_);
            XCloseDisplay(display_);
        }
        if (server_ != nullptr)
            setenv("DISPLAY", savedDisplay_.c_str(), 1);
    }

    static int countError(Display*, XErrorEvent*) {
        ++errors_;
        return 0;
    }

    void renderAudio() {
        std::vector<std::vector<float>> buffers(static_cast<std::size_t>(host_->numOutputs()),
                                                std::vector<float>(256));
        std::vector<float*> pointers;
        for (auto& b : buffers)
            pointers.push_back(b.data());
        while (!stop_) {
            processor_->beginBlock();
            processor_->process(pointers.data(), 256, LiveTime{});
            ++blocks_;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    void openWindow() {
        std::string error;
        window_ = EditorWindow::open(*host_, "Vorpalix", error);
        ASSERT_TRUE(window_) << error;
        idleFor(200);
    }

    // The host's idle at about 100 Hz for a while.
    void idleFor(int milliseconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            window_->idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void xdotool(const std::vector<std::string>& args) {
        const auto result = runProcess(xdotool_, args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        idleFor(150);
    }
    void click(Spot s, const char* keys = nullptr) {
        // No --sync: it would wait for a pointer that is already there to move.
        std::vector<std::string> args = {"mousemove", std::to_string(s.x), std::to_string(s.y)};
        if (keys != nullptr)
            args.insert(args.end(), {"keydown", keys});
        args.insert(args.end(), {"click", "1"});
        if (keys != nullptr)
            args.insert(args.end(), {"keyup", keys});
        xdotool(args);
    }

    std::vector<std::uint32_t> windowPicture(int& width, int& height) {
        width = window_->width();
        height = window_->height();
        XImage* image = XGetImage(display_, window_->windowId(), 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        std::vector<std::uint32_t> pixels;
        if (image == nullptr)
            return pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu);
        XDestroyImage(image);
        return pixels;
    }

    unsigned childCount() {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(display_, window_->windowId(), &root, &parent, &children, &count);
        if (children != nullptr)
            XFree(children);
        return count;
    }

    std::string chunk() {
        const auto bytes = host_->getChunk();
        return std::string(bytes.begin(), bytes.end());
    }

    static inline int errors_ = 0;
    std::string xdotool_;
    std::unique_ptr<VirtualDisplay> server_;
    std::string savedDisplay_;
    Display* display_ = nullptr;
    XErrorHandler previousHandler_ = nullptr;
    std::unique_ptr<PluginHost> host_;
    std::unique_ptr<LiveProcessor> processor_;
    std::thread audio_;
    std::atomic<bool> stop_{false};
    std::atomic<int> blocks_{0};
    std::unique_ptr<EditorWindow> window_;
};

TEST_F(PanelInHost, ShowsWhatTheHeadlessPanelShows) {
    openWindow();
    auto other = loadPlugin(); // the same state: the plug-in's defaults
    int w = 0, h = 0;
    const auto headless = headlessPicture(*other, w, h);

    // The first step light blinks on the window's real clock, and the headless picture shows
    // its first phase: the window is looked at several times, until it is in that phase too.
    std::size_t differing = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    for (int look = 0; look < 40; ++look) {
        int width = 0, height = 0;
        const auto shown = windowPicture(width, height);
        ASSERT_EQ(width, 999);
        ASSERT_EQ(height, 617);
        ASSERT_EQ(w, width);
        ASSERT_EQ(h, height);
        ASSERT_EQ(shown.size(), headless.size());
        differing = 0;
        left = width, top = height, right = -1, bottom = -1;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (shown[i] != headless[i]) {
                ++differing;
                const int x = static_cast<int>(i % static_cast<std::size_t>(width));
                const int y = static_cast<int>(i / static_cast<std::size_t>(width));
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        if (differing == 0)
            break;
        idleFor(50);
    }
    EXPECT_EQ(differing, 0u) << "in (" << left << "," << top << ")-(" << right << "," << bottom
                             << ")";
}

TEST_F(PanelInHost, ClicksAndDragsMoveParametersAsOneGesturePerDrag) {
    openWindow();
    click(spotOf("BD Mute"));
    EXPECT_EQ(host_->getParameter(53), 1.0f);

    const float before = host_->getParameter(0);
    host_->clearCalls();
    const Spot knob = spotOf("BD Level");
    xdotool(
        {"mousemove", "--sync", std::to_string(knob.x), std::to_string(knob.y), "mousedown", "1"});
    for (int step = 1; step <= 8; ++step)
        xdotool({"mousemove", "--sync", std::to_string(knob.x), std::to_string(knob.y - 5 * step)});
    xdotool({"mouseup", "1"});
    EXPECT_GT(host_->getParameter(0), before + 0.1f);

    // BeginEdit, one or more Automate, EndEdit: one gesture, for BD Level only.
    std::vector<vst::VstInt32> gesture;
    for (const auto& call : host_->calls()) {
        if (call.opcode == vst::audioMasterBeginEdit || call.opcode == vst::audioMasterEndEdit ||
            call.opcode == vst::audioMasterAutomate) {
            EXPECT_EQ(call.index, 0);
            if (gesture.empty() || gesture.back() != call.opcode)
                gesture.push_back(call.opcode);
        }
    }
    EXPECT_EQ(gesture,
              (std::vector<vst::VstInt32>{vst::audioMasterBeginEdit, vst::audioMasterAutomate,
                                          vst::audioMasterEndEdit}));
    EXPECT_GE(host_->automations().size(), 2u);
}

TEST_F(PanelInHost, TenCloseAndReopenCyclesLeaveNoChildWindow) {
    openWindow();
    ASSERT_EQ(childCount(), 1u);
    const auto parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_->windowId()));
    for (int round = 0; round < 10; ++round) {
        host_->dispatch(vst::effEditClose);
        XSync(display_, False);
        EXPECT_EQ(childCount(), 0u) << "round " << round;
        ASSERT_EQ(host_->dispatch(vst::effEditOpen, 0, 0, parent), 1) << "round " << round;
        idleFor(30);
        XSync(display_, False);
        EXPECT_EQ(childCount(), 1u) << "round " << round;
    }
    click(spotOf("SD Mute")); // still working
    EXPECT_EQ(host_->getParameter(54), 1.0f);
}

TEST_F(PanelInHost, WriteModeStepsChangeThePatternInTheChunk) {
    openWindow();
    ASSERT_NE(chunk().find("<BD>O...o...O...o...</BD>"), std::string::npos);
    click(spotOf("Write Mode"));
    click(spotOf("Step 3"));
    click(spotOf("Step 4"));
    click(spotOf("Step 4"));
    EXPECT_NE(chunk().find("<BD>O.oOo...O...o...</BD>"), std::string::npos);
}

TEST_F(PanelInHost, PresetBrowserChoosesAPresetAndTheKnobsFollow) {
    openWindow();
    std::array<float, 6> before{};
    for (int i = 0; i < 6; ++i)
        before[i] = host_->getParameter(i);
    click(spotOf("Instrument Preset Select"));
    // The browser sits centred and 124 pixels up: slot 2 of the first column.
    click({146 + 12, 69 + 58 + 8});
    EXPECT_NE(chunk().find("BDIndex=\"1\""), std::string::npos);
    int changed = 0;
    for (int i = 0; i < 6; ++i)
        changed += host_->getParameter(i) != before[i] ? 1 : 0;
    EXPECT_GT(changed, 0);
}

TEST_F(PanelInHost, TheHostProgramShowsThePanelUntilItsTimeIsUp) {
    const ProcessResult shown =
        runProcess(VORPALIX_HOST_PATH, {"--editor", "--play", "--seconds", "1"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_TRUE(shown.err.empty()) << shown.err;
    setenv("DISPLAY", ":0.999", 1); // no such display
    const ProcessResult refused = runProcess(VORPALIX_HOST_PATH, {"--editor"});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_EQ(refused.err, "vorpalix-host: cannot open the X display\n");
}

} // namespace
} // namespace vorpalix::testing
