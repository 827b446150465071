#include "dsp/LookupTables.h"

#include <cmath>

namespace vorpalix {

std::array<double, LookupTables::kTanhSize + LookupTables::kPadding> LookupTables::tanhTable{};
std::array<double, LookupTables::kExpSize + LookupTables::kPadding> LookupTables::expTable{};

void LookupTables::build() {
    // A function-local static runs its initialiser exactly once, even with concurrent callers,
    // and every caller returns only after it has finished.
    static const bool built = [] {
        for (int i = 0; i < kTanhSize; ++i) {
            tanhTable[i] = std::tanh(i / 500.0 - 40.0);
        }
        for (int i = 0; i < kExpSize; ++i) {
            expTable[i] = std::exp(i / 1000.0 - 10.0);
        }
        for (int i = 0; i < kPadding; ++i) {
            tanhTable[kTanhSize + i] = tanhTable[kTanhSize - 1];
            expTable[kExpSize + i] = expTable[kExpSize - 1];
        }
        return true;
    }();
    static_cast<void>(built);
}

namespace {

// Fills the tables while the module is being loaded, before any host or test code runs.
const bool kTablesBuiltAtLoad = (LookupTables::build(), true);

} // namespace

} // namespace vorpalix
