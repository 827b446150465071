// The host chunk entry points of the plug-in object.

#include <cstdint>
#include <span>

#include "editor/PanelEditor.h"
#include "plugin/DrumPlugin.h"
#include "state/Chunk.h"

namespace vorpalix {

vst::VstInt32 DrumPlugin::getChunk(void** data, bool isPreset) {
    if (isPreset || data == nullptr) {
        return 0;
    }
    // The previous block is released here; the host has copied it by now.
    chunk_ = writeChunk(*this);
    if (chunk_.empty()) {
        *data = nullptr;
        return 0;
    }
    *data = chunk_.data();
    return static_cast<vst::VstInt32>(chunk_.size());
}

vst::VstInt32 DrumPlugin::setChunk(void* data, vst::VstInt32 size, bool isPreset) {
    if (isPreset) {
        return 1;
    }
    if (data != nullptr && size > 0) {
        applyChunk(*this, std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data),
                                                        static_cast<std::size_t>(size)));
    }
    // The panel shows the restored state, and the knobs are sent again in any case, so the
    // voices receive the restored (or kept) sound.
    editor_->refreshDisplays();
    setProgram(0);
    return 1;
}

} // namespace vorpalix
