#pragma once

// The instrument's parameter table: the records of the 86 host parameters (short name, label,
// default) and the name <-> index maps of all 193 named controls, filled from the
// VSTParameters element of the embedded settings document. Indices 0..85 are offered to the
// host; 86..192 are panel controls sharing the name space (ParameterIndex.h).
//
// Threads: filled once on the user-interface thread while the plug-in is built, read-only after
// that (the dispatcher and the panel read it).

#include <libxml/tree.h>

#include <array>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "dsp/ParameterIndex.h"

namespace vorpalix {

struct ParameterInfo {
    char shortName[32]; // at most 31 characters; the host sees the first 8
    char label[32];     // at most 31 characters; the host sees the first 8
    float defaultValue; // 0..1
};

class ParameterTable {
public:
    // Every record reads "no name", "", 0.0 until a table is loaded.
    ParameterTable();

    // Fills the records and name maps from a VSTParameters element. Any other node (or
    // nullptr) is ignored as a whole. The first param to use a name or an index keeps it, so
    // loading again never changes what is already known.
    // User-interface thread (plug-in construction).
    void loadParameterTable(const xmlNode* element);

    // The index of a control name (exact, case-sensitive), or -1 when the name is unknown.
    // Any thread; not while a table is being loaded.
    int indexOfName(std::string_view name) const;
    // The name of a control index, or "" when the index is unknown.
    std::string nameOfIndex(int index) const;

    // The record of a host parameter. Precondition: 0 <= index < kNumHostParameters.
    const ParameterInfo& info(int index) const;

    // The first 8 characters of the short name (or label) of a host parameter, terminated after
    // the eighth, so text must hold at least 9 bytes. Indices outside 0..85 leave text
    // untouched. Any thread. No allocation, no locks.
    void getParameterName(int index, char* text) const;
    void getParameterLabel(int index, char* text) const;

private:
    std::array<ParameterInfo, kNumHostParameters> records_{};
    std::array<bool, kNumHostParameters> recordLoaded_{};
    std::map<std::string, int, std::less<>> indexByName_;
    std::map<int, std::string> nameByIndex_;
};

} // namespace vorpalix
