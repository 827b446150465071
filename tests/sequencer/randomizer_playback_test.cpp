// The randomizer heard through the bundled host: while the mode is on, a pattern other than the
// randomized one plays silently, and the randomized one sounds according to the threshold
// parameters the host sets. The plug-in is created in this process through the host's entry
// path, so the test can switch the mode the way the panel will.

#include "PluginHost.h"
#include "plugin/DrumPlugin.h"
#include "sequencer/PatternEditing.h"
#include "sequencer/PatternSequencer.h"
#include "support/AudioChecks.h"

#include <gtest/gtest.h>

#include <memory>

namespace vorpalix {
namespace {

DrumPlugin* createdPlugin = nullptr;

vst::AEffect* createPlugin(vst::HostCallback host) {
    auto* plugin = new DrumPlugin(host);
    createdPlugin = plugin;
    return plugin->aeffect();
}

constexpr int kPlayed = 4;     // the pattern the host transport plays
constexpr int kRandomized = 9; // the pattern the randomizer works on
constexpr std::int64_t kOneSecond = 44100;

class RandomizerPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        host::LoadResult loaded = host::PluginHost::fromEntry(&createPlugin);
        ASSERT_TRUE(loaded) << loaded.message;
        host_ = std::move(loaded.host);
        plugin_ = createdPlugin;
        host_->start();
        editing_ = std::make_unique<PatternEditing>(plugin_->controller());
        // Both patterns: a bass drum on every step and nothing else.
        for (int p : {kPlayed, kRandomized}) {
            Pattern pattern;
            for (int step = 0; step < 16; ++step) {
                pattern.setStep(0, step, kStepNote);
            }
            ASSERT_TRUE(plugin_->controller().replacePattern(p, pattern));
        }
        host_->transport().setTempo(120.0);
    }
    void TearDown() override {
        editing_.reset();
        host_.reset();
    }

    // Starts the host transport on pattern p and renders one second of the master output.
    float playAndMeasure(int p) {
        plugin_->controller().setRange(p, p);
        host_->transport().setPlaying(true);
        const host::ChannelBuffers out = host_->render(kOneSecond, 256);
        float peak = 0.0f;
        for (std::size_t ch = 0; ch < 2 && ch < out.size(); ++ch) {
            peak = std::max(peak, testing::peakMagnitude(out[ch]));
            EXPECT_TRUE(testing::allFinite(out[ch]));
        }
        return peak;
    }

    void setThresholds(float value) {
        for (int i = 0; i < 11; ++i) {
            host_->setParameter(75 + i, value);
        }
    }

    std::unique_ptr<host::PluginHost> host_;
    DrumPlugin* plugin_ = nullptr;
    std::unique_ptr<PatternEditing> editing_;
};

TEST_F(RandomizerPlayback, PatternPlaysWhenTheModeIsOff) {
    EXPECT_GT(playAndMeasure(kPlayed), 0.01f);
}

TEST_F(RandomizerPlayback, OtherPatternIsSilentWhileTheModeIsOn) {
    editing_->setEditedPattern(kRandomized);
    editing_->setRandomizerMode(true);
    EXPECT_EQ(playAndMeasure(kPlayed), 0.0f);
}

TEST_F(RandomizerPlayback, PatternSoundsAgainAfterLeavingTheMode) {
    editing_->setEditedPattern(kRandomized);
    editing_->setRandomizerMode(true);
    editing_->setRandomizerMode(false);
    EXPECT_GT(playAndMeasure(kPlayed), 0.01f);
}

TEST_F(RandomizerPlayback, RandomizedPatternFollowsTheHostsThresholds) {
    editing_->setWriteMode(true);
    editing_->setEditedPattern(kRandomized);
    editing_->setRandomizerMode(true);
    editing_->randomizer().seedGenerator(12345);
    ASSERT_TRUE(editing_->nextPattern({}));
    bool anyKick = false;
    for (int step = 0; step < 16; ++step) {
        anyKick = anyKick || plugin_->controller().patterns()[kRandomized].step(0, step).note;
    }
    ASSERT_TRUE(anyKick) << "seed " << editing_->randomizer().currentSeed();

    setThresholds(0.0f);
    EXPECT_EQ(plugin_->getParameter(75), 0.0f);
    EXPECT_EQ(playAndMeasure(kRandomized), 0.0f);
}

TEST_F(RandomizerPlayback, RandomizedPatternSoundsWithThresholdOne) {
    editing_->setWriteMode(true);
    editing_->setEditedPattern(kRandomized);
    editing_->setRandomizerMode(true);
    editing_->randomizer().seedGenerator(54321);
    // Generate until the first two beats hold a kick, so one second is sure to play one.
    bool kickEarly = false;
    for (int attempt = 0; attempt < 50 && !kickEarly; ++attempt) {
        ASSERT_TRUE(editing_->nextPattern({}));
        for (int step = 0; step < 8; ++step) {
            kickEarly =
                kickEarly || plugin_->controller().patterns()[kRandomized].step(0, step).note;
        }
    }
    ASSERT_TRUE(kickEarly);
    setThresholds(1.0f);
    EXPECT_GT(playAndMeasure(kRandomized), 0.01f);
}

} // namespace
} // namespace vorpalix
