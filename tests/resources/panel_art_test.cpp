// The panel bitmaps compiled into the plug-in: one PNG per bitmap id that the layout or the
// overlay panels use, sized like the controls that show it, every frame drawn; and the program
// that draws them gives the same bytes on every run.

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "resources/EmbeddedResources.h"
#include "state/XmlDocument.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

namespace vorpalix {
namespace {

struct Strip {
    int width = 0, frameHeight = 0, frames = 0;
};

// Every bitmap id with the size of one frame and the frame count: the background, the ids the
// layout names (a bitmap display's strip holds one glyph per frame, a cell wide), and the ids of
// the preset browser and the About box.
std::map<int, Strip> expectedStrips() {
    std::map<int, Strip> strips = {{100, {999, 617, 1}}, {920, {706, 231, 1}}, {915, {14, 16, 4}},
                                   {912, {37, 16, 2}},   {913, {17, 16, 2}},   {914, {17, 16, 2}},
                                   {921, {26, 16, 2}},   {922, {26, 16, 2}},   {752, {289, 240, 1}},
                                   {760, {15, 25, 2}}};
    for (int k = 0; k < 11; ++k) {
        strips[930 + k] = {22, 16, 4};
    }
    const XmlDocument doc = XmlDocument::parseResource("settings");
    for (const xmlNode* part : elementChildren(doc.root())) {
        if (!isElement(part, "GUI")) {
            continue;
        }
        for (const xmlNode* c : elementChildren(part)) {
            auto num = [c](const char* a) { return readIntAttribute(c, a).value_or(0); };
            if (num("resID") == 0) {
                continue;
            }
            const Strip s = attribute(c, "class") == "CBitmapDisplay"
                                ? Strip{num("width") / num("chars"), num("height"), num("fonts")}
                                : Strip{num("width"), num("height"), num("frames")};
            const auto [at, added] = strips.emplace(num("resID"), s);
            EXPECT_TRUE(added ||
                        (at->second.width == s.width && at->second.frameHeight == s.frameHeight &&
                         at->second.frames == s.frames))
                << "bitmap " << num("resID") << " is used with two sizes";
        }
    }
    return strips;
}

std::uint32_t bigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Width and height from a PNG's header, or 0 x 0 when the bytes are not a PNG.
std::pair<std::uint32_t, std::uint32_t> pngSize(std::span<const std::uint8_t> png) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (png.size() < 24 || std::memcmp(png.data(), kSignature, 8) != 0 ||
        std::memcmp(png.data() + 12, "IHDR", 4) != 0) {
        return {0, 0};
    }
    return {bigEndian(png.data() + 16), bigEndian(png.data() + 20)};
}

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface decode(std::span<const std::uint8_t> png) {
    struct Reader {
        std::span<const std::uint8_t> bytes;
        std::size_t at = 0;
    } reader{png};
    auto read = [](void* closure, unsigned char* data, unsigned int length) {
        auto* r = static_cast<Reader*>(closure);
        if (r->bytes.size() - r->at < length) {
            return CAIRO_STATUS_READ_ERROR;
        }
        std::memcpy(data, r->bytes.data() + r->at, length);
        r->at += length;
        return CAIRO_STATUS_SUCCESS;
    };
    return Surface(cairo_image_surface_create_from_png_stream(read, &reader),
                   &cairo_surface_destroy);
}

// The pixels of frame f, as 32-bit ARGB values.
std::vector<std::uint32_t> framePixels(cairo_surface_t* s, int frameHeight, int f) {
    const int w = cairo_image_surface_get_width(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const bool opaque = cairo_image_surface_get_format(s) == CAIRO_FORMAT_RGB24;
    std::vector<std::uint32_t> px;
    for (int y = f * frameHeight; y < (f + 1) * frameHeight; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x) {
            px.push_back(opaque ? (row[x] | 0xff000000u) : row[x]);
        }
    }
    return px;
}

TEST(PanelArt, EveryBitmapIsEmbeddedWithTheSizeOfItsControl) {
    const std::map<int, Strip> strips = expectedStrips();
    EXPECT_EQ(strips.size(), 195u);
    for (const auto& [id, strip] : strips) {
        const auto png = findResource("bitmap" + std::to_string(id));
        ASSERT_FALSE(png.empty()) << "bitmap" << id;
        const auto [w, h] = pngSize(png);
        EXPECT_EQ(w, static_cast<std::uint32_t>(strip.width)) << "bitmap" << id;
        EXPECT_EQ(h, static_cast<std::uint32_t>(strip.frameHeight * strip.frames))
            << "bitmap" << id;
    }
}

TEST(PanelArt, EveryFrameIsDrawnAndDiffersFromTheNext) {
    for (const auto& [id, strip] : expectedStrips()) {
        const Surface s = decode(findResource("bitmap" + std::to_string(id)));
        ASSERT_EQ(cairo_surface_status(s.get()), CAIRO_STATUS_SUCCESS) << "bitmap" << id;
        std::vector<std::uint32_t> previous;
        for (int f = 0; f < strip.frames; ++f) {
            const std::vector<std::uint32_t> px = framePixels(s.get(), strip.frameHeight, f);
            const bool drawn =
                std::any_of(px.begin(), px.end(), [](std::uint32_t p) { return (p >> 24) != 0; });
            EXPECT_TRUE(drawn) << "bitmap" << id << " frame " << f;
            if (f > 0) {
                EXPECT_NE(px, previous) << "bitmap" << id << " frames " << f - 1 << ", " << f;
            }
            previous = px;
        }
    }
    // The background is opaque; the font's space is plain glass and every printable glyph
    // lights some dots.
    const Surface background = decode(findResource("bitmap100"));
    EXPECT_EQ(cairo_image_surface_get_format(background.get()), CAIRO_FORMAT_RGB24);
    const Surface font = decode(findResource("bitmap700"));
    for (int code = 32; code < 127; ++code) {
        const std::vector<std::uint32_t> px = framePixels(font.get(), 9, code - 32);
        const bool plain = std::all_of(px.begin(), px.end(), [&](auto p) { return p == px[0]; });
        EXPECT_EQ(plain, code == 32) << "glyph " << code;
    }
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kSettings = std::string(VORPALIX_SOURCE_DIR) + "/src/resources/settings.xml";

TEST(PanelArtGenerator, DrawsTheSameBytesEveryRunAsTheEmbeddedArt) {
    testing::TempFolder a, b;
    ASSERT_EQ(
        testing::runProcess(VORPALIX_PANELART_GENERATOR, {kSettings, a.path().string()}).exitCode,
        0);
    const testing::ProcessResult second =
        testing::runProcess(VORPALIX_PANELART_GENERATOR, {"--preview", b.file("preview.png"),
                                                          kSettings, (b.path() / "art").string()});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    const std::map<int, Strip> strips = expectedStrips();
    EXPECT_EQ(a.entries().size(), strips.size()); // nothing else, no temporary files
    for (const auto& [id, strip] : strips) {
        const std::string name = "bitmap" + std::to_string(id) + ".png";
        const std::string first = readFile(a.path() / name);
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_EQ(first, readFile(b.path() / "art" / name)) << name;
        const auto embedded = findResource("bitmap" + std::to_string(id));
        EXPECT_EQ(first, std::string(embedded.begin(), embedded.end())) << name;
    }
    const std::string preview = readFile(b.path() / "preview.png");
    const auto size =
        pngSize({reinterpret_cast<const std::uint8_t*>(preview.data()), preview.size()});
    EXPECT_EQ(size, (std::pair<std::uint32_t, std::uint32_t>{999, 617}));
}

TEST(PanelArtGenerator, DrawsATwiceAsLargeSetForHighDensityScreens) {
    testing::TempFolder dir;
    ASSERT_EQ(testing::runProcess(VORPALIX_PANELART_GENERATOR,
                                  {"--scale", "2", kSettings, dir.path().string()})
                  .exitCode,
              0);
    for (const auto& [id, strip] : expectedStrips()) {
        const std::string png = readFile(dir.path() / ("bitmap" + std::to_string(id) + ".png"));
        const auto size = pngSize({reinterpret_cast<const std::uint8_t*>(png.data()), png.size()});
        EXPECT_EQ(size.first, 2u * strip.width) << id;
        EXPECT_EQ(size.second, 2u * strip.frameHeight * strip.frames) << id;
    }
}

TEST(PanelArtGenerator, RefusesBadArgumentsWithoutWritingAnything) {
    testing::TempFolder dir;
    const std::string out = (dir.path() / "out").string();
    const std::string noGui = dir.write("nogui.xml", "<VorpalixSettings/>");
    const std::string broken = dir.write("broken.xml", "<VorpalixSettings><GUI>");
    const std::string unknown = dir.write(
        "unknown.xml", "<S><GUI><control name=\"Mystery\" class=\"CKickButton\" width=\"9\" "
                       "height=\"9\" frames=\"2\" resID=\"7\"/></GUI></S>");
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{}, 2},
        {{kSettings}, 2},
        {{"--scale", "5", kSettings, out}, 2},
        {{"--scale", "2x", kSettings, out}, 2},
        {{"--colour", kSettings, out}, 2},
        {{"--preview"}, 2},
        {{dir.file("missing.xml"), out}, 1},
        {{noGui, out}, 1},
        {{broken, out}, 1},
        {{unknown, out}, 1},
    };
    for (const auto& [args, code] : cases) {
        const testing::ProcessResult r = testing::runProcess(VORPALIX_PANELART_GENERATOR, args);
        EXPECT_EQ(r.exitCode, code) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(testing::lineCount(r.err), 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << (args.empty() ? "" : args[0]);
    }
}

} // namespace
} // namespace vorpalix
