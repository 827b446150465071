#pragma once

#include "RenderOptions.h"

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace vorpalix::host {

// Loads the plug-in at `pluginPath`, renders the options' length with the transport playing
// from the start and writes the requested files. Every file appears complete or not at all.
// Returns false with a one-line message. `progress` may be null (no progress bar).
bool renderToFiles(const RenderOptions& options, const std::string& pluginPath, std::FILE* progress,
                   std::string& error);

// Loads the plug-in, applies the options' state and has it draw its panel, after the options'
// clicks, into the PNG file options.screenshotPath. Returns false with a one-line message.
bool writePanelScreenshot(const RenderOptions& options, const std::string& pluginPath,
                          std::string& error);

// Reads a saved state (a VorpalixBank document); an empty path gives an empty state. Returns
// false with a one-line message for a file that cannot be read or is no Vorpalix state.
bool readStateFile(const std::string& path, std::vector<std::uint8_t>& state, std::string& error);

// Loads and opens the plug-in and prints its description (see writeInfo). Returns false with a
// one-line message when it cannot be loaded.
bool printPluginInfo(const std::string& pluginPath, std::ostream& out, std::string& error);

} // namespace vorpalix::host
