#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorpalix::host {

class PluginHost;

// Where the program keeps the state between runs: $XDG_CONFIG_HOME/vorpalix/state.xml, or
// ~/.config/vorpalix/state.xml when XDG_CONFIG_HOME is unset or not absolute. Empty when
// neither variable helps.
std::string defaultStatePath(const char* xdgConfigHome, const char* home);

// Writes the plug-in's current state (its chunk) to `path`, creating the folder, through a
// temporary file and a rename: a failed save leaves the old file as it was.
bool saveState(PluginHost& host, const std::string& path, std::string& error);

} // namespace vorpalix::host
