#pragma once

// The settings document's state elements: PluginState (sequencer, outputs and editor state) and
// UserSettings (output configuration and the free-mode threshold), and the file name of the
// user settings file beside the plug-in module.
//
// The readers and writers work on the state model (StateModel.h), never on playback.
//
// Threads: user-interface thread (plug-in construction, setChunk, getChunk).

#include <cstddef>
#include <string>

#include "state/StateModel.h"

typedef struct _xmlNode xmlNode;

namespace vorpalix {

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
// only when the model has an edit state. The shown preset instrument always applies.
void readPluginState(StateModel& model, const xmlNode* element);

// A new, unattached PluginState element describing the model, with the editor-state children
// when it has an edit state; nullptr when memory runs out. The sequencer mode written is the
// one requested last, which the audio thread takes over at its next block, so a state saved
// while the host does not process audio keeps the mode just chosen or restored.
xmlNode* writePluginState(const StateModel& model);

// Reads a UserSettings element into the output configuration (whose channel count the plug-in
// fixes once, at construction), the free-mode threshold and the shown preset instrument.
void readUserSettings(StateModel& model, const xmlNode* element);

} // namespace vorpalix
