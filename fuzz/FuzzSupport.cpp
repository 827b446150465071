#include "FuzzSupport.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace vorpalix::fuzz {

void renderAndCheck(DrumPlugin& plugin) {
    constexpr int kFrames = 64;
    const int count = plugin.aeffect()->numOutputs;
    static std::vector<std::array<float, kFrames>> buffers(static_cast<std::size_t>(count));
    static std::vector<float*> pointers;
    pointers.clear();
    for (auto& b : buffers) {
        pointers.push_back(b.data());
    }
    plugin.processReplacing(nullptr, pointers.data(), kFrames);
    for (const auto& b : buffers) {
        for (float v : b) {
            if (!std::isfinite(v)) {
                std::abort();
            }
        }
    }
}

} // namespace vorpalix::fuzz
