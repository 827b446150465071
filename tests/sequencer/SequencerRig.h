#pragma once

// A pattern sequencer on its own, driven the way the plug-in's block routine drives it, with a
// scripted host (controls, transport, tempo, amounts) and a sink that records every hit with
// its frame. Lets the timing be checked to the sample without any audio.

#include "sequencer/PatternSequencer.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// Its own namespace: the editing tests keep other fakes of the same names in vorpalix::test.
namespace vorpalix::test::rig {

// One call of a step trigger.
struct Hit {
    std::int64_t frame = 0;
    int instrument = 0;
    char kind = 's'; // 's' triggerStep, 'p' triggerStepPlain, 'a' triggerStepAccented
    bool accent = false;
    bool totalAccent = false;
    int pattern = -1; // the playing pattern and step when the hit was triggered
    int step = -1;

    auto key() const { return std::tie(frame, instrument, kind, accent, totalAccent); }
    bool operator==(const Hit& o) const { return key() == o.key(); }
};

inline std::string describe(const Hit& h) {
    return std::to_string(h.frame) + ":" + std::to_string(h.instrument) + h.kind +
           (h.accent ? "A" : "") + (h.totalAccent ? "T" : "");
}

class RecordingSink : public StepTriggerSink {
public:
    void triggerStep(int i, bool accent, bool ta) override { record(i, 's', accent, ta); }
    void triggerStepPlain(int i, bool accent, bool ta) override { record(i, 'p', accent, ta); }
    void triggerStepAccented(int i, bool accent, bool ta) override { record(i, 'a', accent, ta); }

    std::vector<Hit> hits;
    std::int64_t frame = 0;
    const PatternSequencer* sequencer = nullptr;

private:
    void record(int i, char kind, bool accent, bool ta) {
        Hit h{frame, i, kind, accent, ta};
        if (sequencer != nullptr) {
            h.pattern = sequencer->playingPattern();
            h.step = sequencer->playingStep();
        }
        hits.push_back(h);
    }
};

// A host as the sequencer sees it. The transport's song position is computed from the frames
// played since the last locate, never summed, like a real host does.
class ScriptedHost : public SequencerHost {
public:
    SequencerControls controls{true, 0, 0}; // on, internal clock, chain mode
    int command = 0;
    double rate = 44100.0;
    double internalBpm = 120.0;
    double shuffleFraction = 0.0;
    double flamFraction = 0.121;
    bool attributeStore = false;
    int threshold = 100;

    bool answerTime = true;
    bool playing = false;
    bool ppqValid = true;
    bool tempoValid = true;
    double hostBpm = 120.0;
    double ppq = 0.0;

    int shuffleSets = 0;
    float lastTotalAccent = -1.0f;

    SequencerControls requestedControls() override { return controls; }
    int takeTransportCommand() override {
        const int c = command;
        command = 0;
        return c;
    }
    TransportInfo transport() override {
        ++transportReads;
        if (!answerTime) {
            return {};
        }
        return {true, playing, ppqValid, ppq, tempoValid, hostBpm};
    }
    double sampleRate() override { return rate; }
    double internalTempo() override { return internalBpm; }
    double shuffle() override { return shuffleFraction; }
    double flam() override { return flamFraction; }
    bool patternAttributeStore() override { return attributeStore; }
    void setShuffle(float v) override {
        shuffleFraction = static_cast<double>(v) * 0.8;
        ++shuffleSets;
    }
    void setFlam(float v) override { flamFraction = static_cast<double>(v) * 0.262 + 0.121; }
    void setTotalAccentLevel(float v) override { lastTotalAccent = v; }
    int freeModeThreshold() override { return threshold; }
    void playingPatternChanged(int pattern) override { playingPatterns.push_back(pattern); }
    void rangeChanged(int from, int to) override { ranges.emplace_back(from, to); }
    void transportStopped() override { ++stops; }

    // What playback reported, in order.
    std::vector<int> playingPatterns;
    std::vector<std::pair<int, int>> ranges;
    int stops = 0;

    int transportReads = 0;
};

// The block routine around the sequencer, with MIDI delivered like a host delivers it.
class SequencerRig {
public:
    ScriptedHost host;
    RecordingSink sink;
    PatternSequencer seq{host, sink};
    // The patterns the tests write; every block starts with a copy of them, as the plug-in's
    // whole-bank swap would hand them over.
    PatternBank patterns;

