#pragma once

#include "dsp/BassDrumVoice.h"
#include "dsp/Filters.h"
#include "dsp/HandClapVoice.h"
#include "dsp/Instruments.h"
#include "dsp/OutputFrame.h"
#include "dsp/RimShotVoice.h"
#include "dsp/SampleRateInfo.h"
#include "dsp/SampleVoice.h"
#include "dsp/SnareDrumVoice.h"
#include "dsp/TomVoice.h"
#include "dsp/Voice.h"

#include <cstdint>

namespace vorpalix {

// A voice's span of `frames` values into the master sum (a copy when `first`; no sum when sum is
// null), and with `gain` into output samples: values below 1e-30 in size (and NaN) become 0, the
// rest is bounded to +-1000. Audio thread; no allocation.
void mixAndConvert(const double* values, double* sum, bool first, float* out, int frames,
                   double gain);

// The synthesis engine: eleven voices, the shared white noise and tom noise, mute/solo and the
// master gain, in double precision. It renders spans of a block: the caller cuts the block at
// the frames where hits fall, and the engine computes the shared sources once per span and then
// each voice over the whole span (the toms side by side, the hats and cymbals side by side, the
// rim shot's and the clap's resonators stepped together). Every frame comes out as it would
// frame by frame.
//
// Owned by the audio thread. The plug-in creates it, then calls every operation from the audio
// thread: parameter changes and sample-rate changes at block start, triggers and rendering
// during the block. Nothing here is atomic or locked, and no other thread may call in.
class DrumEngine {
public:
    // Longest block render() works on; longer host blocks are rendered in parts.
    static constexpr int kMaxFrames = 256;

    // Velocities of sequenced hits: a plain step (48/127 in single precision) and the accent step.
    static constexpr float kPlainVelocity = 0.37795275f;
    static constexpr float kAccentedVelocity = 0.6299528f;
    static constexpr float kAccentStep = 0.252f;

    // Accepted sample-rate range; other rates are clamped into it, invalid ones ignored. Below
    // 11025 Hz the snare's 4 kHz noise filters would reach the Nyquist frequency.
    static constexpr float kMinSampleRate = 11025.0f;
    static constexpr float kMaxSampleRate = 768000.0f;

    DrumEngine();
    DrumEngine(const DrumEngine&) = delete;
    DrumEngine& operator=(const DrumEngine&) = delete;

    // Audio thread, at block start (the plug-in applies a rate the host set before the block
    // that follows). Resets noise, tom noise and voice filters. No allocation.
    void setSampleRate(float rate);
    // Audio thread, at block start. Host parameters 0..74 (ParameterIndex.h); others are ignored.
    // No allocation.
    void setEngineParameter(int index, float value);
    // Audio thread (block start, or a step that applies its pattern's amount). No allocation.
    void setTotalAccent(double value);

    // Audio thread. No allocation, no locks. A direct hit with the given velocity.
    void triggerVoice(int instrument, float velocity);
    // Audio thread. Sequenced hits: plain 48/127, plus 0.252 per accent and T * 0.252 for TA.
    void triggerStep(int instrument, bool accent, bool totalAccent);
    void triggerStepPlain(int instrument, bool ignored, bool totalAccent);
    void triggerStepAccented(int instrument, bool ignored, bool totalAccent);

    // Audio thread. No allocation, no locks. Starts an output block of up to kMaxFrames frames:
    // every output channel reads as silent until render() writes it.
    void beginBlock();
    // Audio thread. No allocation, no locks. Renders frames [offset, offset + frames) of the
    // block (offset + frames <= kMaxFrames) into the output channels; the caller splits the block
    // at the frames where triggers fall and renders the spans in order.
    void render(int offset, int frames);
    // The block's output channel k (OutputFrame order: master, then the eleven instruments).
    // Valid up to the last frame rendered, and only while isSounding(k); a channel that is not
    // sounding is silent for the whole block and has not been written. The master sounds
    // whenever an instrument does.
    const float* output(int k) const { return out_[k]; }
    bool isSounding(int k) const { return sounding_[k]; }

    // Audio thread. No allocation, no locks. Renders one frame as a block of its own and fills
    // `out`: master, then the eleven instruments.
    void renderFrame(OutputFrame& out);

