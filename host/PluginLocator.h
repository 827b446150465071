#pragma once

#include <string>
#include <vector>

namespace vorpalix::host {

// Finds vorpalix.so for an installed or a built program. The places, in order: the folder of
// the program itself, ../lib/vst beside it (the installed layout), every folder of $VST_PATH
// (separated by ':'), ~/.vst, /usr/local/lib/vst and /usr/lib/vst.
struct PluginSearch {
    std::string found;                 // the first regular file found; empty when none
    std::vector<std::string> searched; // every path tried, in order
};

inline constexpr const char* kPluginFileName = "vorpalix.so";

// The folders to look in for a program in `programFolder`, given the values of $VST_PATH and
// $HOME (either may be null or empty). Empty entries of $VST_PATH are skipped.
std::vector<std::string> pluginSearchFolders(const std::string& programFolder, const char* vstPath,
                                             const char* home);

// Looks for the plug-in file in each folder of pluginSearchFolders.
PluginSearch findPlugin(const std::string& programFolder, const char* vstPath, const char* home);

// The folder of the running program (from /proc/self/exe); "." when it cannot be read.
std::string programFolder();

// The plug-in for a program: `explicitPath` when given (it wins, checked later by the loader),
// else the search above with this process's environment. On failure returns an empty string and
// a one-line message naming every place looked.
std::string locatePlugin(const std::string& explicitPath, std::string& error);

} // namespace vorpalix::host