    std::int64_t frame = 0; // frames processed so far

    // Transport: while `host.playing` and following is on, the host's ppq is set before every
    // block from the frames played since `locate`.
    bool followTransport = true;

    SequencerRig() { sink.sequencer = &seq; }

    // Starts the host transport at song position ppq, from the next block on.
    void startHost(double ppq = 0.0) {
        host.playing = true;
        locate(ppq);
    }
    void locate(double ppq) {
        anchorPpq_ = ppq;
        anchorFrame_ = frame;
        host.ppq = ppq;
    }

    // A MIDI message at an absolute frame, delivered in the block that holds that frame.
    void midiAt(std::int64_t at, std::uint8_t status, std::uint8_t d1, std::uint8_t d2) {
        timed_.emplace(at, Raw{status, d1, d2, 0});
    }
    // A MIDI message for the next block with exactly this delta, whatever the block's length.
    void midiNext(std::int32_t delta, std::uint8_t status, std::uint8_t d1, std::uint8_t d2) {
        rawNext_.push_back(Raw{status, d1, d2, delta});
    }

    // One block: events, then the block routine's sequencer calls for `frames` frames.
    void block(int frames) {
        if (followTransport && host.playing) {
            host.ppq = anchorPpq_ + static_cast<double>(frame - anchorFrame_) * host.hostBpm /
                                        (60.0 * host.rate);
        }
        std::vector<TimedMidiEvent> events;
        auto end = timed_.lower_bound(frame + frames);
        for (auto it = timed_.begin(); it != end; ++it) {
            events.push_back(make(it->second, static_cast<std::int32_t>(it->first - frame)));
        }
        timed_.erase(timed_.begin(), end);
        for (const Raw& r : rawNext_) {
            events.push_back(make(r, r.delta));
        }
        rawNext_.clear();
        for (const TimedMidiEvent& event : events) {
            seq.queueEvent(event);
        }
        seq.replaceBank(std::make_unique<PatternBank>(patterns));
        seq.beginBlock();
        seq.startBlock();
        for (int n = 0; n < frames; ++n) {
            sink.frame = frame;
            seq.runFrame();
            seq.endFrame();
            ++frame;
        }
        seq.endBlock();
    }

    // Runs `frames` frames in blocks of at most `blockSize`.
    void run(std::int64_t frames, int blockSize) {
        while (frames > 0) {
            const int n = static_cast<int>(std::min<std::int64_t>(frames, blockSize));
            block(n);
            frames -= n;
        }
    }

    // Frames of the hits of one instrument (and kind, when given).
    std::vector<std::int64_t> framesOf(int instrument, char kind = 0) const {
        std::vector<std::int64_t> out;
        for (const Hit& h : sink.hits) {
            if (h.instrument == instrument && (kind == 0 || h.kind == kind)) {
                out.push_back(h.frame);
            }
        }
        return out;
    }

private:
    struct Raw {
        std::uint8_t status, d1, d2;
        std::int32_t delta;
    };
    static TimedMidiEvent make(const Raw& r, std::int32_t delta) {
        return TimedMidiEvent{{r.status, r.d1, r.d2, 0}, delta};
    }

    std::multimap<std::int64_t, Raw> timed_;
    std::vector<Raw> rawNext_;
    double anchorPpq_ = 0.0;
    std::int64_t anchorFrame_ = 0;
};

// Fills a row of a pattern from row text (one character per step, as in the Pattern element).
inline void setRow(Pattern& p, int row, std::string_view text) {
    for (std::size_t k = 0; k < text.size() && k < 16; ++k) {
        p.setStep(row, static_cast<int>(k), codeOfCharacter(text[k]));
    }
}

// Frame of an event at `beats` after frame 0 at `bpm` and `rate`: the first whole frame at or
// before the exact time (a countdown truncates).
inline std::int64_t frameAtBeat(double beats, double bpm = 120.0, double rate = 44100.0) {
    return static_cast<std::int64_t>(std::floor(beats * rate * 60.0 / bpm + 1e-9));
}

} // namespace vorpalix::test::rig
