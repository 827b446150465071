#include "dsp/SimdLanes.h"

#include <cstdlib>
#include <string_view>

namespace vorpalix::lanes {

namespace {

// VORPALIX_SIMD=baseline in the environment selects the baseline kernels on any processor, so
// that both builds of every kernel can be checked on one machine.
bool detectAvx2() {
    const char* choice = std::getenv("VORPALIX_SIMD");
    if (choice != nullptr && std::string_view(choice) == "baseline") {
        return false;
    }
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}

// Decided while the module is being loaded, never on the audio thread.
const bool kHasAvx2 = detectAvx2();
bool baselineForced = false;

} // namespace

bool hasAvx2() {
    return kHasAvx2 && !baselineForced;
}

bool processorHasAvx2() {
    return kHasAvx2;
}

void forceBaselineKernels(bool on) {
    baselineForced = on;
}

} // namespace vorpalix::lanes
