// The velocities that sequenced steps reach the engine with: plain, accent, total accent and
// the two hits of a flam, read back from the bass drum voice.

#include "dsp/DrumEngine.h"
#include "sequencer/SequencerRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace vorpalix::test::rig {
namespace {

constexpr double kPlain = 0.37795275; // 48/127
constexpr double kAccent = 0.252;
constexpr double kFlamHit = 0.6299528; // plain + accent

// Hands every trigger to a real engine and notes the bass drum's velocity right after it.
class EngineSink : public StepTriggerSink {
public:
    explicit EngineSink(DrumEngine& engine) : engine_(engine) {}
    void triggerStep(int i, bool a, bool t) override {
        engine_.triggerStep(i, a, t);
        note(i);
    }
    void triggerStepPlain(int i, bool a, bool t) override {
        engine_.triggerStepPlain(i, a, t);
        note(i);
    }
    void triggerStepAccented(int i, bool a, bool t) override {
        engine_.triggerStepAccented(i, a, t);
        note(i);
    }
    std::vector<double> velocities;

private:
    void note(int i) {
        if (i == 0) {
            velocities.push_back(std::sqrt(engine_.bassDrum().gSq()) / 2.645);
        }
    }
    DrumEngine& engine_;
};

// The plug-in side as far as total accent goes: the level reaches the engine.
class EngineHost : public ScriptedHost {
public:
    explicit EngineHost(DrumEngine& engine) : engine_(engine) {}
    void setTotalAccentLevel(float v) override {
        ScriptedHost::setTotalAccentLevel(v);
        engine_.setTotalAccent(v);
    }

private:
    DrumEngine& engine_;
};

std::vector<double> playBassDrumRow(std::string_view bd, std::string_view ta, float total,
                                    bool store) {
    auto engine = std::make_unique<DrumEngine>();
    engine->setEngineParameter(0, 1.0f); // BD Level up, so hits are taken
    // With the attribute store the engine starts elsewhere: the pattern's amount must win.
    engine->setTotalAccent(store ? 0.5 : total);
    EngineHost host(*engine);
    host.command = 1; // Play
    host.attributeStore = store;
    EngineSink sink(*engine);
    PatternSequencer seq(host, sink);
    Pattern p;
    setRow(p, 0, bd);
    setRow(p, 11, ta);
    p.setTotalAccent(total);
    seq.replacePattern(0, p);
    OutputFrame frame;
    for (int block = 0; block < 24; ++block) {
        seq.beginBlock();
        seq.startBlock();
        for (int n = 0; n < 1024; ++n) {
            seq.runFrame();
            engine->renderFrame(frame);
            seq.endFrame();
        }
        seq.endBlock();
    }
    return sink.velocities;
}

TEST(SequencerVelocity, PlainAccentAndTotalAccentAddUp) {
    const auto v = playBassDrumRow("oOoO", "..OO", 0.5f, false);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_NEAR(v[0], kPlain, 1e-6);
    EXPECT_NEAR(v[1], kPlain + kAccent, 1e-6);
    EXPECT_NEAR(v[2], kPlain + 0.5 * kAccent, 1e-6);
    EXPECT_NEAR(v[3], kPlain + kAccent + 0.5 * kAccent, 1e-6);
}

TEST(SequencerVelocity, FlamPlaysAPlainHitThenTheLouderOne) {
    const auto v = playBassDrumRow("xX..", ".O..", 1.0f, false);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_NEAR(v[0], kPlain, 1e-6);                 // step 0: first hit
    EXPECT_NEAR(v[1], kFlamHit, 1e-6);               // step 0: flam hit
    EXPECT_NEAR(v[2], kPlain + 1.0 * kAccent, 1e-6); // step 1: accent ignored, TA counts
    EXPECT_NEAR(v[3], kFlamHit + 1.0 * kAccent, 1e-6);
}

TEST(SequencerVelocity, PatternTotalAccentAppliesAtTheSameStepWithTheAttributeStore) {
    // The engine starts at 0.5; the pattern's 0.25 must already count for its first step.
    const auto v = playBassDrumRow("O...", "O...", 0.25f, true);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_NEAR(v[0], kPlain + kAccent + 0.25 * kAccent, 1e-6);
}

} // namespace
} // namespace vorpalix::test::rig
