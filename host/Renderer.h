#pragma once

#include "RenderOptions.h"

#include <cstdio>
#include <ostream>
#include <string>

namespace vorpalix::host {

// Loads the plug-in at `pluginPath`, renders the options' length with the transport playing
// from the start and writes the requested files. Every file appears complete or not at all.
// Returns false with a one-line message. `progress` may be null (no progress bar).
bool renderToFiles(const RenderOptions& options, const std::string& pluginPath, std::FILE* progress,
                   std::string& error);

// Loads and opens the plug-in and prints its description (see writeInfo). Returns false with a
// one-line message when it cannot be loaded.
bool printPluginInfo(const std::string& pluginPath, std::ostream& out, std::string& error);

} // namespace vorpalix::host
