// The chain player's transport: host start and stop, Play and StopCont, and continuing exactly
// where a stop left off.

#include "sequencer/SequencerRig.h"

#include <gtest/gtest.h>

namespace vorpalix::test::rig {
namespace {

constexpr int kBD = 0, kSD = 1, kCH = 7;
constexpr int kPlay = 1, kStopCont = 2;

void groove(SequencerRig& rig, int pattern) {
    Pattern& p = rig.patterns[pattern];
    setRow(p, kBD, "O..o..o.O..o....");
    setRow(p, kSD, "....O..x....O..o");
    setRow(p, kCH, "oooooooooooooooo");
}

TEST(SequencerTransport, HostStartPlaysTheRangeAndHostStopEndsIt) {
    SequencerRig rig;
    groove(rig, 5);
    groove(rig, 6);
    rig.seq.setRange(5, 6);
    rig.host.controls.sync = 1;
    rig.run(1000, 256);
    EXPECT_TRUE(rig.sink.hits.empty());
    EXPECT_GT(rig.host.transportReads, 0);
    rig.startHost(0.0);
    rig.run(44100 * 4, 256); // 8 beats: two patterns
    ASSERT_FALSE(rig.sink.hits.empty());
    EXPECT_EQ(rig.sink.hits.front().frame, 1000);
    EXPECT_EQ(rig.sink.hits.front().pattern, 5);
    EXPECT_EQ(rig.sink.hits.back().pattern, 6);
    EXPECT_TRUE(rig.seq.takeStepChanged());
    EXPECT_FALSE(rig.seq.takeStepChanged()); // read once

    rig.host.playing = false;
    const std::size_t before = rig.sink.hits.size();
    rig.run(44100, 256);
    EXPECT_EQ(rig.sink.hits.size(), before);
    EXPECT_FALSE(rig.seq.isChainRunning());
    EXPECT_TRUE(rig.seq.takeStopped());
    EXPECT_FALSE(rig.seq.takeStopped());
    // The next start begins again at the first pattern of the range.
    rig.startHost(0.0);
    rig.run(256, 256);
    EXPECT_EQ(rig.sink.hits[before].pattern, 5);
    EXPECT_EQ(rig.sink.hits[before].step, 0);
}

TEST(SequencerTransport, PlaybackReportsWhatTheInterfaceMustNotMissOnceAtTheBlockEnd) {
    SequencerRig rig;
    groove(rig, 5);
    groove(rig, 6);
    rig.seq.setRange(5, 6); // set here, as by a command: not reported back
    rig.host.controls.sync = 1;
    rig.startHost(0.0);
    rig.run(44100 * 4, 256); // 8 beats: both patterns
    EXPECT_EQ(rig.host.playingPatterns, (std::vector<int>{5, 6}));
    EXPECT_TRUE(rig.host.ranges.empty());
    rig.host.playing = false;
    rig.run(512, 256);
    EXPECT_EQ(rig.host.stops, 1);
    EXPECT_EQ(rig.host.playingPatterns.back(), -1);
    // A pattern key chooses the range on the audio thread: that is reported.
    rig.midiNext(0, 0x90, 12 + 30, 100);
    rig.block(256);
    EXPECT_EQ(rig.host.ranges, (std::vector<std::pair<int, int>>{{30, 30}}));
}

TEST(SequencerTransport, HostWithoutATimeRecordLeavesTheTransportAlone) {
    SequencerRig rig;
    groove(rig, 0);
    rig.host.controls.sync = 1;
    rig.host.answerTime = false;
    rig.host.playing = true;
    rig.run(20000, 256);
    EXPECT_TRUE(rig.sink.hits.empty());
    // On the internal clock Play needs nothing from the host.
    rig.host.controls.sync = 0;
    rig.host.command = kPlay;
    rig.run(100, 100);
    EXPECT_FALSE(rig.sink.hits.empty());
}

TEST(SequencerTransport, PlayIsDroppedWhileTheHostPlaysOrTheSequencerIsOff) {
    SequencerRig rig;
    groove(rig, 0);
    rig.host.controls.state = false;
    rig.host.command = kPlay;
    rig.run(20000, 256);
    EXPECT_EQ(rig.host.command, 0); // consumed
    EXPECT_FALSE(rig.seq.isChainRunning());
    EXPECT_EQ(rig.seq.runState(), kRunNever);

    SequencerRig hosted;
    groove(hosted, 0);
    hosted.host.controls.sync = 1;
    hosted.startHost(0.0);
    hosted.run(10000, 256);
    const std::size_t hits = hosted.sink.hits.size();
    hosted.host.command = kStopCont; // would stop a Play-started chain; dropped here
    hosted.run(30000, 256);
    EXPECT_EQ(hosted.host.command, 0);
    EXPECT_TRUE(hosted.seq.isChainRunning());
    EXPECT_GT(hosted.sink.hits.size(), hits);
}

TEST(SequencerTransport, StopContStopsAPlayStartedChain) {
    SequencerRig rig;
    groove(rig, 0);
    rig.host.command = kPlay;
    rig.run(10000, 500);
    EXPECT_EQ(rig.seq.runState(), kRunRunning);
    rig.host.command = kStopCont;
    const std::size_t hits = rig.sink.hits.size();
    rig.run(50000, 500);
    EXPECT_EQ(rig.sink.hits.size(), hits);
    EXPECT_EQ(rig.seq.runState(), kRunStopped);
    EXPECT_FALSE(rig.seq.isChainRunning());
    // Its pattern is what plays next.
    EXPECT_EQ(rig.seq.currentPattern(), 0);
}

// The same song with and without a pause: a StopCont at `stopAt` and another at `resumeAt`. Every
// hit after the stop must come exactly (resumeAt - stopAt) frames later than without the pause,
// with the same pattern and step.
void expectSeamlessContinue(double shuffle, int stepsPerBeat, std::int64_t stopAt,
                            std::int64_t resumeAt, double bpm) {
    auto setup = [&](SequencerRig& rig) {
        for (int p = 0; p < 2; ++p) {
            groove(rig, p);
            rig.patterns[p].setStepsPerBeat(stepsPerBeat);
        }
        rig.patterns[1].setLength(12);
        rig.seq.setRange(0, 1);
        rig.host.shuffleFraction = shuffle;
        rig.host.internalBpm = bpm;
        rig.host.flamFraction = 0.3;
    };
    const std::int64_t total = 6 * 44100;
    SequencerRig reference;
    setup(reference);
    reference.host.command = kPlay;
    reference.run(total, 512);

    SequencerRig paused;
    setup(paused);
    paused.host.command = kPlay;
    paused.run(stopAt, 512);
    paused.host.command = kStopCont;
    paused.run(resumeAt - stopAt, 512);
    paused.host.command = kStopCont;
    paused.run(total - stopAt, 512);

    const std::int64_t pause = resumeAt - stopAt;
    std::vector<Hit> expected;
    for (const Hit& h : reference.sink.hits) {
        Hit e = h;
        if (h.frame >= stopAt) {
            e.frame += pause;
        }
        expected.push_back(e);
    }
    ASSERT_EQ(paused.sink.hits.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(describe(paused.sink.hits[i]), describe(expected[i])) << "hit " << i;
        ASSERT_EQ(paused.sink.hits[i].pattern, expected[i].pattern) << "hit " << i;
        ASSERT_EQ(paused.sink.hits[i].step, expected[i].step) << "hit " << i;
    }
}

TEST(SequencerTransport, ContinueAfterStopContPlaysTheNextStepExactlyWhenItWasDue) {
    expectSeamlessContinue(0.0, 4, 7168, 7168 + 23000, 120.0);
}

TEST(SequencerTransport, ContinueKeepsShuffleFlamAndTripletTiming) {
    expectSeamlessContinue(0.55, 4, 20480, 20480 + 4097, 133.0);
    expectSeamlessContinue(0.3, 3, 51200, 51200 + 99999, 97.5);
    expectSeamlessContinue(0.0, 6, 3072, 3072 + 1, 166.5);
}

TEST(SequencerTransport, ContinueAtAStepFramePlaysThatStepOnResume) {
    // Step 2 is due at frame 11025, the first frame of the block in which the stop arrives: it
    // does not sound before the stop and sounds at once on continue.
    SequencerRig reference;
    groove(reference, 0);
    reference.host.command = kPlay;
    reference.run(11025, 11025);
    reference.run(30000, 512);

    SequencerRig paused;
    groove(paused, 0);
    paused.host.command = kPlay;
    paused.run(11025, 11025);
    paused.host.command = kStopCont;
    paused.run(777, 512);
    paused.host.command = kStopCont;
    paused.run(30000, 512);
    ASSERT_EQ(paused.sink.hits.size(), reference.sink.hits.size());
    for (std::size_t i = 0; i < paused.sink.hits.size(); ++i) {
        const Hit& r = reference.sink.hits[i];
        EXPECT_EQ(paused.sink.hits[i].frame, r.frame >= 11025 ? r.frame + 777 : r.frame);
        EXPECT_EQ(paused.sink.hits[i].step, r.step);
    }
}

TEST(SequencerTransport, ContinueAfterAHostStopResumesWhereTheHostStopped) {
    SequencerRig rig;
    groove(rig, 0);
    rig.host.controls.sync = 1;
    rig.startHost(0.0);
    rig.run(30000, 500); // steps 0..5 played (5 at 27562)
    rig.host.playing = false;
    rig.run(5000, 500);
    const std::size_t hits = rig.sink.hits.size();
    ASSERT_GT(hits, 0u);
    const int lastStep = rig.sink.hits.back().step;
    rig.host.command = kStopCont; // continue on the host's tempo
    rig.run(20000, 500);
    ASSERT_GT(rig.sink.hits.size(), hits);
    EXPECT_EQ(rig.sink.hits[hits].step, lastStep + 1);
    // Step 6 was due at beat 1.5 = frame 33075, 3075 frames after the stop at 30000.
    EXPECT_EQ(rig.sink.hits[hits].frame, 35000 + (33075 - 30000));
}

} // namespace
} // namespace vorpalix::test::rig
