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
class PatternEditing;
struct OutputConfig;

inline constexpr const char* kUserSettingsFileName = "Vorpalix.ini.xml";
// Longest path of the user settings file that is read.
inline constexpr std::size_t kMaxSettingsPath = 255;

// The path of "Vorpalix.ini.xml" in folder (joined with exactly one '/'), or an empty text when
// the folder is unknown or the path would be longer than kMaxSettingsPath.
std::string userSettingsPath(const std::string& folder);

// Applies a PluginState element child by child in document order. Another element changes
// nothing. Unknown children, unknown attribute values and out-of-range indices are skipped.
// The editor-state children (edited row and pattern, write, tap, flam and last step modes, auto
// follow) go through the pattern editing operations, so their side effects happen; they are read
// only when editing is given, that is while the editor's edit state exists. The shown preset
// instrument always applies.
void readPluginState(DrumPlugin& plugin, const xmlNode* element, PatternEditing* editing);

// A new, unattached PluginState element describing the current state, with the editor-state
// children of editing when it is given; nullptr when memory runs out. The sequencer mode
// written is the one requested last, which the audio thread takes over at its next block, so a
// state saved while the host does not process audio keeps the mode just chosen or restored.
xmlNode* writePluginState(DrumPlugin& plugin, const PatternEditing* editing);

// Reads a UserSettings element into the output configuration (whose channel count the plug-in
// fixes once, at construction) and the plug-in's free-mode threshold and shown preset
// instrument.
void readUserSettings(DrumPlugin& plugin, OutputConfig& config, const xmlNode* element);

} // namespace vorpalix
