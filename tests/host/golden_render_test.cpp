// Guards against unintended change while the plug-in's internals are restructured: a few songs
// rendered through the built plug-in must hash to the values recorded before the restructuring.
// These hashes say nothing about correctness (the other tests do); a deliberate change of the
// sound has to update them, and say why, in the same commit.

#include "host/SequencerHostSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>

namespace vorpalix::testing::seq {
namespace {

using host::MidiMessage;

// FNV-1a over the bits of every sample of every channel, channel by channel. A render whose
// master is silent hashes to 0, so that a song that stopped playing cannot pass.
std::uint64_t hashOf(const host::ChannelBuffers& channels) {
    if (channels.size() < 2 || onsets(channels[0]).empty()) {
        return 0;
    }
    std::uint64_t h = 14695981039346656037ull;
    for (const auto& channel : channels) {
        for (const float x : channel) {
            const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
            for (int b = 0; b < 4; ++b) {
                h ^= (bits >> (8 * b)) & 0xffu;
                h *= 1099511628211ull;
            }
        }
    }
    return h;
}

std::string hex(std::uint64_t h) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

// Every instrument on every step with accents, flams and a total-accent row, the open hat on
// every other beat so that it chokes the closed hat: the busiest song the sequencer can play.
TestPattern busyPattern() {
    TestPattern p;
    for (int row = kBD; row <= kRD; ++row) {
        p.rows[row] = "oOoxoOoooXoooOoo";
    }
    p.rows[kOH] = "O.......o.......";
    p.rows[kCH] = "oooooooooooooooo";
    p.rows[kTA] = "o...o.......o...";
    p.shuffle = 0.3f;
    return p;
}

TEST(GoldenRender, SongsSoundAsBeforeTheRestructuring) {
    std::vector<std::string> hashes;

    { // The busiest song at 303 BPM on the internal clock, 24 outputs, 256-frame blocks.
        host::HostOptions options;
        options.recordCalls = false;
        auto h = loadVorpalix(options);
        ASSERT_TRUE(h);
        applyChunk(*h, sequencerChunk({{0, busyPattern()}}));
        h->setParameter(48, 1.0f);
        h->scheduleMidi(0, MidiMessage::noteOn(0, 0, 100));
        hashes.push_back(hex(hashOf(h->render(4 * 44100, 256))));
    }
    { // The factory patterns with their own attributes, following a host at 97 BPM and 48 kHz in
        // odd 37-frame blocks, with knobs turned between blocks and pattern keys in normal mode.
        host::HostOptions options;
        options.recordCalls = false;
        options.sampleRate = 48000.0;
        auto h = loadVorpalix(options);
        ASSERT_TRUE(h);
        applyChunk(*h, "<VorpalixBank><PluginState><InternalSequencer state=\"on\" "
                       "sync=\"external\" mode=\"normal\"/><PatternAttributeStore "
                       "state=\"on\"/></PluginState></VorpalixBank>");
        h->transport().setTempo(97.0);
        h->transport().setPlaying(true);
        h->scheduleMidi(11, MidiMessage::noteOn(0, 12, 100));
        h->scheduleMidi(60011, MidiMessage::noteOn(0, 13, 127));
        h->scheduleMidi(60011, MidiMessage::noteOff(0, 12, 0));
        h->scheduleMidi(130000, MidiMessage::controlChange(0, 7, 90));
        const auto out = renderWith(*h, 5 * 48000, 37, [&](std::int64_t done) {
            if (done % (37 * 40) == 0) {
                const int knob = static_cast<int>(done / (37 * 40)) % 48;
                h->setParameter(knob, static_cast<float>((done / 37) % 101) / 100.0f);
            }
        });
        hashes.push_back(hex(hashOf(out)));
    }
    { // The shipped state as a host starts it: the factory chain following the host at 120 BPM.
        host::HostOptions options;
        options.recordCalls = false;
        auto h = loadVorpalix(options);
        ASSERT_TRUE(h);
        h->transport().setTempo(120.0);
        h->transport().setPlaying(true);
        hashes.push_back(hex(hashOf(h->render(6 * 44100, 512))));
    }

    const std::vector<std::string> expected = {"721d37bad38cd529", "abcfb21b45c4bd81",
                                               "1e91098996290a59"};
    EXPECT_EQ(hashes, expected);
}

} // namespace
} // namespace vorpalix::testing::seq
