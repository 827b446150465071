#pragma once

// The host chunk: the whole state of the instrument as one XML document with root VorpalixBank,
// which hosts store in their projects (getChunk) and hand back when a project opens (setChunk).
//
// Children, written in this order: NotPresetParams (the 38 mix and mode values 48..85),
// PluginState, PatternBank (all 96 patterns, rows always 16 steps), InstrumentPresetBank (all
// presets with the selections) and MidiCCMap. The instrument knobs travel in the selected
// presets.
//
// Hand-over to the audio thread. setChunk runs on a UI thread while audio may run, and the
// audio thread never waits for it:
// - Parameter values, requested sequencer controls, output slots, the chained range and the
//   controller map are single atomics; the audio thread sees each whole, old or new, and engine
//   parameter changes reach the voices only at a block start.
// - Patterns are read into a bank off to the side and copied into the live patterns only
//   once the whole PatternBank element has been read. The copy stores every step and amount as
//   a relaxed atomic, so a step the sequencer plays is always either the old or the new one,
//   never a pattern that is still being read.
// - Presets hold their values in atomics; applying them goes through setParameter.
// A block can thus hear part of a chunk applied (new presets with old patterns); it never reads
// a torn value.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vorpalix {

class DrumPlugin;

// UI thread. The chunk document as indented UTF-8 text; empty when memory runs out.
std::string writeChunk(DrumPlugin& plugin);

// UI thread. Parses the block and applies its children in document order. A block that is
// not XML or whose root is not VorpalixBank applies nothing and gives false. Children the
// block lacks leave their part of the state as it is.
bool applyChunk(DrumPlugin& plugin, std::span<const std::uint8_t> block);

} // namespace vorpalix
