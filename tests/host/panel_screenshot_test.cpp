// vorpalix-render --screenshot: the panel drawn by the plug-in without a window, as a PNG file,
// for the plug-in's own state or a saved one, after clicks.

#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>

namespace vorpalix::testing {
namespace {

const std::string kRender = VORPALIX_RENDER_PATH;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xRRGGBB

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    // How many pixels of the area differ from another picture's.
    int differences(const Picture& other, int left, int top, int right, int bottom) const {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                count += at(x, y) != other.at(x, y) ? 1 : 0;
        return count;
    }
};

Picture readPng(const std::string& path) {
    Picture picture;
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        picture.width = cairo_image_surface_get_width(surface);
        picture.height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        for (int y = 0; y < picture.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            for (int x = 0; x < picture.width; ++x)
                picture.pixels.push_back(row[x] & 0xFFFFFFu);
        }
    }
    cairo_surface_destroy(surface);
    return picture;
}

Picture shoot(TempFolder& folder, const std::string& name, std::vector<std::string> args) {
    args.push_back("--screenshot");
    args.push_back(folder.file(name));
    const ProcessResult result = runProcess(kRender, args, folder.path().string());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;
    return readPng(folder.file(name));
}

TEST(PanelScreenshot, DrawsThePanelAndWhatClicksChangedOnIt) {
    TempFolder folder;
    const Picture plain = shoot(folder, "plain.png", {});
    ASSERT_EQ(plain.width, 999);
    ASSERT_EQ(plain.height, 617);
    EXPECT_EQ(shoot(folder, "again.png", {}).pixels, plain.pixels)
        << "the same state, the same picture";

    // WRITE (277, 330): the step keys show the edited pattern; the top bar stays as it was.
    const Picture write = shoot(folder, "write.png", {"--click", "277,330"});
    EXPECT_GT(write.differences(plain, 36, 500, 962, 605), 100);
    EXPECT_EQ(write.differences(plain, 0, 0, 999, 68), 0);

    // The preset browser (937, 21) covers the instruments under the top bar.
    const Picture browser = shoot(folder, "browser.png", {"--click", "937,21"});
    EXPECT_GT(browser.differences(plain, 146, 69, 852, 300), 706 * 231 / 4);
    EXPECT_EQ(browser.differences(plain, 0, 310, 999, 617), 0);
}

TEST(PanelScreenshot, ShowsASavedState) {
    TempFolder folder;
    const Picture plain = shoot(folder, "plain.png", {});
    // A state with write mode on and the snare's row selected.
    const ProcessResult saved =
        runProcess(kRender, {"--seconds", "0", "--save-state", "state.xml", "-o", "x.wav"},
                   folder.path().string());
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    std::ifstream in(folder.file("state.xml"));
    std::string state((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto write = state.find("<WriteMode state=\"off\"/>");
    ASSERT_NE(write, std::string::npos);
    state.replace(write, 24, "<WriteMode state=\"on\"/>");
    folder.write("state.xml", state);
    const Picture fromState = shoot(folder, "state.png", {"--state", "state.xml"});
    const Picture clicked = shoot(folder, "clicked.png", {"--click", "277,330"});
    EXPECT_GT(fromState.differences(plain, 36, 500, 962, 605), 100);
    EXPECT_EQ(fromState.differences(clicked, 0, 0, 999, 617), 0);
}

} // namespace
} // namespace vorpalix::testing
