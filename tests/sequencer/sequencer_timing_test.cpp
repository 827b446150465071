// Step and flam times of the players, to the sample, against times computed from tempo and rate.

#include "sequencer/SequencerRig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorpalix::test::rig {
namespace {

constexpr int kBD = 0, kSD = 1, kCH = 7;
constexpr int kPlay = 1;

// Pattern 0 with a bass drum on every step; the chain starts with Play on the internal clock.
void everyStepPattern(SequencerRig& rig, int pattern = 0) {
    setRow(rig.patterns[pattern], kBD, "oooooooooooooooo");
}

TEST(SequencerTiming, StepsAt120BpmFallOnTheTruncatedSixteenthTimes) {
    SequencerRig rig;
    everyStepPattern(rig);
    rig.host.command = kPlay;
    rig.run(4 * 44100, 256); // 8 beats
    const auto frames = rig.framesOf(kBD);
    ASSERT_EQ(frames.size(), 32u);
    for (std::size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k], frameAtBeat(0.25 * static_cast<double>(k))) << "step " << k;
        if (k > 0) {
            const auto gap = frames[k] - frames[k - 1];
            EXPECT_TRUE(gap == 5512 || gap == 5513) << "gap " << gap;
        }
    }
    // The steps walk through the pattern and wrap.
    EXPECT_EQ(rig.sink.hits[0].step, 0);
    EXPECT_EQ(rig.sink.hits[15].step, 15);
    EXPECT_EQ(rig.sink.hits[16].step, 0);
}

TEST(SequencerTiming, FullShuffleDelaysEveryOffBeatByEightTenthsOfAStep) {
    SequencerRig rig;
    everyStepPattern(rig);
    rig.host.shuffleFraction = 0.8; // the Shuffle knob at 1.0
    rig.host.command = kPlay;
    rig.run(2 * 44100, 512);
    const auto frames = rig.framesOf(kBD);
    ASSERT_EQ(frames.size(), 16u);
    for (std::size_t pair = 0; pair < 8; ++pair) {
        const double start = 0.5 * static_cast<double>(pair);
        EXPECT_EQ(frames[2 * pair], frameAtBeat(start));
        EXPECT_EQ(frames[2 * pair + 1], frameAtBeat(start + 1.8 * 0.25));
    }
    // Within a pair 1.8 steps, to the next pair 0.2 steps (5512.5 samples a step).
    EXPECT_NEAR(static_cast<double>(frames[1] - frames[0]), 1.8 * 5512.5, 1.0);
    EXPECT_NEAR(static_cast<double>(frames[2] - frames[1]), 0.2 * 5512.5, 1.0);
}

TEST(SequencerTiming, FlamHitFollowsItsStepByTheFlamFraction) {
    SequencerRig rig;
    Pattern& p = rig.patterns[0];
    setRow(p, kSD, "x...X.......x...");
    setRow(p, kBD, "o.......o.......");
    rig.host.flamFraction = 0.252; // the Flam knob at 0.5: 0.5 * 0.262 + 0.121
    rig.host.command = kPlay;
    rig.run(2 * 44100, 256); // 4 beats
    // The plain first hit on the step, the louder one 0.252 steps later; none anywhere else.
    EXPECT_EQ(rig.framesOf(kSD, 'p'),
              (std::vector<std::int64_t>{frameAtBeat(0.0), frameAtBeat(1.0), frameAtBeat(3.0)}));
    EXPECT_EQ(
        rig.framesOf(kSD, 'a'),
        (std::vector<std::int64_t>{frameAtBeat(0.063), frameAtBeat(1.063), frameAtBeat(3.063)}));
    EXPECT_TRUE(rig.framesOf(kSD, 's').empty());
    // Plain bass drum steps get no flam hit.
    EXPECT_TRUE(rig.framesOf(kBD, 'a').empty());
    EXPECT_EQ(rig.framesOf(kBD, 's').size(), 2u);
    // The accent flag travels with both hits of the accented flam at step 4.
    for (const Hit& h : rig.sink.hits) {
        if (h.instrument == kSD) {
            EXPECT_EQ(h.accent, h.frame == frameAtBeat(1.0) || h.frame == frameAtBeat(1.063));
        }
    }
}

