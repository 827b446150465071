// The sequencer inside the plug-in, driven by the panel's transport buttons (which a host cannot
// press): Play, StopCont and continue, heard on the per-instrument outputs.

#include "plugin/PluginTestSupport.h"
#include "sequencer/PatternSequencer.h"

#include <gtest/gtest.h>

#include <array>

namespace vorpalix {
namespace {

constexpr std::array<int, 4> kRotation = {0, 5, 1, 7}; // BD, RS, SD, CH

std::vector<std::int64_t> onsets(const std::vector<float>& c) {
    std::vector<std::int64_t> out;
    std::int64_t zeros = 64;
    for (std::size_t n = 0; n < c.size(); ++n) {
        if (c[n] != 0.0f) {
            if (zeros >= 64) {
                out.push_back(static_cast<std::int64_t>(n));
            }
            zeros = 0;
        } else {
            ++zeros;
        }
    }
    return out;
}

// A plug-in on its internal clock at 120 BPM whose pattern 0 plays BD, RS, SD, CH in turn.
struct PanelDriven {
    PanelDriven() {
        DrumPlugin& p = *direct.plugin;
        p.controller().setSequencerSync(0);
        p.setParameter(48, 90.0f / 273.0f); // 120 BPM
        p.setParameter(51, 0.4f);           // some shuffle: 0.32 of a step
        Pattern pattern;
        for (int k = 0; k < 16; ++k) {
            pattern.setStep(kRotation[static_cast<std::size_t>(k % 4)], k, 1);
        }
        p.controller().replacePattern(0, pattern);
    }
    // Renders and appends to the kept output.
    void render(int frames) {
        const auto out = direct.render(frames, 512);
        if (kept.empty()) {
            kept.resize(out.size());
        }
        for (std::size_t c = 0; c < out.size(); ++c) {
            kept[c].insert(kept[c].end(), out[c].begin(), out[c].end());
        }
    }
    std::vector<std::int64_t> hitsOf(int instrument) const {
        return onsets(kept[static_cast<std::size_t>(2 + 2 * instrument)]);
    }

    test::DirectPlugin direct;
    std::vector<std::vector<float>> kept;
};

TEST(SequencerInThePlugin, ContinueAfterStopContPlaysOnAsIfThePauseWasCutOut) {
    const int stopAt = 7168, pause = 30208, total = 4 * 44100;
    PanelDriven reference;
    reference.direct.plugin->controller().requestTransport(1);
    reference.render(total);

    PanelDriven paused;
    paused.direct.plugin->controller().requestTransport(1);
    paused.render(stopAt);
    paused.direct.plugin->controller().requestTransport(2);
    paused.render(pause);
    EXPECT_FALSE(paused.direct.plugin->processor().sequencer().isChainRunning());
    paused.direct.plugin->controller().requestTransport(2);
    paused.render(total - stopAt);

    for (int instrument : kRotation) {
        std::vector<std::int64_t> expected;
        for (auto onset : reference.hitsOf(instrument)) {
            expected.push_back(onset < stopAt ? onset : onset + pause);
        }
        EXPECT_EQ(paused.hitsOf(instrument), expected) << "instrument " << instrument;
    }
}

TEST(SequencerInThePlugin, PlayIsConsumedButIgnoredWhileTheSequencerIsOff) {
    PanelDriven off;
    off.direct.plugin->controller().setSequencerState(false);
    off.direct.plugin->controller().requestTransport(1);
    off.render(2048);
    off.direct.plugin->controller().setSequencerState(true);
    off.render(30000); // the Play request is gone: nothing starts
    for (int instrument : kRotation) {
        EXPECT_TRUE(off.hitsOf(instrument).empty());
    }
    EXPECT_EQ(off.direct.plugin->processor().sequencer().runState(), kRunNever);
}

} // namespace
} // namespace vorpalix
