// The sequencer heard through the bundled host: the built plug-in, test patterns loaded through
// the chunk, and the onset of every hit read from the per-instrument outputs. Expected frames
// come from tempo and rate alone (120 BPM at 44.1 kHz: 22050 samples a beat, 5512.5 a step).

#include "host/SequencerHostSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorpalix::testing::seq {
namespace {

using host::MidiMessage;

// A started plug-in with the given patterns and settings, its internal clock at `bpm`.
std::unique_ptr<host::PluginHost> sequencerHost(const std::map<int, TestPattern>& patterns,
                                                const SequencerSettings& settings = {},
                                                int bpm = 120, host::HostOptions options = {}) {
    auto h = loadVorpalix(std::move(options));
    if (h) {
        applyChunk(*h, sequencerChunk(patterns, settings));
        h->setParameter(48, tempoKnob(bpm));
    }
    return h;
}

std::vector<std::int64_t> sixteenths(int count, std::int64_t offset = 0, double shuffle = 0.0) {
    std::vector<std::int64_t> out;
    for (int k = 0; k < count; ++k) {
        const double pairStart = 0.5 * (k / 2);
        const double beat = k % 2 == 0 ? pairStart : pairStart + 0.25 * (1.0 + shuffle);
        out.push_back(offset + frameAtBeat(beat));
    }
    return out;
}

TEST(SequencerPlayback, StepsAt120BpmAre5512Or5513SamplesApart) {
    auto h = sequencerHost({{0, rotationPattern()}});
    ASSERT_NE(h, nullptr);
    h->scheduleRawMidi(0, MidiMessage::noteOn(0, 0, 100)); // MIDI start
    const auto out = h->render(16 * 5513, 256);
    const auto frames = rotationStepFrames(out, 16);
    EXPECT_EQ(frames, sixteenths(16));
    for (std::size_t k = 1; k < frames.size(); ++k) {
        const auto gap = frames[k] - frames[k - 1];
        EXPECT_TRUE(gap == 5512 || gap == 5513) << "step " << k << " gap " << gap;
    }
}

TEST(SequencerPlayback, ShuffleKnobAtFullDelaysOffBeatsBy0Point8Steps) {
    auto h = sequencerHost({{0, rotationPattern()}});
    ASSERT_NE(h, nullptr);
    h->setParameter(51, 1.0f); // Shuffle
    h->scheduleRawMidi(0, MidiMessage::noteOn(0, 0, 100));
    const auto out = h->render(16 * 5513, 256);
    EXPECT_EQ(rotationStepFrames(out, 16), sixteenths(16, 0, 0.8));
}

TEST(SequencerPlayback, DefaultFlamPlaysTheSecondHit0Point252StepsLater) {
    // The same song once with a flam and once with a plain note on step 0: the two renders are
    // the same sample for sample until the flam's second hit.
    TestPattern flam;
    flam.rows[kSD] = "x.......x.......";
    TestPattern plain;
    plain.rows[kSD] = "o.......o.......";
    std::vector<float> withFlam, withNote;
    for (auto* p : {&flam, &plain}) {
        auto h = sequencerHost({{0, *p}});
        ASSERT_NE(h, nullptr);
        h->scheduleRawMidi(0, MidiMessage::noteOn(0, 0, 100));
        const auto out = h->render(3 * 22050, 512);
        (p == &flam ? withFlam : withNote) = out[static_cast<std::size_t>(channelOf(kSD))];
    }
    ASSERT_EQ(onsets(withFlam).front(), 0);
    // The Flam knob's default 0.5 gives 0.5 * 0.262 + 0.121 = 0.252 of a step: 0.063 beat.
    EXPECT_EQ(firstDifference(withFlam, withNote), frameAtBeat(0.063));
}

TEST(SequencerPlayback, HostStartingAtBeatFourPlaysStepZeroAtOnce) {
    SequencerSettings settings;
    settings.sync = "external";
    auto h = sequencerHost({{0, rotationPattern()}}, settings);
    ASSERT_NE(h, nullptr);
    h->transport().setTempo(120.0);
    h->transport().locate(4.0 * 22050.0); // beat 4
    h->transport().setPlaying(true);
    const auto out = h->render(16 * 5513, 256);
    EXPECT_EQ(rotationStepFrames(out, 16), sixteenths(16));
}

TEST(SequencerPlayback, AStepDueWithin0Point005BeatOfTheLastOneWaits) {
    SequencerSettings settings;
    settings.sync = "external";
    auto h = sequencerHost({{0, rotationPattern()}}, settings);
    ASSERT_NE(h, nullptr);
    h->transport().setTempo(120.0);
    h->transport().setPlaying(true);
    // After the step at 5512 the host jumps just past the next pair's start (beat 0.501).
    const auto out = renderWith(*h, 8000, 64, [&](std::int64_t done) {
        if (done == 5568) {
            h->transport().locate(0.501 * 22050.0);
        }
    });
    const auto frames = rotationStepFrames(out, 3);
    EXPECT_EQ(frames[0], 0);
    EXPECT_EQ(frames[1], 5512);
    // Due at 5568, only 56 samples after the last step: it sounds once 0.005 beat (110.25
    // samples) have passed.
    EXPECT_EQ(frames[2], 5512 + 111);
}

TEST(SequencerPlayback, ChainKeysChooseARangeOfShortPatternsThatLoops) {
    // Patterns 5, 6, 7 of length 3, each step with its own instrument.
    const int instruments[3][3] = {{kBD, kRS, kSD}, {kCH, kLT, kMT}, {kHT, kHC, kCR}};
    std::map<int, TestPattern> bank;
    for (int p = 0; p < 3; ++p) {
        TestPattern t;
        t.length = 3;
        for (int k = 0; k < 3; ++k) {
            std::string& row = t.rows[instruments[p][k]];
            row = "...";
            row[static_cast<std::size_t>(k)] = 'O';
        }
        bank[5 + p] = t;
    }
    auto h = sequencerHost(bank);
    ASSERT_NE(h, nullptr);
    h->scheduleMidi(0, MidiMessage::noteOn(0, 17, 100)); // pattern 5
    h->scheduleMidi(1, MidiMessage::noteOn(0, 19, 100)); // pattern 7 held with it: 5..7
    h->scheduleMidi(2, MidiMessage::noteOn(0, 0, 100));  // start
    const auto out = h->render(11 * 5513, 256);
    for (int p = 0; p < 3; ++p) {
        for (int k = 0; k < 3; ++k) {
            const auto hits = onsets(out[static_cast<std::size_t>(channelOf(instruments[p][k]))]);
            ASSERT_FALSE(hits.empty()) << "pattern " << 5 + p << " step " << k;
            EXPECT_EQ(hits.front(), 2 + frameAtBeat(0.25 * (3 * p + k)));
        }
    }
    // Then pattern 5 again.
    const auto bd = onsets(out[static_cast<std::size_t>(channelOf(kBD))]);
    ASSERT_EQ(bd.size(), 2u);
    EXPECT_EQ(bd[1], 2 + frameAtBeat(0.25 * 9));
    // Nothing outside the range sounds.
    EXPECT_TRUE(onsets(out[static_cast<std::size_t>(channelOf(kOH))]).empty());
    EXPECT_TRUE(onsets(out[static_cast<std::size_t>(channelOf(kRD))]).empty());
}

TEST(SequencerPlayback, NoteZeroAtDelta100StartsAtFrame100AndAllNotesOffStops) {
    auto h = sequencerHost({{0, rotationPattern()}});
    ASSERT_NE(h, nullptr);
    h->scheduleRawMidi(100, MidiMessage::noteOn(0, 0, 100));
    h->scheduleMidi(30000, MidiMessage::controlChange(0, 123, 0));
    const auto out = h->render(3 * 44100, 256);
    const auto frames = rotationStepFrames(out, 16);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(frames[static_cast<std::size_t>(k)], 100 + frameAtBeat(0.25 * k)) << k;
    }
    EXPECT_EQ(frames[6], -1); // due at 33175, after the stop at 30000
    for (int i = 0; i < 11; ++i) {
        for (auto onset : onsets(out[static_cast<std::size_t>(channelOf(i))])) {
            EXPECT_LT(onset, 30000) << "instrument " << i;
        }
    }
}