TEST(SequencerTiming, TripletPatternsStepEveryThirdOfABeat) {
    SequencerRig rig;
    Pattern& p = rig.patterns[0];
    p.setLength(12);
    p.setStepsPerBeat(3);
    setRow(p, kCH, "oooooooooooo");
    rig.host.command = kPlay;
    rig.run(2 * 44100, 300);
    const auto frames = rig.framesOf(kCH);
    ASSERT_EQ(frames.size(), 12u);
    for (std::size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k], static_cast<std::int64_t>(7350 * k)) << k;
    }
}

TEST(SequencerTiming, ChainMovingToAnotherTimeBaseStepsOnTheNewGridAtOnce) {
    // Pattern 0: eight sixteenths (two beats); pattern 1: six triplet eighths (two beats).
    SequencerRig rig;
    Pattern& a = rig.patterns[0];
    a.setLength(8);
    setRow(a, kBD, "oooooooo");
    Pattern& b = rig.patterns[1];
    b.setLength(6);
    b.setStepsPerBeat(3);
    setRow(b, kSD, "oooooo");
    rig.seq.setRange(0, 1);
    rig.host.command = kPlay;
    rig.run(88200, 88200); // one block: no block start inside the four beats
    std::vector<std::int64_t> sixteenths;
    for (int k = 0; k < 8; ++k) {
        sixteenths.push_back(frameAtBeat(0.25 * k));
    }
    EXPECT_EQ(rig.framesOf(kBD), sixteenths);
    EXPECT_EQ(rig.framesOf(kSD),
              (std::vector<std::int64_t>{44100, 51450, 58800, 66150, 73500, 80850}));
}

TEST(SequencerTiming, HostStartingAtBeatFourPlaysStepZeroAtOnceThenFollowsItsPosition) {
    SequencerRig rig;
    everyStepPattern(rig, 3);
    rig.seq.setRange(3, 3);
    rig.host.controls.sync = 1;
    rig.startHost(4.0);
    rig.run(44100, 256);
    ASSERT_FALSE(rig.sink.hits.empty());
    EXPECT_EQ(rig.sink.hits[0].frame, 0);
    EXPECT_EQ(rig.sink.hits[0].pattern, 3);
    EXPECT_EQ(rig.sink.hits[0].step, 0);
    const auto frames = rig.framesOf(kBD);
    ASSERT_EQ(frames.size(), 8u);
    for (std::size_t m = 0; m < frames.size(); ++m) {
        EXPECT_EQ(frames[m], frameAtBeat(0.25 * static_cast<double>(m)));
        EXPECT_EQ(rig.sink.hits[m].step, static_cast<int>(m));
    }
}

TEST(SequencerTiming, FlamOnStepZeroWaitsThroughAHostCountIn) {
    SequencerRig rig;
    setRow(rig.patterns[0], kSD, "x...............");
    rig.host.flamFraction = 0.252;
    rig.host.controls.sync = 1;
    rig.startHost(-2.0); // two beats of count-in before the song starts
    rig.run(3 * 44100 / 2, 256);
    // Step 0 at the song's start (frame of beat 2 after the start), its flam 0.063 beats later;
    // nothing during the count-in.
    EXPECT_EQ(rig.framesOf(kSD, 'p'), (std::vector<std::int64_t>{frameAtBeat(2.0)}));
    EXPECT_EQ(rig.framesOf(kSD, 'a'), (std::vector<std::int64_t>{frameAtBeat(2.063)}));
}

