// Rendering over spans of a block: the engine must give the same samples however a block is cut,
// and both builds of the vector kernels the same samples.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "dsp/DrumEngine.h"
#include "dsp/SimdLanes.h"

namespace vorpalix {
namespace {

using Channels = std::array<std::vector<float>, OutputFrame::kSize>;

struct Hit {
    int frame;
    int instrument;
};

// Every instrument struck at its own frames, toms close together, the hats choking each other.
const std::vector<Hit> kHits = {
    {0, kBD},    {0, kLT},    {3, kMT},     {5, kHT},     {7, kCH},     {40, kOH},
    {41, kSD},   {100, kRS},  {100, kHC},   {250, kCR},   {251, kRD},   {600, kCH},
    {2000, kLT}, {2000, kMT}, {2001, kHT},  {2500, kBD},  {2500, kOH},  {5000, kSD},
    {9000, kLT}, {9100, kHT}, {12000, kRS}, {12000, kMT}, {15000, kHC}, {15001, kCH},
};

// Renders `frames` frames in blocks of `block` (1 uses renderFrame), each block split at the
// frames of the hits, and returns every channel.
Channels renderWithHits(int frames, int block) {
    auto engine = std::make_unique<DrumEngine>();
    for (int p = 0; p < 48; ++p) {
        engine->setEngineParameter(p, 0.3f + 0.01f * static_cast<float>(p % 40));
    }
    Channels out;
    std::size_t next = 0;
    for (int start = 0; start < frames; start += block) {
        const int length = std::min(block, frames - start);
        if (block == 1) {
            while (next < kHits.size() && kHits[next].frame == start) {
                engine->triggerStep(kHits[next++].instrument, true, false);
            }
            OutputFrame frame;
            engine->renderFrame(frame);
            for (int k = 0; k < OutputFrame::kSize; ++k) {
                out[k].push_back(frame.values[k]);
            }
            continue;
        }
        engine->beginBlock();
        int rendered = 0;
        while (next < kHits.size() && kHits[next].frame < start + length) {
            const int at = kHits[next].frame - start;
            engine->render(rendered, at - rendered);
            rendered = at;
            engine->triggerStep(kHits[next++].instrument, true, false);
        }
        engine->render(rendered, length - rendered);
        for (int k = 0; k < OutputFrame::kSize; ++k) {
            for (int n = 0; n < length; ++n) {
                out[k].push_back(engine->isSounding(k) ? engine->output(k)[n] : 0.0f);
            }
        }
    }
    return out;
}

int firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    for (std::size_t n = 0; n < a.size(); ++n) {
        if (std::bit_cast<std::uint32_t>(a[n]) != std::bit_cast<std::uint32_t>(b[n])) {
            return static_cast<int>(n);
        }
    }
    return -1;
}

constexpr int kFrames = 30000;

TEST(EngineBlocks, BlocksCutAnywhereGiveTheSamplesOfFrameByFrameRendering) {
    const Channels single = renderWithHits(kFrames, 1);
    int sounding = 0;
    for (int k = 0; k < OutputFrame::kSize; ++k) {
        for (const float x : single[k]) {
            sounding += x != 0.0f;
        }
    }
    ASSERT_GT(sounding, kFrames); // the hits sound
    for (const int block : {7, 64, DrumEngine::kMaxFrames}) {
        const Channels blocks = renderWithHits(kFrames, block);
        for (int k = 0; k < OutputFrame::kSize; ++k) {
            EXPECT_EQ(firstDifference(single[k], blocks[k]), -1)
                << "block " << block << ", channel " << k;
        }
    }
}

TEST(EngineBlocks, EveryKernelBuildGivesTheSameSamples) {
    const lanes::Kernels widest = lanes::processorKernels();
    if (widest == lanes::Kernels::Baseline) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    const Channels native = renderWithHits(kFrames, 64);
    for (const lanes::Kernels narrower : {lanes::Kernels::Baseline, lanes::Kernels::Avx2}) {
        if (narrower >= widest) {
            continue;
        }
        lanes::limitKernels(narrower);
        const Channels limited = renderWithHits(kFrames, 64);
        lanes::limitKernels(widest);
        for (int k = 0; k < OutputFrame::kSize; ++k) {
            EXPECT_EQ(firstDifference(native[k], limited[k]), -1)
                << "build " << static_cast<int>(narrower) << ", channel " << k;
        }
    }
}

TEST(EngineBlocks, EveryKernelBuildConvertsOddValuesAlike) {
    // Every kind of value, long enough for whole vectors of each build and a tail.
    const std::vector<double> values = {
        std::nan(""), INFINITY, -INFINITY, 1e-31, -1e-31, 2000.0, -2000.0, 0.5, -0.0,  2e-30,
        -2e-30,       4e-320,   999.9,     -0.25, 1e300,  3.0,    -7.5,    0.1, -1e-29};
    const int frames = static_cast<int>(values.size());
    const auto convert = [&](std::vector<double>& sum) {
        std::vector<float> out(values.size());
        mixAndConvert(values.data(), sum.data(), false, out.data(), frames, 0.5);
        return out;
    };
    std::vector<double> sum(values.size(), 1.0);
    const std::vector<float> native = convert(sum);
    for (int n = 0; n < frames; ++n) {
        const double x = 0.5 * values[n];
        const float expected = std::isnan(x) || std::fabs(x) < 1e-30
                                   ? 0.0f
                                   : static_cast<float>(std::clamp(x, -1000.0, 1000.0));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(native[n]), std::bit_cast<std::uint32_t>(expected))
            << "value " << values[n];
        EXPECT_EQ(std::bit_cast<std::uint64_t>(sum[n]),
                  std::bit_cast<std::uint64_t>(1.0 + values[n]));
    }
    const lanes::Kernels widest = lanes::processorKernels();
    for (const lanes::Kernels narrower : {lanes::Kernels::Baseline, lanes::Kernels::Avx2}) {
        if (narrower < widest) {
            lanes::limitKernels(narrower);
            std::vector<double> limitedSum(values.size(), 1.0);
            const std::vector<float> limited = convert(limitedSum);
            lanes::limitKernels(widest);
            EXPECT_EQ(std::memcmp(limited.data(), native.data(), limited.size() * sizeof(float)), 0)
                << "build " << static_cast<int>(narrower);
            EXPECT_EQ(std::memcmp(limitedSum.data(), sum.data(), sum.size() * sizeof(double)), 0);
        }
    }
}

TEST(EngineBlocks, OnlySoundingChannelsAreWritten) {
    auto engine = std::make_unique<DrumEngine>();
    engine->setEngineParameter(0, 1.0f); // BD Level
    engine->beginBlock();
    engine->render(0, 100);
    for (int k = 0; k < OutputFrame::kSize; ++k) {
        EXPECT_FALSE(engine->isSounding(k)) << "channel " << k;
    }
    engine->triggerStep(kBD, false, false);
    engine->render(100, 100);
    ASSERT_TRUE(engine->isSounding(OutputFrame::kMaster));
    ASSERT_TRUE(engine->isSounding(1 + kBD));
    EXPECT_FALSE(engine->isSounding(1 + kSD));
    // The frames before the hit read as silence; the hit starts at its frame.
    for (int n = 0; n < 100; ++n) {
        ASSERT_EQ(engine->output(1 + kBD)[n], 0.0f) << n;
    }
    EXPECT_NE(engine->output(1 + kBD)[100], 0.0f);
}

} // namespace
} // namespace vorpalix
