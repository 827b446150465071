// Draws the panel art of the instrument: the background, every control's image strip and the
// two overlay panels, as PNG files named bitmap<id>.png, from the GUI element of the settings
// document. Everything is drawn from code (shapes, a stroke font and a pixel font); nothing is
// read but the settings document, and equal input gives equal bytes.
//
// Usage: vorpalix-panelart [--scale N] [--preview FILE] [--preview-browser FILE]
//                          [--preview-about FILE] <settings.xml> <output-directory>
//   --scale N               draw at N times the panel's pixel size (1..4; the plug-in embeds 1)
//   --preview FILE          also write the whole panel with every control in place, as a PNG
//   --preview-browser FILE  the same for the preset browser
//   --preview-about FILE    the same for the About box
// Files are written through a temporary file and a rename, so none is ever half written.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Art.h"
#include "Draw.h"
#include "Layout.h"

namespace {

constexpr const char* kUsage =
    "usage: vorpalix-panelart [--scale N] [--preview FILE] [--preview-browser FILE] "
    "[--preview-about FILE] <settings.xml> <output-directory>";

int fail(const std::string& message) {
    std::fprintf(stderr, "vorpalix-panelart: %s\n", message.c_str());
    return 1;
}

// Writes bytes to path through a temporary file in the same folder and a rename.
bool writeFileSafely(const std::filesystem::path& path, const std::string& bytes) {
    std::string tmp = path.string() + ".tmp-XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) {
        return false;
    }
    // mkstemp makes the file private; give it the permissions of an ordinary new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const bool written = done == bytes.size();
    if (close(fd) != 0 || !written || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

std::string pngOf(cairo_surface_t* surface) {
    std::string bytes;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        bytes = panelart::encodePng(surface);
    }
    cairo_surface_destroy(surface);
    return bytes;
}

int usage(const std::string& problem) {
    std::fprintf(stderr, "vorpalix-panelart: %s; %s\n", problem.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    int scale = 1;
    std::string preview, previewBrowser, previewAbout;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--scale" || arg == "--preview" || arg == "--preview-browser" ||
            arg == "--preview-about") {
            if (i + 1 >= argc) {
                return usage(std::string(arg) + " needs a value");
            }
            const std::string_view value = argv[++i];
            if (arg != "--scale") {
                (arg == "--preview"           ? preview
                 : arg == "--preview-browser" ? previewBrowser
                                              : previewAbout) = value;
                continue;
            }
            const auto r = std::from_chars(value.data(), value.data() + value.size(), scale);
            if (r.ec != std::errc() || r.ptr != value.data() + value.size() || scale < 1 ||
                scale > 4) {
                return usage("--scale takes 1, 2, 3 or 4");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage("unknown option " + std::string(arg));
        } else {
            positional.emplace_back(arg);
        }
    }
    if (positional.size() != 2) {
        return usage("a settings document and an output folder are needed");
    }
    if (!panelart::pixelFontWellFormed()) {
        return fail("the pixel font table is malformed");
    }

    std::string error;
    const std::optional<panelart::Layout> layout = panelart::readLayout(positional[0], error);
    if (!layout) {
        return fail(error);
    }
    const std::optional<std::vector<panelart::Bitmap>> bitmaps =
        panelart::planBitmaps(*layout, error);
    if (!bitmaps) {
        return fail(error);
    }

    const std::filesystem::path dir = positional[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        return fail("cannot create the folder " + dir.string());
    }
    for (const panelart::Bitmap& b : *bitmaps) {
        const std::string png = pngOf(panelart::renderBitmap(b, scale));
        const std::filesystem::path path = dir / ("bitmap" + std::to_string(b.id) + ".png");
        if (png.empty() || !writeFileSafely(path, png)) {
            return fail("cannot write " + path.string());
        }
    }
    const std::pair<const std::string*, panelart::PreviewPanel> previews[] = {
        {&preview, panelart::PreviewPanel::Main},
        {&previewBrowser, panelart::PreviewPanel::PresetBrowser},
        {&previewAbout, panelart::PreviewPanel::AboutBox}};
    for (const auto& [file, panel] : previews) {
        if (file->empty()) {
            continue;
        }
        const std::string png = pngOf(panelart::renderPreview(*layout, *bitmaps, scale, panel));
        if (png.empty() || !writeFileSafely(*file, png)) {
            return fail("cannot write " + *file);
        }
    }
    return 0;
}