TEST(SequencerTiming, HostPositionJumpCannotFireTwoStepsWithinFiveThousandthsOfABeat) {
    SequencerRig rig;
    everyStepPattern(rig);
    rig.host.controls.sync = 1;
    rig.startHost(0.0);
    rig.run(5568, 64); // the off-beat step fired at 5512
    ASSERT_EQ(rig.framesOf(kBD), (std::vector<std::int64_t>{0, 5512}));
    // The host jumps just past the next pair's start: that on-beat is due at once, but only
    // 56 samples (0.0025 beat) after the last step. It waits until more than 0.005 beat
    // (110.25 samples) have passed: frame 5512 + 111.
    rig.locate(0.501);
    rig.run(2000, 64);
    const auto frames = rig.framesOf(kBD);
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(frames[2], 5512 + 111);
    EXPECT_EQ(rig.sink.hits[2].step, 2);
}

TEST(SequencerTiming, LengthThreePatternsLoopThroughTheRange) {
    SequencerRig rig;
    for (int p = 5; p <= 7; ++p) {
        rig.patterns[p].setLength(3);
        setRow(rig.patterns[p], kBD, "ooo");
    }
    rig.seq.setRange(5, 7);
    rig.host.command = kPlay;
    rig.run(60637, 1000); // eleven steps: 10 * 5512.5 < 60637 <= 11 * 5512.5
    std::vector<std::pair<int, int>> played;
    for (const Hit& h : rig.sink.hits) {
        played.emplace_back(h.pattern, h.step);
    }
    const std::vector<std::pair<int, int>> expected = {
        {5, 0}, {5, 1}, {5, 2}, {6, 0}, {6, 1}, {6, 2}, {7, 0}, {7, 1}, {7, 2}, {5, 0}, {5, 1}};
    EXPECT_EQ(played, expected);
}

TEST(SequencerTiming, AccentAndTotalAccentFlagsReachTheTriggers) {
    SequencerRig rig;
    Pattern& p = rig.patterns[0];
    setRow(p, kBD, "Oo.O");
    setRow(p, 11, "o..o");                  // TA on steps 0 and 3
    p.setStep(11, 1, codeOfCharacter('x')); // flam in TA: not a total accent
    rig.host.command = kPlay;
    rig.run(4 * 5513, 4096);
    ASSERT_EQ(rig.sink.hits.size(), 3u);
    EXPECT_TRUE(rig.sink.hits[0].accent && rig.sink.hits[0].totalAccent);
    EXPECT_TRUE(!rig.sink.hits[1].accent && !rig.sink.hits[1].totalAccent);
    EXPECT_TRUE(rig.sink.hits[2].accent && rig.sink.hits[2].totalAccent);
}

TEST(SequencerTiming, PatternAttributeStoreAppliesEachPatternsAmountsAtItsEvents) {
    SequencerRig rig;
    Pattern& p = rig.patterns[0];
    everyStepPattern(rig);
    p.setShuffle(1.0f);
    p.setTotalAccent(0.75f);
    rig.host.attributeStore = true;
    rig.host.command = kPlay;
    rig.run(44100, 512);
    EXPECT_DOUBLE_EQ(rig.host.shuffleFraction, 0.8);
    EXPECT_EQ(rig.host.lastTotalAccent, 0.75f);
    // The first step applied shuffle 0.8, so the very first off-beat is already shuffled.
    const auto frames = rig.framesOf(kBD);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[1], frameAtBeat(0.45));

    // With the store off the pattern's amounts are left alone.
    SequencerRig off;
    everyStepPattern(off);
    off.patterns[0].setShuffle(1.0f);
    off.host.command = kPlay;
    off.run(44100, 512);
    EXPECT_EQ(off.host.shuffleSets, 0);
    EXPECT_EQ(off.framesOf(kBD)[1], frameAtBeat(0.25));
}