TEST(SequencerPlayback, AnEventBeyondItsBlockIsHeardInTheNextBlock) {
    auto h = sequencerHost({{0, rotationPattern()}});
    ASSERT_NE(h, nullptr);
    h->scheduleRawMidi(300, MidiMessage::noteOn(0, 0, 100)); // beyond the 256-frame block
    h->processBlock(256);
    for (int c = 0; c < h->numOutputs(); ++c) {
        for (float v : h->output(c)) {
            ASSERT_EQ(v, 0.0f);
        }
    }
    h->processBlock(1024);
    const auto bd = h->output(channelOf(kBD));
    const std::vector<float> next(bd.begin(), bd.end());
    // The event keeps its time: 300 frames after the first block began, frame 44 of this one.
    EXPECT_EQ(onsets(next), (std::vector<std::int64_t>{300 - 256}));
}

TEST(SequencerPlayback, NormalModeRestartsAtStepZeroAndStopsWithTheLastKey) {
    SequencerSettings settings;
    settings.mode = "normal";
    auto h = sequencerHost({{48, rotationPattern()}}, settings);
    ASSERT_NE(h, nullptr);
    h->scheduleMidi(100, MidiMessage::noteOn(0, 60, 100));
    h->scheduleMidi(20000, MidiMessage::noteOn(0, 60, 100)); // same key again: restart
    h->scheduleMidi(30000, MidiMessage::noteOff(0, 60, 0));  // one key still held
    h->scheduleMidi(40000, MidiMessage::noteOff(0, 60, 0));  // last key: stop
    const auto out = h->render(3 * 44100, 512);
    const auto bd = onsets(out[static_cast<std::size_t>(channelOf(kBD))]);
    const auto rs = onsets(out[static_cast<std::size_t>(channelOf(kRS))]);
    const auto sd = onsets(out[static_cast<std::size_t>(channelOf(kSD))]);
    // Steps 0..3 from frame 100; the restart plays step 0 at 20000, then steps 1..3; step 4
    // would come at 42050, after the last key's release.
    EXPECT_EQ(bd, (std::vector<std::int64_t>{100, 20000}));
    EXPECT_EQ(rs, (std::vector<std::int64_t>{100 + 5512, 20000 + 5512}));
    EXPECT_EQ(sd, (std::vector<std::int64_t>{100 + 11025, 20000 + 11025}));
    for (int i = 0; i < 11; ++i) {
        for (auto onset : onsets(out[static_cast<std::size_t>(channelOf(i))])) {
            EXPECT_LT(onset, 40000) << "instrument " << i;
        }
    }
}

