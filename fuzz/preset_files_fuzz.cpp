// The preset, preset set and preset bank file readers with arbitrary files.

#include "FuzzSupport.h"
#include "presets/PresetBank.h"
#include "state/XmlDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorpalix;
    DrumPlugin& plugin = fuzz::sharedPlugin();
    PresetBank& presets = plugin.controller().presets();
    presets.setShownInstrument(size > 0 ? data[0] % 11 : 0);
    const std::string& file = fuzz::inputFile(data, size);
    presets.loadPresetFile(file);
    presets.loadPresetSetFile(file);
    presets.loadPresetBankFile(file);
    // The bank element as the chunk reads it, with the selections.
    const XmlDocument document =
        XmlDocument::parseMemory(std::span<const std::uint8_t>(data, size));
    presets.readPresetBank(document.root(), true);
    for (int i = 0; i < 11; ++i) {
        if (presets.selection(i) < 0 || presets.selection(i) > 31) {
            std::abort();
        }
    }
    fuzz::renderAndCheck(plugin);
    return 0;
}