    // Read accessors, audio thread (and tests).
    const SampleRateInfo& sampleRateInfo() const { return rate_; }
    double masterGain() const { return masterGain_; }
    double totalAccent() const { return totalAccent_; }
    bool isMuted(int instrument) const;
    bool isSoloed(int instrument) const;
    bool isEnabled(int instrument) const;
    bool isPlaying(int instrument) const;
    const Voice& voice(int instrument) const;
    const BassDrumVoice& bassDrum() const { return bd_; }
    const SnareDrumVoice& snareDrum() const { return sd_; }
    const TomVoice& tom(int instrument) const; // kLT, kMT or kHT
    // Output of instrument i in the last frame, before the master gain.
    double voiceOutput(int instrument) const;
    // Shared sources of the last frame, for tests.
    double noise() const { return noise_; }
    double tomNoise() const { return tomNoise_; }
    double tomNoiseEnvelope() const { return tomE_; }

private:
    static void setTomKnob(TomVoice& tom, int knob, double x);
    static void setSampleKnob(SampleVoice& voice, int knob, double x);
    void preTrigger(int instrument, float velocity);
    void renderNoise(int frames);
    void renderRimShotAndClap(int frames);
    // Adds a voice's span to the master sum and writes it, with the master gain, to channel k.
    void mixVoice(int k, const double* values, int offset, int frames, bool first);
    // Converts a span with the master gain into channel k, adding it to `sum` on the way (copying
    // it there when `first`) unless sum is null.
    void writeChannel(int k, const double* values, double* sum, bool first, int offset, int frames);
    void silenceChannel(int k, int offset, int frames);

    SampleRateInfo rate_;

    BassDrumVoice bd_;
    SnareDrumVoice sd_;
    TomVoice lt_{TomVoice::kLowTom};
    TomVoice mt_{TomVoice::kMidTom};
    TomVoice ht_{TomVoice::kHighTom};
    RimShotVoice rs_;
    HandClapVoice hc_;
    SampleVoice ch_{"ch"};
    SampleVoice oh_{"oh"};
    SampleVoice cr_{"cr"};
    SampleVoice rd_{"rd"};
    Voice* voices_[kNumInstruments];
    SampleVoice* sampleVoices_[4]; // CH, OH, CR, RD

    // The last frame before the master gain, laid out like OutputFrame: [0] the sum of the
    // instruments, [1 + i] instrument i.
    double mix_[OutputFrame::kSize] = {};

    // The block's output channels, and whether each holds anything but silence.
    alignas(32) float out_[OutputFrame::kSize][kMaxFrames];
    bool sounding_[OutputFrame::kSize] = {};
    // Per-span work buffers: the shared sources, one voice's output, the sum of the voices.
    alignas(32) double noiseSpan_[kMaxFrames];
    alignas(32) double tomNoiseSpan_[kMaxFrames];
    alignas(32) double voiceSpan_[kMaxFrames];
    alignas(32) double tomSpan_[3][kMaxFrames];
    alignas(32) double sampleSpan_[4][kMaxFrames];
    alignas(32) double rimShotSpan_[kMaxFrames];
    alignas(32) double clapSpan_[kMaxFrames];
    bool rsSounding_ = false;
    bool hcSounding_ = false;
    alignas(32) double sumSpan_[kMaxFrames];
    double masterGain_ = 0.5;
    double totalAccent_ = 0.5;
    bool mute_[kNumInstruments] = {};
    bool solo_[kNumInstruments] = {};

    // White noise: two 32-bit words.
    std::uint32_t noiseA_ = 0x67452301u;
    std::uint32_t noiseB_ = 0xEFCDAB89u;
    double noise_ = 0.0;

    // Tom noise: low-passed, high-passed noise with a delayed burst envelope.
    double tomLowPassPole_ = 0.0;
    double tomLowPassState_ = 0.0;
    Biquad tomHighPass_;
    int tomCountdown_ = 0;
    double tomL_ = 0.0; // burst level
    double tomE_ = 0.0; // burst envelope
    double tomK_ = 0.8; // envelope coefficient
    double tomNoise_ = 0.0;
};

} // namespace vorpalix
