#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vorpalix::host {

inline constexpr int kInstrumentCount = 11;

// What a host needs to know of Vorpalix's saved state to name stems and write MIDI: the output
// slot of every instrument and whether the sequencer follows the host's tempo. Read from the
// VorpalixBank block that getChunk hands out.
struct ChunkSummary {
    // Output slot (0..10) of each instrument in the order BD, SD, LT, MT, HT, RS, HC, CH, OH,
    // CR, RD; the identity unless the block says otherwise.
    std::array<int, kInstrumentCount> outputSlots{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    bool externalSync = true;
};

// Reads the block; nothing when it is not XML or its root is not VorpalixBank. Missing or
// unreadable entries keep their defaults; slots are clamped to 0..10 as the plug-in does.
std::optional<ChunkSummary> readChunkSummary(std::span<const std::uint8_t> chunk);

// Plug-in state as the standalone program and the renderer read it from files: true when the
// bytes look like a VorpalixBank block.
bool looksLikeState(std::span<const std::uint8_t> bytes);

// Reads a state file. False with a one-line message when it cannot be read or is no Vorpalix
// state.
bool readStateFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

} // namespace vorpalix::host
