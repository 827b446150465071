#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <xmmintrin.h>

#include "PluginTestSupport.h"

namespace vorpalix::test {
namespace {

constexpr float kPlainVelocity = 0.37795275f;

TEST(BlockRoutine, AuditionIsPerformedAtTheNextBlockEvenWithZeroFrames) {
    DirectPlugin p;
    p.plugin->controller().requestAudition(0, kPlainVelocity);
    EXPECT_FALSE(p.plugin->processor().engine().isPlaying(0));
    p.processEmptyBlock();
    EXPECT_TRUE(p.plugin->processor().engine().isPlaying(0));
    // The request is consumed: the next block does not trigger again.
    const auto first = p.render(2000, 2000);
    EXPECT_GT(peak(first[0]), 0.01f);
}

TEST(BlockRoutine, ReplacingWritesZerosToEveryChannelWhenSilent) {
    DirectPlugin p;
    const auto out = p.render(512, 128, true, 7.0f);
    ASSERT_EQ(out.size(), 24u);
    for (const auto& channel : out) {
        for (float v : channel) {
            ASSERT_EQ(v, 0.0f);
        }
    }
}

TEST(BlockRoutine, AccumulatingAddsToWhatTheBuffersHold) {
    DirectPlugin quiet;
    const auto silent = quiet.render(256, 64, false, 1.0f);
    for (const auto& channel : silent) {
        for (float v : channel) {
            ASSERT_EQ(v, 1.0f);
        }
    }

    DirectPlugin a, b;
    a.plugin->controller().requestAudition(1, kPlainVelocity);
    b.plugin->controller().requestAudition(1, kPlainVelocity);
    const auto replaced = a.render(4000, 4000, true);
    const auto added = b.render(4000, 4000, false, 1.0f);
    for (int c = 0; c < 24; ++c) {
        for (int n = 0; n < 4000; ++n) {
            ASSERT_EQ(added[c][n], 1.0f + replaced[c][n]) << "channel " << c << " frame " << n;
        }
    }
}

// Channels that carry sound after an audition of `instrument`.
std::vector<int> soundingChannels(DirectPlugin& p, int instrument) {
    p.plugin->controller().requestAudition(instrument, kPlainVelocity);
    const auto out = p.render(3000, 3000);
    std::vector<int> channels;
    for (int c = 0; c < static_cast<int>(out.size()); ++c) {
        if (peak(out[c]) > 0.0f) {
            channels.push_back(c);
        }
    }
    return channels;
}

TEST(BlockRoutine, EachInstrumentReachesTheMasterPairAndThePairOfItsSlot) {
    DirectPlugin p;
    EXPECT_EQ(soundingChannels(p, 0), (std::vector<int>{0, 1, 2, 3}));
    DirectPlugin q;
    q.plugin->controller().setOutputNumber(0, 10);
    EXPECT_EQ(soundingChannels(q, 0), (std::vector<int>{0, 1, 22, 23}));
}

TEST(BlockRoutine, InstrumentsSharingASlotAddUp) {
    DirectPlugin both, bdOnly, sdOnly;
    for (auto* p : {&both, &bdOnly, &sdOnly}) {
        p->plugin->controller().setOutputNumber(1, 0); // SD onto BD's slot
    }
    // Two auditions need two blocks; the first block is one frame long in all three renders.
    both.plugin->controller().requestAudition(0, kPlainVelocity);
    bdOnly.plugin->controller().requestAudition(0, kPlainVelocity);
    auto b0 = both.render(1, 1);
    auto d0 = bdOnly.render(1, 1);
    sdOnly.render(1, 1);
    both.plugin->controller().requestAudition(1, kPlainVelocity);
    sdOnly.plugin->controller().requestAudition(1, kPlainVelocity);
    const auto b = both.render(2000, 2000);
    const auto d = bdOnly.render(2000, 2000);
    const auto s = sdOnly.render(2000, 2000);
    for (int n = 0; n < 2000; ++n) {
        ASSERT_FLOAT_EQ(b[2][n], d[2][n] + s[2][n]);
        ASSERT_EQ(b[2][n], b[3][n]); // both channels of the pair carry the same signal
    }
}

TEST(BlockRoutine, VolumeSetsTheMasterGainOfEveryOutput) {
    DirectPlugin half, full;
    full.plugin->setParameter(kParamVolume, 1.0f); // G = 2 instead of 0.5
    half.plugin->controller().requestAudition(0, kPlainVelocity);
    full.plugin->controller().requestAudition(0, kPlainVelocity);
    const auto a = half.render(3000, 512);
    const auto b = full.render(3000, 512);
    for (int n = 0; n < 3000; ++n) {
        ASSERT_NEAR(b[2][n], 4.0f * a[2][n], 1e-5f);
        ASSERT_NEAR(b[0][n], 4.0f * a[0][n], 1e-5f);
    }
}

TEST(BlockRoutine, MutedOrNotSoloedInstrumentsAreNotTriggered) {
    // Each case starts from a fresh plug-in so that no earlier hit is still ringing.
    struct Case {
        std::vector<std::pair<int, float>> settings;
        int instrument;
        bool sounds;
    };
    const std::vector<Case> cases = {
        {{{53, 1.0f}}, 0, false},                         // BD muted
        {{{53, 1.0f}, {64, 1.0f}}, 0, true},              // BD soloed: its mute no longer counts
        {{{64, 1.0f}, {65, 1.0f}}, 2, false},             // BD and SD soloed: LT is silent
        {{{64, 1.0f}, {65, 1.0f}}, 1, true},              // ... SD still sounds
        {{{53, 1.0f}, {64, 1.0f}, {64, 0.0f}}, 0, false}, // last solo cleared: the mute is back
        {{{53, 0.7f}, {53, 0.4f}}, 0, true},              // 0.5 is the switching point
    };
    for (const Case& c : cases) {
        DirectPlugin p;
        for (const auto& [index, value] : c.settings) {
            p.plugin->setParameter(index, value);
        }
        EXPECT_EQ(!soundingChannels(p, c.instrument).empty(), c.sounds)
            << "instrument " << c.instrument << " after " << c.settings.size() << " settings";
    }
}

TEST(BlockRoutine, BlockSizeNeverChangesTheSound) {
    for (int instrument = 0; instrument < 11; ++instrument) {
        std::vector<std::vector<float>> reference;
        for (int block : {4096, 1, 7, 64}) {
            DirectPlugin p;
            p.plugin->controller().requestAudition(instrument, 0.6299528f);
            const auto out = p.render(30000, block);
            if (reference.empty()) {
                reference = out;
                continue;
            }
            ASSERT_EQ(out, reference) << "instrument " << instrument << " block " << block;
        }
    }
}

TEST(BlockRoutine, RestoresTheHostsFloatingPointControlWord) {
    // The control bits; the low six are sticky exception flags.
    const auto control = [] { return _mm_getcsr() & ~0x3Fu; };
    const unsigned host = _mm_getcsr();
    const auto render = [] {
        DirectPlugin p;
        p.plugin->controller().requestAudition(0, kPlainVelocity);
        return p.render(256, 256);
    };
    const auto plain = render();
    EXPECT_EQ(control(), host & ~0x3Fu);
    // A host that flushes already keeps its control word, and hears the same.
    constexpr unsigned kFlush = 0x8040;
    _mm_setcsr(host | kFlush);
    const auto flushing = render();
    EXPECT_EQ(control(), (host | kFlush) & ~0x3Fu);
    _mm_setcsr(host);
    EXPECT_EQ(plain, flushing);
}

TEST(BlockRoutine, UnusableSampleRatesAreIgnoredAndOutputStaysFinite) {
    DirectPlugin p;
    for (float rate : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(), 1.0f}) {
        p.plugin->dispatcher(vst::effSetSampleRate, 0, 0, nullptr, rate);
        p.plugin->controller().requestAudition(0, 1.0f);
        const auto out = p.render(2048, 256);
        for (const auto& channel : out) {
            for (float v : channel) {
                ASSERT_TRUE(std::isfinite(v)) << "rate " << rate;
            }
        }
    }
    EXPECT_DOUBLE_EQ(p.plugin->processor().sampleRate(), 44100.0);
}

TEST(BlockRoutine, MissingOrSharedBuffersDoNotCrash) {
    DirectPlugin p;
    p.plugin->controller().requestAudition(0, kPlainVelocity);
    p.plugin->processReplacing(nullptr, nullptr, 512);

    std::vector<float> shared(512, 0.0f);
    std::vector<float*> pointers(24, shared.data());
    pointers[5] = nullptr;
    p.plugin->controller().requestAudition(0, kPlainVelocity);
    p.plugin->processReplacing(nullptr, pointers.data(), 512);
    EXPECT_GT(peak(shared), 0.0f);
}

} // namespace
} // namespace vorpalix::test
