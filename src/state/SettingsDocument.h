#pragma once

// The settings document's state elements: PluginState (sequencer, outputs and editor state) and
// UserSettings (output configuration and the free-mode threshold), and the file name of the
// user settings file beside the plug-in module.
//
// Threads: UI thread (plug-in construction, setChunk, getChunk). Everything the readers change
// that the audio thread reads goes through the plug-in's atomic request fields.

#include <string>

typedef struct _xmlNode xmlNode;

namespace vorpalix {

class DrumPlugin;
struct OutputConfig;

inline constexpr const char *kUserSettingsFileName = "Vorpalix.ini.xml";
// Longest path of the user settings file that is read.
inline constexpr std::size_t kMaxSettingsPath = 255;

// The path of "Vorpalix.ini.xml" in folder (joined with exactly one '/'), or an empty text when
// the folder is unknown or the path would be longer than kMaxSettingsPath.
std::string userSettingsPath(const std::string &folder);

// Applies a PluginState element child by child in document order. Another element changes
// nothing. Unknown children, unknown attribute values and out-of-range indices are skipped.
void readPluginState(DrumPlugin &plugin, const xmlNode *element);

// A new, unattached PluginState element describing the current state; nullptr when memory runs
// out.
xmlNode *writePluginState(DrumPlugin &plugin);

// Reads a UserSettings element into the output configuration (whose channel count the plug-in
// fixes once, at construction) and the plug-in's free-mode threshold and shown preset
// instrument.
void readUserSettings(DrumPlugin &plugin, OutputConfig &config, const xmlNode *element);

} // namespace vorpalix
