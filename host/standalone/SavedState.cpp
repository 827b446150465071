#include "SavedState.h"

#include "AtomicFile.h"
#include "ChunkSummary.h"
#include "PluginHost.h"

#include <filesystem>
#include <system_error>

namespace vorpalix::host {

std::string defaultStatePath(const char* xdgConfigHome, const char* home) {
    namespace fs = std::filesystem;
    fs::path base;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
        base = xdgConfigHome;
    else if (home != nullptr && home[0] != '\0')
        base = fs::path(home) / ".config";
    else
        return {};
    return (base / "vorpalix" / "state.xml").string();
}

bool saveState(PluginHost& host, const std::string& path, std::string& error) {
    const std::vector<std::uint8_t> state = host.getChunk();
    if (state.empty()) {
        error = "the plug-in handed out no state";
        return false;
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    return writeFileAtomically(path, state, error);
}

} // namespace vorpalix::host
