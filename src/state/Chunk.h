#pragma once

// The host chunk: the whole state of the instrument as one XML document with root VorpalixBank,
// which hosts store in their projects (getChunk) and hand back when a project opens (setChunk).
//
// Children, written in this order: NotPresetParams (the 38 mix and mode values 48..85),
// PluginState, PatternBank (all 96 patterns, rows always 16 steps), InstrumentPresetBank (all
// presets with the selections) and MidiCCMap. The instrument knobs travel in the selected
// presets.
//
// The readers and writers work on the state model (StateModel.h): the user-interface thread's
// copy of the whole state. The plug-in applies a chunk to the model and then hands the result
// to the audio thread as one whole state, so a block hears the old state or the new one, never
// part of each; getChunk writes the model, which is always what was last sent.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "state/StateModel.h"

namespace vorpalix {

// User-interface thread. The chunk document as indented UTF-8 text; empty when memory runs out.
std::string writeChunk(const StateModel& model);

// User-interface thread. Parses the block and applies its children to the model in document
// order. A block that is not XML or whose root is not VorpalixBank applies nothing and gives
// false. Children the block lacks leave their part of the state as it is.
bool applyChunk(StateModel& model, std::span<const std::uint8_t> block);

} // namespace vorpalix
