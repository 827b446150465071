// A sequenced song with MIDI input sounds the same whatever block size the host uses: bit for
// bit on the internal clock and on a host clock whose positions are exact, and with every hit
// within one frame on a host clock whose positions are rounded.

#include "host/SequencerHostSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vorpalix::testing::seq {
namespace {

using host::MidiMessage;

// Factory patterns 0..2 chained by keys, started, stopped and started again by MIDI, with the
// pattern attribute store on so that every pattern brings its own shuffle and flam.
host::ChannelBuffers playSong(int block, const char* sync, const char* mode, double rate,
                              double bpm, std::int64_t frames) {
    host::HostOptions options;
    options.sampleRate = rate;
    options.recordCalls = false;
    auto h = loadVorpalix(options);
    if (!h) {
        return {};
    }
    // A chunk with only a PluginState keeps the factory patterns.
    std::string chunk = "<VorpalixBank><PluginState><InternalSequencer state=\"on\" sync=\"";
    chunk += sync;
    chunk += "\" mode=\"";
    chunk += mode;
    chunk += "\"/><PatternAttributeStore state=\"on\"/></PluginState></VorpalixBank>";
    applyChunk(*h, chunk);
    h->setParameter(48, tempoKnob(static_cast<int>(bpm)));
    if (std::string(sync) == "external") {
        h->transport().setTempo(bpm);
        h->transport().setPlaying(true);
    }
    if (std::string(mode) == "chain") {
        h->scheduleMidi(5, MidiMessage::noteOn(0, 12, 100));
        h->scheduleMidi(9, MidiMessage::noteOn(0, 14, 100)); // range 0..2
        h->scheduleMidi(1001, MidiMessage::noteOn(0, 0, 100));
        h->scheduleMidi(70001, MidiMessage::controlChange(0, 123, 0));
        h->scheduleMidi(75013, MidiMessage::noteOn(0, 0, 100));
    } else {
        h->scheduleMidi(7, MidiMessage::noteOn(0, 12, 100));
        h->scheduleMidi(40003, MidiMessage::noteOn(0, 24, 120));
        h->scheduleMidi(40003, MidiMessage::noteOff(0, 12, 0));
        h->scheduleMidi(90001, MidiMessage::noteOn(0, 27, 127));
        h->scheduleMidi(100000, MidiMessage::noteOff(0, 24, 0));
    }
    return h->render(frames, block);
}

void expectBitIdentical(const char* sync, const char* mode, double rate, double bpm) {
    const std::int64_t frames = static_cast<std::int64_t>(3 * rate);
    const auto reference = playSong(1, sync, mode, rate, bpm, frames);
    ASSERT_FALSE(reference.empty());
    ASSERT_GT(onsets(reference[static_cast<std::size_t>(channelOf(kCH))]).size() +
                  onsets(reference[static_cast<std::size_t>(channelOf(kBD))]).size(),
              10u);
    for (int block : {7, 64, 4096}) {
        const auto other = playSong(block, sync, mode, rate, bpm, frames);
        ASSERT_EQ(other.size(), reference.size());
        for (std::size_t c = 0; c < other.size(); ++c) {
            const auto at = firstDifference(other[c], reference[c]);
            EXPECT_EQ(at, -1) << "block " << block << ", channel " << c << " differs at " << at;
        }
    }
}

TEST(SequencerBlockSizeThroughTheHost, ChainOnTheInternalClockIsBitIdentical) {
    expectBitIdentical("internal", "chain", 44100.0, 133.0);
}

TEST(SequencerBlockSizeThroughTheHost, NormalModeOnTheInternalClockIsBitIdentical) {
    expectBitIdentical("internal", "normal", 44100.0, 97.0);
}

TEST(SequencerBlockSizeThroughTheHost, HostClockWithExactPositionsIsBitIdentical) {
    // 32768 Hz at 120 BPM: a frame is 2^-14 beat, so the host's positions are exact.
    expectBitIdentical("external", "chain", 32768.0, 120.0);
}

TEST(SequencerBlockSizeThroughTheHost, HostClockElsewhereKeepsEveryHitWithinOneFrame) {
    const std::int64_t frames = 3 * 44100;
    const auto reference = playSong(1, "external", "chain", 44100.0, 123.0, frames);
    ASSERT_FALSE(reference.empty());
    for (int block : {7, 64, 4096}) {
        const auto other = playSong(block, "external", "chain", 44100.0, 123.0, frames);
        for (int i = 0; i < 11; ++i) {
            const auto a = onsets(reference[static_cast<std::size_t>(channelOf(i))]);
            const auto b = onsets(other[static_cast<std::size_t>(channelOf(i))]);
            ASSERT_EQ(a.size(), b.size()) << "block " << block << ", instrument " << i;
            for (std::size_t k = 0; k < a.size(); ++k) {
                EXPECT_LE(std::llabs(a[k] - b[k]), 1)
                    << "block " << block << ", instrument " << i << ", hit " << k;
            }
        }
    }
}

} // namespace
} // namespace vorpalix::testing::seq
