#include "PluginLocator.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace vorpalix::host {

namespace fs = std::filesystem;

std::vector<std::string> pluginSearchFolders(const std::string& programFolder, const char* vstPath,
                                             const char* home) {
    std::vector<std::string> folders;
    const fs::path program(programFolder.empty() ? "." : programFolder);
    folders.push_back(program.string());
    folders.push_back((program / ".." / "lib" / "vst").lexically_normal().string());
    if (vstPath != nullptr) {
        std::string_view rest(vstPath);
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            const std::string_view entry = rest.substr(0, colon);
            if (!entry.empty())
                folders.emplace_back(entry);
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    if (home != nullptr && home[0] != '\0')
        folders.push_back((fs::path(home) / ".vst").string());
    folders.emplace_back("/usr/local/lib/vst");
    folders.emplace_back("/usr/lib/vst");
    return folders;
}

PluginSearch findPlugin(const std::string& programFolder, const char* vstPath, const char* home) {
    PluginSearch search;
    for (const auto& folder : pluginSearchFolders(programFolder, vstPath, home)) {
        const std::string candidate = (fs::path(folder) / kPluginFileName).string();
        search.searched.push_back(candidate);
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) {
            search.found = candidate;
            break;
        }
    }
    return search;
}

std::string programFolder() {
    std::error_code ec;
    const auto self = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !self.has_parent_path())
        return ".";
    return self.parent_path().string();
}

std::string locatePlugin(const std::string& explicitPath, std::string& error) {
    if (!explicitPath.empty())
        return explicitPath;
    const PluginSearch search =
        findPlugin(programFolder(), std::getenv("VST_PATH"), std::getenv("HOME"));
    if (search.found.empty()) {
        error = "cannot find " + std::string(kPluginFileName) + "; looked in";
        for (std::size_t i = 0; i < search.searched.size(); ++i)
            error += (i == 0 ? " \"" : ", \"") + search.searched[i] + "\"";
        error += " (use --plugin PATH)";
    }
    return search.found;
}

} // namespace vorpalix::host
