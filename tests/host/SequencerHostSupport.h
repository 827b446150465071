#pragma once

// Helpers for hearing the sequencer through the bundled host: a chunk that loads test patterns
// and sequencer settings into the built plug-in, and onset detection on the per-instrument
// outputs. Every voice starts a hit with a non-zero sample at the frame of its trigger and
// falls back to exact zeros when the hit has died away, so a hit's onset is the first non-zero
// sample after a stretch of zeros.

#include "PluginHost.h"
#include "state/XmlDocument.h"
#include "support/HostFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace vorpalix::testing::seq {

enum : int { kBD = 0, kSD, kLT, kMT, kHT, kRS, kHC, kCH, kOH, kCR, kRD, kTA };

// One pattern of a test bank: its row texts by row index, and its attributes.
struct TestPattern {
    std::map<int, std::string> rows;
    int length = 16;
    int stepsPerBeat = 4;
    float shuffle = 0.0f;
    float flam = 0.5f;
    float totalAccent = 0.5f;
};

struct SequencerSettings {
    const char* sync = "internal"; // "internal" or "external"
    const char* mode = "chain";    // "chain", "normal" or "free"
    bool attributeStore = false;
    int rangeFrom = 0;
    int rangeTo = 0;
};

inline const char* rowName(int row) {
    static const char* kNames[12] = {"BD", "SD", "LT", "MT", "HT", "RS",
                                     "HC", "CH", "OH", "CR", "RD", "TA"};
    return kNames[row];
}

// A chunk holding the sequencer settings and a bank whose slots 0..n-1 are given (slots without
// a pattern in `patterns` are empty).
inline std::string sequencerChunk(const std::map<int, TestPattern>& patterns,
                                  const SequencerSettings& s = {}) {
    std::string x = "<VorpalixBank><PluginState><InternalSequencer state=\"on\" sync=\"";
    x += s.sync;
    x += "\" mode=\"";
    x += s.mode;
    x += "\"/><PatternAttributeStore state=\"";
    x += s.attributeStore ? "on" : "off";
    x += "\"/><PatternRange from=\"" + std::to_string(s.rangeFrom) + "\" to=\"" +
         std::to_string(s.rangeTo) + "\"/></PluginState><PatternBank>";
    const int slots = patterns.empty() ? 0 : patterns.rbegin()->first + 1;
    for (int slot = 0; slot < slots; ++slot) {
        const auto it = patterns.find(slot);
        if (it == patterns.end()) {
            x += "<Pattern/>";
            continue;
        }
        const TestPattern& p = it->second;
        x += "<Pattern name=\"test\" length=\"" + std::to_string(p.length) + "\" stepsPerBeat=\"" +
             std::to_string(p.stepsPerBeat) + "\" shuffle=\"" + formatFloat(p.shuffle) +
             "\" flam=\"" + formatFloat(p.flam) + "\" totalAccent=\"" + formatFloat(p.totalAccent) +
             "\">";
        for (const auto& [row, text] : p.rows) {
            x += std::string("<") + rowName(row) + ">" + text + "</" + rowName(row) + ">";
        }
        x += "</Pattern>";
    }
    x += "</PatternBank></VorpalixBank>";
    return x;
}

inline void applyChunk(host::PluginHost& h, const std::string& chunk) {
    ASSERT_EQ(h.setChunk(std::span<const std::uint8_t>(
                  reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size())),
              1);
}

// The Tempo knob value for a whole-number tempo of the internal clock (30..303 BPM).
inline float tempoKnob(int bpm) {
    return static_cast<float>(bpm - 30) / 273.0f;
}

// The first output channel of instrument i with the default outputs (stereo master, stereo
// instrument pairs).
inline int channelOf(int instrument) {
    return 2 + 2 * instrument;
}

// Frames where a hit starts: a non-zero sample after at least `silence` exact zeros (or at the
// very start).
inline std::vector<std::int64_t> onsets(const std::vector<float>& c, int silence = 64) {
    std::vector<std::int64_t> out;
    std::int64_t zeros = silence;
    for (std::size_t n = 0; n < c.size(); ++n) {
        if (c[n] != 0.0f) {
            if (zeros >= silence) {
                out.push_back(static_cast<std::int64_t>(n));
            }
            zeros = 0;
        } else {
            ++zeros;
        }
    }
    return out;
}

// The first frame at or after `from` where two channels differ, or -1.
inline std::int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b,
                                    std::int64_t from = 0) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = static_cast<std::size_t>(from); i < n; ++i) {
        if (a[i] != b[i]) {
            return static_cast<std::int64_t>(i);
        }
    }
    return -1;
}

// Renders block by block with a hook before each block (to move the transport or send MIDI),
// keeping every channel.
template <typename BeforeBlock>
host::ChannelBuffers renderWith(host::PluginHost& h, std::int64_t frames, int block,
                                BeforeBlock&& before) {
    host::ChannelBuffers out(static_cast<std::size_t>(h.numOutputs()));
    std::int64_t done = 0;
    while (done < frames) {
        const int n = static_cast<int>(std::min<std::int64_t>(block, frames - done));
        before(done);
        h.processBlock(n);
        for (int c = 0; c < h.numOutputs(); ++c) {
            const auto samples = h.output(c);
            out[static_cast<std::size_t>(c)].insert(out[static_cast<std::size_t>(c)].end(),
                                                    samples.begin(), samples.end());
        }
        done += n;
    }
    return out;
}

// Frame of beat `beats` at `bpm` and `rate`: the last whole frame at or before it.
inline std::int64_t frameAtBeat(double beats, double bpm = 120.0, double rate = 44100.0) {
    return static_cast<std::int64_t>(beats * rate * 60.0 / bpm + 1e-9);
}

// Step k of a 16-step pattern plays instrument kRotation[k % 4]: each instrument sounds every
// fourth step, long after its last hit has died away.
constexpr std::array<int, 4> kRotation = {kBD, kRS, kSD, kCH};

inline TestPattern rotationPattern() {
    TestPattern p;
    for (int k = 0; k < 16; ++k) {
        std::string& row = p.rows[kRotation[static_cast<std::size_t>(k % 4)]];
        if (row.empty()) {
            row = std::string(16, '.');
        }
        row[static_cast<std::size_t>(k)] =
            kRotation[static_cast<std::size_t>(k % 4)] == kRS ? 'O' : 'o';
    }
    return p;
}

// The frame of every step of the rotation pattern, in step order, read from the onsets of the
// four instruments; -1 where a step did not sound.
inline std::vector<std::int64_t> rotationStepFrames(const host::ChannelBuffers& out, int steps) {
    std::vector<std::int64_t> frames(static_cast<std::size_t>(steps), -1);
    for (std::size_t r = 0; r < kRotation.size(); ++r) {
        const auto hits = onsets(out[static_cast<std::size_t>(channelOf(kRotation[r]))]);
        for (std::size_t j = 0; j < hits.size(); ++j) {
            const std::size_t step = r + 4 * j;
            if (step < frames.size()) {
                frames[step] = hits[j];
            }
        }
    }
    return frames;
}

} // namespace vorpalix::testing::seq
