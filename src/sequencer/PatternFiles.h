#pragma once

// Pattern files and pattern bank files: XML documents (version "1.0", UTF-8, indented) whose root
// is one Pattern element or a PatternBank element with the 96 patterns, rows written to each
// pattern's length. Saving goes through a temporary file in the target's folder that is renamed
// over the target only once the whole document is written, so a failed save leaves an existing
// file exactly as it was. Loading changes nothing unless the file parses and has the right root.
//
// Threads: UI thread (the editor's file commands).

#include <string>

namespace vorpalix {

class PatternBank;

// Writes pattern index of the bank as a pattern file. False, writing nothing, for an index
// outside 0..95, an empty file name or a failed write.
bool savePatternFile(const PatternBank& bank, int index, const std::string& fileName);
// Writes the 96 patterns as a bank file. False, writing nothing, for an empty file name or a
// failed write.
bool saveBankFile(const PatternBank& bank, const std::string& fileName);

// Replaces pattern index of the bank (steps, length, time base, amounts and name) with the
// file's Pattern root. False, changing nothing, when the index is outside 0..95 or the file
// cannot be read, does not parse or has another root.
bool loadPatternFile(PatternBank& bank, int index, const std::string& fileName);
// Replaces slots 0, 1, 2 ... with the Pattern children of the file's PatternBank root (at most
// 96; other slots keep what they held). Returns the number of slots replaced; 0, changing
// nothing, when the file cannot be read, does not parse or has another root.
int loadBankFile(PatternBank& bank, const std::string& fileName);

} // namespace vorpalix
