// MIDI notes and All Notes Off driving the players: exact frames, queue timing across blocks, and
// the key handling of the chain, normal and free modes.

#include "sequencer/SequencerRig.h"

#include <gtest/gtest.h>

namespace vorpalix::test::rig {
namespace {

constexpr int kBD = 0;
constexpr std::uint8_t kNoteOn = 0x90, kNoteOff = 0x80, kControl = 0xB0;

void everyStep(SequencerRig& rig, int pattern) {
    setRow(rig.patterns[pattern], kBD, "oooooooooooooooo");
}

// A rig in normal or free mode (the plug-in clears the chain flag with the mode).
void noteMode(SequencerRig& rig, int mode) {
    rig.host.controls.mode = mode;
    rig.seq.setChainFlag(false);
}

std::vector<std::int64_t> stepsFrom(std::int64_t start, int count) {
    std::vector<std::int64_t> out;
    for (int k = 0; k < count; ++k) {
        out.push_back(start + frameAtBeat(0.25 * k));
    }
    return out;
}

// --- MIDI start and stop ----------------------------------------------------------------------

TEST(SequencerMidi, NoteZeroAtDelta100StartsTheChainAtFrame100) {
    SequencerRig rig;
    everyStep(rig, 0);
    rig.midiNext(100, kNoteOn, 0, 64);
    rig.run(3 * 5513, 256);
    EXPECT_EQ(rig.framesOf(kBD), stepsFrom(100, 3));
    EXPECT_EQ(rig.sink.hits[0].step, 0);
    EXPECT_TRUE(rig.seq.isChainRunning());
}

TEST(SequencerMidi, AllNotesOffStopsBothPlayersAtItsFrame) {
    SequencerRig rig;
    everyStep(rig, 0);
    rig.midiAt(0, kNoteOn, 0, 64);
    rig.midiAt(7000, kControl, 123, 0);
    rig.run(30000, 512);
    EXPECT_EQ(rig.framesOf(kBD), stepsFrom(0, 2)); // 0 and 5512; 11025 never comes
    EXPECT_FALSE(rig.seq.isChainRunning());
    EXPECT_EQ(rig.seq.notePattern(), -1);

    // In normal mode it stops the note player too.
    SequencerRig note;
    noteMode(note, 1);
    everyStep(note, 2);
    note.midiAt(0, kNoteOn, 14, 100);
    note.midiAt(6000, 0xB5, 123, 0); // any channel
    note.run(30000, 512);
    EXPECT_EQ(note.framesOf(kBD), stepsFrom(0, 2));
    EXPECT_EQ(note.seq.notePattern(), -1);
}

TEST(SequencerMidi, NoteZeroDoesNotRestartARunningChain) {
    SequencerRig rig;
    everyStep(rig, 0);
    rig.midiAt(0, kNoteOn, 0, 64);
    rig.midiAt(3000, kNoteOn, 0, 64);
    rig.run(12000, 512);
    EXPECT_EQ(rig.framesOf(kBD), stepsFrom(0, 3));
}

TEST(SequencerMidi, MidiStartWithAStoppedHostRunsOnAtTheHostTempo) {
    // External sync, host transport stopped at beat 7.3 with a tempo of 120: the chain started
    // by note 0 keeps stepping from its own position instead of stalling on the frozen host one.
    SequencerRig rig;
    everyStep(rig, 0);
    rig.host.controls.sync = 1;
    rig.host.playing = false;
    rig.host.ppq = 7.3;
    rig.host.hostBpm = 120.0;
    rig.midiAt(100, kNoteOn, 0, 100);
    rig.run(44100, 256);
    EXPECT_EQ(rig.framesOf(kBD), stepsFrom(100, 8));
}

// --- Queue timing across blocks ---------------------------------------------------------------

TEST(SequencerMidi, AnEventBeyondItsBlockIsHandledInTheNextBlock) {
    SequencerRig rig;
    everyStep(rig, 0);
    rig.midiNext(300, kNoteOn, 0, 64); // delta beyond the 256-frame block
    rig.block(256);
    EXPECT_TRUE(rig.sink.hits.empty());
    rig.block(512);
    // The event keeps its time: 300 frames after the first block's start.
    EXPECT_EQ(rig.framesOf(kBD), (std::vector<std::int64_t>{300}));
}

TEST(SequencerMidi, EventsBeyondEveryBlockStillFallDueAndNeverFillTheQueue) {
    SequencerRig rig;
    everyStep(rig, 0);
    rig.midiNext(600, kNoteOn, 0, 64); // beyond two 256-frame blocks
    rig.block(256);
    rig.block(256);
    EXPECT_TRUE(rig.sink.hits.empty());
    rig.block(256);
    EXPECT_EQ(rig.framesOf(kBD), (std::vector<std::int64_t>{600}));

    // A host that sends a late note in every short block: each one is handled in turn, so the
    // queue never fills and a later MIDI stop still arrives.
    SequencerRig flood;
    everyStep(flood, 0);
    for (int block = 0; block < 5000; ++block) {
        flood.midiNext(512, kNoteOff, 60, 0);
        flood.block(256);
    }
    flood.midiNext(0, kNoteOn, 0, 64);
    flood.block(256);
    EXPECT_EQ(flood.framesOf(kBD).size(), 1u);
}

TEST(SequencerMidi, NegativeDeltasAreDroppedAndEqualDeltasHandledInOrder) {
    SequencerRig rig;
    rig.host.controls.mode = 0;
    rig.midiNext(-4, kNoteOn, 30, 100); // never handled
    rig.midiNext(10, kNoteOn, 14, 100); // range 2..2
    rig.midiNext(10, kNoteOn, 17, 100); // held with 14: range 2..5
    rig.block(64);
    EXPECT_EQ(rig.seq.rangeFrom(), 2);
    EXPECT_EQ(rig.seq.rangeTo(), 5);
}

TEST(SequencerMidi, NonNoteMessagesAreNotQueuedAndMalformedOnesIgnored) {
    SequencerRig rig;
    everyStep(rig, 0);
    rig.midiNext(0, 0xC0, 0, 0);        // program change
    rig.midiNext(0, 0xE0, 0, 64);       // pitch bend
    rig.midiNext(0, kControl, 7, 127);  // an ordinary controller
    rig.midiNext(0, kControl, 121, 0);  // reset all controllers
    rig.midiNext(0, kNoteOn, 0x80, 64); // data byte with the top bit set
    rig.midiNext(0, kNoteOn, 0, 0x90);
    rig.midiNext(0, 0xF0, 0, 0);
    rig.block(6000);
    EXPECT_TRUE(rig.sink.hits.empty());
}

TEST(SequencerMidi, AFloodOfNotesIsCutAtTheQueueCapacityAndPlayingGoesOn) {
    SequencerRig rig;
    everyStep(rig, 0);
    rig.midiNext(0, kNoteOn, 0, 64);
    for (int i = 0; i < 20000; ++i) {
        rig.midiNext(1 + i % 200, kNoteOff, 50, 0); // pattern-key releases: harmless in chain mode
    }
    rig.block(12000);
    EXPECT_EQ(rig.seq.droppedMidiEvents(), 20001 - MidiEventQueue::kCapacity);
    EXPECT_EQ(rig.framesOf(kBD), stepsFrom(0, 3));
}

// --- Normal mode ------------------------------------------------------------------------------

TEST(SequencerMidi, NormalModePlaysWhileAKeyIsHeldAndCountsRepeatedKeys) {
    SequencerRig rig;
    noteMode(rig, 1);
    everyStep(rig, 48);
    rig.midiAt(0, kNoteOn, 60, 100);
    rig.midiAt(1000, kNoteOn, 60, 90); // same pattern again: count 2, restart at step 0
    rig.midiAt(2000, kNoteOff, 60, 0);
    rig.run(8000, 256);
    EXPECT_EQ(rig.seq.notePattern(), 48);
    EXPECT_TRUE(rig.seq.isPlaying());
    // The restart played step 0 again at frame 1000.
    ASSERT_GE(rig.sink.hits.size(), 2u);
    EXPECT_EQ(rig.sink.hits[1].frame, 1000);
    EXPECT_EQ(rig.sink.hits[1].step, 0);
    rig.midiAt(8100, kNoteOn, 60, 0); // note-on with velocity 0 is the second release
    rig.run(20000, 256);
    EXPECT_EQ(rig.seq.notePattern(), -1);
    EXPECT_FALSE(rig.seq.isPlaying());
    EXPECT_EQ(rig.seq.lastStartedPattern(), 48);
    for (const Hit& h : rig.sink.hits) {
        EXPECT_LT(h.frame, 8100);
    }
}

TEST(SequencerMidi, RestartPlaysStepZeroThenAdvancesEvenWithinOneBlock) {
    SequencerRig rig;
    noteMode(rig, 1);
    everyStep(rig, 48);
    rig.midiAt(100, kNoteOn, 60, 100);
    rig.run(16384, 16384); // steps 0, 1, 2 all in the one block
    ASSERT_EQ(rig.sink.hits.size(), 3u);
    EXPECT_EQ(rig.framesOf(kBD), stepsFrom(100, 3));
    EXPECT_EQ(rig.sink.hits[0].step, 0);
    EXPECT_EQ(rig.sink.hits[1].step, 1);
    EXPECT_EQ(rig.sink.hits[2].step, 2);
}

TEST(SequencerMidi, AnotherPatternKeyTakesOverAndAStrayReleaseLeavesNoDebt) {
    SequencerRig rig;
    noteMode(rig, 1);
    everyStep(rig, 2);
    everyStep(rig, 3);
    rig.midiAt(0, kNoteOn, 14, 100);
    rig.midiAt(100, kNoteOn, 15, 100); // pattern 3 takes over with a count of 1
    rig.midiAt(200, kNoteOff, 14, 0);  // not the playing pattern: nothing
    rig.run(300, 64);
    EXPECT_EQ(rig.seq.notePattern(), 3);
    rig.midiAt(300, kNoteOff, 15, 0);
    rig.run(100, 64);
    EXPECT_EQ(rig.seq.notePattern(), -1);

    // A pattern started in free mode keeps playing after a switch to normal mode, where no key
    // of it is counted. A release of its key there changes nothing, and afterwards one press
    // and one release start and end it as usual.
    noteMode(rig, 2);
    rig.midiAt(500, kNoteOn, 15, 110);
    rig.run(200, 64);
    noteMode(rig, 1);
    rig.midiAt(700, kNoteOff, 15, 0);
    rig.run(200, 64);
    EXPECT_EQ(rig.seq.notePattern(), 3);
    rig.midiAt(900, kNoteOn, 15, 100);
    rig.midiAt(1000, kNoteOff, 15, 0);
    rig.run(300, 64);
    EXPECT_EQ(rig.seq.notePattern(), -1);
}

TEST(SequencerMidi, KeysOutsideThePatternRangeAreIgnored) {
    SequencerRig rig;
    noteMode(rig, 1);
    for (int key : {1, 11, 108, 127}) {
        rig.midiNext(0, kNoteOn, static_cast<std::uint8_t>(key), 100);
    }
    rig.block(100);
    EXPECT_EQ(rig.seq.notePattern(), -1);
    rig.midiNext(0, kNoteOn, 107, 100);
    rig.block(100);
    EXPECT_EQ(rig.seq.notePattern(), 95);
    rig.midiNext(0, kNoteOn, 12, 100);
    rig.block(100);
    EXPECT_EQ(rig.seq.notePattern(), 0);
}

// --- Free mode --------------------------------------------------------------------------------

TEST(SequencerMidi, FreeModeFirmKeysStartAndSoftKeyReleasesStop) {
    SequencerRig rig;
    noteMode(rig, 2);
    rig.host.threshold = 100;
    everyStep(rig, 28);
    rig.midiAt(0, kNoteOn, 40, 110);
    rig.midiAt(500, kNoteOff, 40, 0);
    rig.run(1000, 128);
    EXPECT_EQ(rig.seq.notePattern(), 28); // its release changes nothing
    rig.midiAt(1000, kNoteOn, 41, 50);    // soft: starts nothing
    rig.run(500, 128);
    EXPECT_EQ(rig.seq.notePattern(), 28);
    rig.midiAt(1500, kNoteOff, 41, 0); // its release stops pattern 28
    rig.run(500, 128);
    EXPECT_EQ(rig.seq.notePattern(), -1);
    // Velocity exactly at the threshold starts.
    rig.midiAt(2000, kNoteOn, 20, 100);
    rig.run(500, 128);
    EXPECT_EQ(rig.seq.notePattern(), 8);
}

// --- Chain mode -------------------------------------------------------------------------------

TEST(SequencerMidi, ChainKeysChooseAndExtendTheRange) {
    SequencerRig rig;
    rig.midiAt(0, kNoteOn, 14, 100);
    rig.midiAt(10, kNoteOn, 17, 100);
    rig.run(64, 64);
    EXPECT_EQ(rig.seq.rangeFrom(), 2);
    EXPECT_EQ(rig.seq.rangeTo(), 5);
    rig.midiAt(100, kNoteOn, 12, 100); // 14 still held
    rig.run(64, 64);
    EXPECT_EQ(rig.seq.rangeFrom(), 0);
    EXPECT_EQ(rig.seq.rangeTo(), 2);
    // Releasing the first key ends the hold: the next key starts a new range.
    rig.midiAt(200, kNoteOff, 14, 0);
    rig.midiAt(210, kNoteOn, 30, 100);
    rig.run(128, 64);
    EXPECT_EQ(rig.seq.rangeFrom(), 18);
    EXPECT_EQ(rig.seq.rangeTo(), 18);
    EXPECT_EQ(rig.seq.nextPattern(), 18);
}

TEST(SequencerMidi, AModeChangeEndsTheChainKeyHold) {
    SequencerRig rig;
    rig.midiAt(0, kNoteOn, 14, 100);
    rig.run(64, 64);
    rig.host.controls.mode = 1;
    rig.run(64, 64);
    rig.host.controls.mode = 0;
    rig.midiAt(200, kNoteOn, 20, 100); // held flag was cleared: a new range, not an extension
    rig.run(128, 64);
    EXPECT_EQ(rig.seq.rangeFrom(), 8);
    EXPECT_EQ(rig.seq.rangeTo(), 8);
}

} // namespace
} // namespace vorpalix::test::rig
