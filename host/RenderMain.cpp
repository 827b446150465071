// vorpalix-render: renders the plug-in to WAV files through the bundled host, or describes it.

#include "PluginHost.h"
#include "PluginLocator.h"
#include "ProgressBar.h"
#include "RenderOptions.h"
#include "Renderer.h"
#include "WavWriter.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int fail(const std::string& message, int code) {
    std::string line = message;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::cerr << "vorpalix-render: " << line << std::endl;
    return code;
}

} // namespace

int main(int argc, char** argv) {
    using namespace vorpalix::host;
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    RenderOptions options;
    std::string error;
    if (!parseRenderOptions(args, options, error))
        return fail(error, kExitUsage);
    if (options.help) {
        std::cout << renderHelpText();
        return 0;
    }
    const std::string plugin = locatePlugin(options.pluginPath, error);
    if (plugin.empty())
        return fail(error, kExitFailure);
    if (options.info) {
        if (!printPluginInfo(plugin, std::cout, error))
            return fail(error, kExitFailure);
        return 0;
    }

    if (!options.screenshotPath.empty()) {
        if (!writePanelScreenshot(options, plugin, error))
            return fail(error, kExitFailure);
        return 0;
    }

    WavWriter::removeTemporariesOnSignals();
    std::FILE* progress = !options.quiet && ProgressBar::isTerminal(stderr) ? stderr : nullptr;
    if (!renderToFiles(options, plugin, progress, error))
        return fail(error, kExitFailure);
    return 0;
}
