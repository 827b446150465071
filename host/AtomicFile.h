#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorpalix::host {

// Reads a whole regular file of at most `limit` bytes; false when it cannot be read.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                   std::uintmax_t limit = 64u << 20);

// Writes bytes to path through a temporary file in the same folder, flushed to disk, and a
// rename, so the target holds either its old content or all of the new one; a failed write
// leaves no temporary behind. False with a one-line message.
bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         std::string& error);

} // namespace vorpalix::host
