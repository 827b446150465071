// The host chunk of the plug-in: written from, and applied to, the user-interface thread's state.

#include "plugin/PluginController.h"
#include "plugin/PluginEditor.h"
#include "state/Chunk.h"

namespace vorpalix {

const std::string& PluginController::writeChunk() {
    // The copies first take in what the audio thread reported and the knobs' current values.
    pollNotifications();
    presets_.captureLiveValues();
    // The previous block is released here; the host has copied it by now.
    chunk_ = vorpalix::writeChunk(model());
    return chunk_;
}

bool PluginController::applyChunk(std::span<const std::uint8_t> block) {
    pollNotifications();
    presets_.captureLiveValues();
    beginWholeState();
    StateModel state = model();
    const bool applied = vorpalix::applyChunk(state, block);
    rangeRead_ = rangeRead_ || state.rangeRead;
    // The whole state goes out even when nothing was applied: the parameter values staged for
    // it reach the audio thread only with it.
    commitWholeState();
    if (editor_ != nullptr) {
        editor_->refreshDisplays();
    }
    return applied;
}

} // namespace vorpalix
