// setChunk with arbitrary bytes, then a block of audio, and now and then getChunk.

#include "FuzzSupport.h"
#include "state/XmlDocument.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorpalix;
    DrumPlugin& plugin = fuzz::sharedPlugin();
    vst::AEffect* effect = plugin.aeffect();
    std::vector<std::uint8_t> copy(data, data + size); // host-owned, as hosts hand it over
    const auto result =
        effect->dispatcher(effect, vst::effSetChunk, 0, static_cast<vst::VstIntPtr>(size),
                           copy.empty() ? nullptr : copy.data(), 0.0f);
    if (result != 1) {
        std::abort();
    }
    fuzz::renderAndCheck(plugin);
    if (size > 0 && (data[0] & 7) == 0) {
        void* block = nullptr;
        const auto written = effect->dispatcher(effect, vst::effGetChunk, 0, 0, &block, 0.0f);
        // Whatever was applied, the plug-in writes a block it can read again.
        if (written <= 0 || block == nullptr ||
            !XmlDocument::parseMemory(std::string_view(static_cast<const char*>(block),
                                                       static_cast<std::size_t>(written)))) {
            std::abort();
        }
    }
    return 0;
}
