// The bass drum and the snare render in parts of frames, their stateless stages on vectors of
// frames. However a span is cut, and in either kernel build, they must give exactly the samples
// recorded before that restructuring: hashes over the bits of every double they output.

#include "dsp/BassDrumVoice.h"
#include "dsp/SimdLanes.h"
#include "dsp/SnareDrumVoice.h"
#include "voice_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace vorpalix {
namespace {

// Two hits, the second before the first has ended, rendered in spans of changing length (single
// frames, parts of 64 and the odd frames around them) until the second hit has ended.
template <class Voice> std::uint64_t renderHash(Voice& voice, float rate) {
    voice.setSampleRate(rate);
    voice.setLevel(0.8);
    testing::TestNoise noise;
    std::vector<double> in(300), out(300);
    std::uint64_t h = 14695981039346656037ull;
    const int spans[] = {1, 3, 64, 65, 200, 7, 128, 63};
    int frames = 0;
    for (int k = 0; frames < 4 * static_cast<int>(rate); ++k) {
        if (k == 0 || k == 40) {
            voice.trigger(k == 0 ? testing::kPlainVelocity : 1.0f);
        }
        const int span = spans[k % 8];
        for (int i = 0; i < span; ++i) {
            in[i] = noise.next();
        }
        std::fill(out.begin(), out.end(), 7.0);
        if (!voice.render(SpanInputs{in.data(), in.data()}, out.data(), span)) {
            break;
        }
        for (int i = 0; i < span; ++i) {
            h = (h ^ std::bit_cast<std::uint64_t>(out[i])) * 1099511628211ull;
        }
        frames += span;
    }
    return h;
}

std::vector<std::uint64_t> renderHashes() {
    std::vector<std::uint64_t> hashes;
    for (const float rate : {44100.0f, 22050.0f, 96000.0f}) {
        BassDrumVoice bd;
        bd.setDecay(0.1);
        bd.setTuneDepth(0.9);
        hashes.push_back(renderHash(bd, rate));
        SnareDrumVoice sd;
        sd.setTone(0.6);
        sd.setSnappy(0.9);
        hashes.push_back(renderHash(sd, rate));
    }
    return hashes;
}

TEST(VoiceParts, BassDrumAndSnareGiveTheirRecordedSamplesInEveryKernelBuild) {
    // Bass drum, snare at 44.1, 22.05 and 96 kHz, recorded before the restructuring.
    const std::vector<std::uint64_t> expected = {0xda83aab1330106aaull, 0xdbaadfa79d4cf14full,
                                                 0x6c4282c8f1a992c7ull, 0x58175909f36c812full,
                                                 0x337b917a2ad54c87ull, 0x6f3d8dfc1b24a767ull};
    EXPECT_EQ(renderHashes(), expected);
    const lanes::Kernels widest = lanes::processorKernels();
    for (const lanes::Kernels narrower : {lanes::Kernels::Baseline, lanes::Kernels::Avx2}) {
        if (narrower < widest) {
            lanes::limitKernels(narrower);
            EXPECT_EQ(renderHashes(), expected) << "build " << static_cast<int>(narrower);
            lanes::limitKernels(widest);
        }
    }
}

} // namespace
} // namespace vorpalix
