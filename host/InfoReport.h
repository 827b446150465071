#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vorpalix::host {

class PluginHost;

// The capability strings a plug-in may be asked through effCanDo, in the order --info prints them.
const std::vector<std::string>& pluginCanDoQueries();

// The name of a plug-in category number ("synth" for 2), or "unknown".
std::string categoryName(long long category);

// Writes what a host learns about a loaded, opened plug-in: identity, flags, output pins with
// labels and flags, every parameter's name and label, and the answers to pluginCanDoQueries().
void writeInfo(PluginHost& host, std::ostream& out);

} // namespace vorpalix::host
