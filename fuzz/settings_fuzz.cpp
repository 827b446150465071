// The settings readers with arbitrary documents: the user settings file pass, and the
// PluginState and UserSettings elements wherever they appear.

#include "FuzzSupport.h"
#include "plugin/OutputConfig.h"
#include "state/SettingsDocument.h"
#include "state/XmlDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorpalix;
    DrumPlugin& plugin = fuzz::sharedPlugin();
    const XmlDocument document =
        XmlDocument::parseMemory(std::span<const std::uint8_t>(data, size));
    plugin.controller().applySettingsDocument(document.root(), false);
    OutputConfig config;
    readPluginState(plugin, document.root(), nullptr);
    readUserSettings(plugin, config, document.root());
    for (const xmlNode* child : elementChildren(document.root())) {
        readPluginState(plugin, child, nullptr);
        readUserSettings(plugin, config, child);
    }
    if (config.outputCount() < 11 || config.outputCount() > 24 || plugin.freeModeThreshold() < 0 ||
        plugin.freeModeThreshold() > 127) {
        std::abort();
    }
    for (int i = 0; i < 11; ++i) {
        if (plugin.controller().outputNumber(i) < 0 || plugin.controller().outputNumber(i) > 10) {
            std::abort();
        }
    }
    fuzz::renderAndCheck(plugin);
    return 0;
}
