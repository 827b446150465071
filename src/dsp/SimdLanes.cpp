#include "dsp/SimdLanes.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace vorpalix::lanes {

namespace {

// The widest builds the processor (and its operating system, which must save the wider
// registers) runs. VORPALIX_SIMD=baseline or avx2 in the environment limits them on any
// processor, so that every build of every kernel can be checked on one machine.
Kernels detectKernels() {
    __builtin_cpu_init();
    Kernels widest = Kernels::Baseline;
    if (__builtin_cpu_supports("avx2") != 0) {
        widest = Kernels::Avx2;
        if (__builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512dq") != 0 &&
            __builtin_cpu_supports("avx512vl") != 0) {
            widest = Kernels::Avx512;
        }
    }
    const char* choice = std::getenv("VORPALIX_SIMD");
    if (choice != nullptr && std::string_view(choice) == "baseline") {
        widest = Kernels::Baseline;
    } else if (choice != nullptr && std::string_view(choice) == "avx2") {
        widest = std::min(widest, Kernels::Avx2);
    }
    return widest;
}

// Decided while the module is being loaded, never on the audio thread.
const Kernels kProcessorKernels = detectKernels();

} // namespace

Kernels detail::chosenKernels = kProcessorKernels;

Kernels processorKernels() {
    return kProcessorKernels;
}

void limitKernels(Kernels widest) {
    detail::chosenKernels = std::min(widest, kProcessorKernels);
}

} // namespace vorpalix::lanes