TEST(SequencerTiming, RandomizerGateSilencesEveryOtherPatternAndGatesInstruments) {
    SequencerRig rig;
    everyStepPattern(rig, 0);
    setRow(rig.patterns[0], kSD, "oooooooooooooooo");
    RandomizerGate other;
    other.on = true;
    other.pattern = 4;
    rig.seq.setRandomizerGate(other);
    rig.host.command = kPlay;
    rig.run(44100, 512);
    EXPECT_TRUE(rig.sink.hits.empty());

    // The gated pattern itself: an instrument sounds where its random value lies below its
    // threshold.
    SequencerRig gated;
    everyStepPattern(gated, 0);
    setRow(gated.patterns[0], kSD, "oooooooooooooooo");
    RandomizerGate gate;
    gate.on = true;
    gate.pattern = 0;
    gated.seq.setRandomizerThreshold(kBD, 0.5f);
    gated.seq.setRandomizerThreshold(kSD, 0.5f);
    for (int k = 0; k < 16; ++k) {
        gate.setValue(kBD, k, k % 2 == 0 ? 0.25f : 0.75f);
        gate.setValue(kSD, k, 0.5f); // not below: silent
    }
    gated.seq.setRandomizerGate(gate);
    gated.host.command = kPlay;
    gated.run(44100, 512);
    EXPECT_TRUE(gated.framesOf(kSD).empty());
    EXPECT_EQ(gated.framesOf(kBD).size(), 4u); // steps 0, 2, 4, 6 of 8
}

TEST(SequencerTiming, SequencerOffMakesNoHitsButPositionsMove) {
    SequencerRig rig;
    everyStepPattern(rig);
    rig.host.controls.sync = 1;
    rig.startHost(0.0);
    rig.run(44100, 256);
    EXPECT_EQ(rig.sink.hits.size(), 8u);
    rig.sink.hits.clear();
    rig.host.controls.state = false;
    rig.run(44100, 256);
    EXPECT_TRUE(rig.sink.hits.empty());
    EXPECT_NEAR(rig.seq.songPosition(), 4.0, 1e-9);
    // Switched on again, it plays on at once on the host's grid.
    rig.host.controls.state = true;
    rig.run(6000, 256);
    EXPECT_EQ(rig.framesOf(kBD), (std::vector<std::int64_t>{88200, 88200 + 5512}));
}

// --- Tempo 0 and other unusable tempos
// ------------------------------------------------------------

TEST(SequencerTiming, UnusableHostTemposStopThePlayersWithoutDividingByZero) {
    for (double bpm : {0.0, -120.0, std::nan(""), HUGE_VAL, 1.0e300}) {
        SequencerRig rig;
        everyStepPattern(rig);
        rig.host.controls.sync = 1;
        rig.host.hostBpm = bpm;
        rig.followTransport = false;
        rig.host.playing = true;
        rig.run(20000, 64);
        EXPECT_TRUE(rig.sink.hits.empty()) << bpm;
        EXPECT_TRUE(std::isfinite(rig.seq.songPosition())) << bpm;
        EXPECT_EQ(rig.seq.songPosition(), 0.0) << bpm;
        // When the tempo comes back, the chain plays from where it stood.
        rig.host.hostBpm = 120.0;
        rig.followTransport = true;
        rig.locate(0.0);
        rig.run(6000, 64);
        EXPECT_EQ(rig.framesOf(kBD), (std::vector<std::int64_t>{20000, 20000 + 5512})) << bpm;
    }
}

TEST(SequencerTiming, HostWithoutTempoLeavesTheExternalClockStanding) {
    SequencerRig rig;
    everyStepPattern(rig);
    rig.host.controls.sync = 1;
    rig.host.tempoValid = false;
    rig.startHost(0.0);
    rig.midiAt(10, 0x90, 0, 100); // a MIDI start cannot move it either
    rig.run(30000, 128);
    EXPECT_TRUE(rig.sink.hits.empty());
    // The internal clock does not depend on the host.
    SequencerRig internal;
    everyStepPattern(internal);
    internal.host.tempoValid = false;
    internal.host.answerTime = false;
    internal.host.command = kPlay;
    internal.run(6000, 128);
    EXPECT_EQ(internal.framesOf(kBD), (std::vector<std::int64_t>{0, 5512}));
}

} // namespace
} // namespace vorpalix::test::rig
