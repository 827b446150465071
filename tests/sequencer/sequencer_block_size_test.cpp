// The sequencer's hits do not depend on how the host cuts its blocks: bit-identical frames on
// the internal clock and on a host clock whose positions are exact, within one frame otherwise.

#include "sequencer/SequencerRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace vorpalix::test::rig {
namespace {

constexpr std::uint8_t kNoteOn = 0x90, kNoteOff = 0x80, kControl = 0xB0;

// Patterns of every time base, with flams, accents, total accents, their own shuffle and flam
// amounts and lengths below 16.
void songPatterns(PatternBank& bank) {
    const char* rows[4][4] = {
        {"O..o..x.O.o...o.", "....O..x....O..o", "o.o.o.o.o.o.o.oX", "o...o..........."},
        {"O.....O.....", "...X.....o..", "o.oo.oo.oo.o", "..........o."},
        {"O..o..O..oo.", "...O.x...O..", "oooooooooooo", "...o........"},
        {"O.o.O...o.o.O.X.", "..X...O...X...O.", "xoxoxoxoxoxoxoxo", "O...O...O...O..."},
    };
    const int spb[4] = {4, 3, 6, 8};
    const int length[4] = {16, 12, 12, 16};
    for (int p = 0; p < 4; ++p) {
        Pattern& pat = bank[p];
        pat.setStepsPerBeat(spb[p]);
        pat.setLength(length[p]);
        pat.setShuffle(0.15f * static_cast<float>(p + 1));
        pat.setFlam(0.2f + 0.2f * static_cast<float>(p));
        pat.setTotalAccent(0.25f * static_cast<float>(p));
        setRow(pat, 0, rows[p][0]);
        setRow(pat, 1, rows[p][1]);
        setRow(pat, 7, rows[p][2]);
        setRow(pat, 11, rows[p][3]);
    }
}

struct Scenario {
    int mode = 0;
    int sync = 0;
    bool store = true;
    double rate = 44100.0;
    double bpm = 133.0;
    bool hostPlays = false;
};

std::vector<Hit> play(const Scenario& s, int blockSize) {
    SequencerRig rig;
    songPatterns(rig.patterns);
    rig.host.controls.mode = s.mode;
    rig.host.controls.sync = s.sync;
    rig.seq.setChainFlag(s.mode == 0);
    rig.host.attributeStore = s.store;
    rig.host.shuffleFraction = 0.2;
    rig.host.flamFraction = 0.25;
    rig.host.rate = s.rate;
    rig.host.internalBpm = s.bpm;
    rig.host.hostBpm = s.bpm;
    if (s.hostPlays) {
        rig.startHost(0.0);
    }
    if (s.mode == 0) {
        // Keys choose the range 0..3, note 0 starts, All Notes Off stops, note 0 again.
        rig.midiAt(3, kNoteOn, 12, 100);
        rig.midiAt(17, kNoteOn, 15, 100);
        rig.midiAt(40, kNoteOff, 12, 0);
        rig.midiAt(1001, kNoteOn, 0, 100);
        rig.midiAt(300007, kControl, 123, 0);
        rig.midiAt(310011, kNoteOn, 0, 100);
    } else {
        // Pattern keys pressed, released and overlapping at odd frames.
        const std::int64_t at[] = {5, 40001, 90313, 150000, 150001, 222222, 300003, 400009};
        const int key[] = {12, 13, 14, 15, 12, 13, 14, 15};
        for (int i = 0; i < 8; ++i) {
            rig.midiAt(at[i], kNoteOn, static_cast<std::uint8_t>(key[i]), i % 2 ? 120 : 60);
            rig.midiAt(at[i] + 60000 + 7 * i, kNoteOff, static_cast<std::uint8_t>(key[i]), 0);
        }
    }
    rig.run(500000, blockSize);
    return rig.sink.hits;
}

void expectIdentical(const Scenario& s) {
    const std::vector<Hit> reference = play(s, 1);
    ASSERT_GT(reference.size(), 100u);
    for (int block : {7, 64, 4096}) {
        const std::vector<Hit> other = play(s, block);
        for (std::size_t i = 0; i < std::min(other.size(), reference.size()); ++i) {
            ASSERT_EQ(describe(other[i]), describe(reference[i]))
                << "block " << block << ", hit " << i;
        }
        ASSERT_EQ(other.size(), reference.size()) << "block " << block;
    }
}

TEST(SequencerBlockSize, ChainOnTheInternalClockIsBitIdentical) {
    expectIdentical({0, 0, true, 44100.0, 133.0, false});
}

TEST(SequencerBlockSize, NotePlayersOnTheInternalClockAreBitIdentical) {
    expectIdentical({1, 0, true, 44100.0, 97.0, false});
    expectIdentical({2, 0, false, 48000.0, 171.3, false});
}

TEST(SequencerBlockSize, HostClockWithExactPositionsIsBitIdentical) {
    // 32768 Hz at 120 BPM: a sample is 2^-14 beat, every position is exact.
    expectIdentical({0, 1, true, 32768.0, 120.0, true});
}

TEST(SequencerBlockSize, HostClockElsewhereStaysWithinOneFrame) {
    const Scenario s{0, 1, true, 44100.0, 123.0, true};
    const std::vector<Hit> reference = play(s, 1);
    ASSERT_GT(reference.size(), 100u);
    for (int block : {7, 64, 4096}) {
        const std::vector<Hit> other = play(s, block);
        ASSERT_EQ(other.size(), reference.size()) << "block " << block;
        for (std::size_t i = 0; i < other.size(); ++i) {
            EXPECT_LE(std::llabs(other[i].frame - reference[i].frame), 1)
                << "block " << block << ", hit " << i;
            EXPECT_EQ(other[i].instrument, reference[i].instrument);
            EXPECT_EQ(other[i].kind, reference[i].kind);
        }
    }
}

} // namespace
} // namespace vorpalix::test::rig