TEST(SequencerPlayback, FreeModeFirmKeyStartsAndTheSoftKeysReleaseStops) {
    SequencerSettings settings;
    settings.mode = "free";
    auto h = sequencerHost({{28, rotationPattern()}}, settings);
    ASSERT_NE(h, nullptr);
    h->scheduleMidi(0, MidiMessage::noteOn(0, 40, 110));    // pattern 28, above the threshold
    h->scheduleMidi(1000, MidiMessage::noteOff(0, 40, 0));  // changes nothing
    h->scheduleMidi(20000, MidiMessage::noteOn(0, 41, 50)); // soft: starts nothing
    h->scheduleMidi(25000, MidiMessage::noteOff(0, 41, 0)); // its release stops pattern 28
    const auto out = h->render(2 * 44100, 512);
    const auto frames = rotationStepFrames(out, 16);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(frames[static_cast<std::size_t>(k)], frameAtBeat(0.25 * k)) << k;
    }
    EXPECT_EQ(frames[5], -1); // due at 27562
}

TEST(SequencerPlayback, UnusableHostTemposKeepTheExternalClockStillAndTheOutputFinite) {
    SequencerSettings settings;
    settings.sync = "external";
    const double nan = std::nan("");
    // Tempo 0, negative, not a number, infinite; then a host that never reports a tempo.
    for (int variant = 0; variant < 5; ++variant) {
        auto h = sequencerHost({{0, rotationPattern()}}, settings);
        ASSERT_NE(h, nullptr);
        const double reported[4] = {0.0, -120.0, nan, HUGE_VAL};
        if (variant < 4) {
            h->options().timeQuirks.reportedTempo = reported[variant];
        } else {
            h->options().timeQuirks.omitTempo = true;
        }
        h->transport().setPlaying(true);
        h->scheduleMidi(10, MidiMessage::noteOn(0, 0, 100)); // a MIDI start cannot move it
        const auto out = h->render(44100, 256);
        for (const auto& c : out) {
            EXPECT_TRUE(allFinite(c)) << "variant " << variant;
            EXPECT_EQ(peakMagnitude(c), 0.0f) << "variant " << variant;
        }
    }
}

TEST(SequencerPlayback, AHostStartingItsTransportHearsTheFirstFactoryPattern) {
    auto h = loadVorpalix(); // the embedded defaults: external sync, chain mode, range 0..0
    ASSERT_NE(h, nullptr);
    h->transport().setTempo(120.0);
    h->transport().setPlaying(true);
    const auto out = h->render(4 * 22050, 512);
    // "120 Night Drive": bass drum on every beat, clap on beats 2 and 4.
    EXPECT_EQ(onsets(out[static_cast<std::size_t>(channelOf(kBD))]),
              (std::vector<std::int64_t>{0, 22050, 44100, 66150}));
    EXPECT_EQ(onsets(out[static_cast<std::size_t>(channelOf(kHC))]),
              (std::vector<std::int64_t>{22050, 66150}));
}

TEST(SequencerPlayback, PatternTotalAccentCountsFromItsFirstStepWithTheAttributeStore) {
    // One accented, totally accented bass drum hit; the pattern's total accent 1.0 against 0.0.
    float peaks[2] = {};
    for (int i = 0; i < 2; ++i) {
        TestPattern p;
        p.rows[kBD] = "O...............";
        p.rows[kTA] = "O...............";
        p.totalAccent = i == 0 ? 0.0f : 1.0f;
        SequencerSettings settings;
        settings.attributeStore = true;
        auto h = sequencerHost({{0, p}}, settings);
        ASSERT_NE(h, nullptr);
        h->scheduleRawMidi(0, MidiMessage::noteOn(0, 0, 100));
        const auto out = h->render(5000, 5000);
        peaks[i] = peakMagnitude(out[static_cast<std::size_t>(channelOf(kBD))]);
    }
    // Velocities 0.378 + 0.252 and 0.378 + 0.252 + 0.252: the louder one is clearly louder.
    EXPECT_GT(peaks[1], peaks[0] * 1.1f);
}

} // namespace
} // namespace vorpalix::testing::seq
