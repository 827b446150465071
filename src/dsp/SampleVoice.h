#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "dsp/Filters.h"
#include "dsp/Voice.h"

namespace vorpalix {

// Which instrument a SampleVoice plays; decides its tune curve, its decay and its output gain.
enum class SampleKind { ClosedHat, OpenHat, Crash, Ride };

// Hi-hats and cymbals: a stored 8-bit waveform (recorded as if at 31200 Hz) played at a variable
// rate with cubic B-spline interpolation through a resonant low-pass. The hats run under an
// attack/decay envelope and choke each other; the open hat also cuts itself off at a fixed point
// of its waveform. Crash and ride fade out linearly over a length set by Decay.
// Owned by the audio thread, like the engine that holds it: every operation runs there.
class SampleVoice final : public Voice {
public:
    static constexpr double kWaveformRate = 31200.0;
    // The open hat falls silent this many source samples into its waveform.
    static constexpr double kOpenHatCutPoint = 16128.0;

    // Loads the embedded waveform "ch", "oh", "cr" or "rd"; any other name or a missing resource
    // leaves the voice without a waveform (silent). Construction only: allocates.
    explicit SampleVoice(std::string_view resourceName);
    // A voice of the given kind playing these bytes (b/128 - 1 per byte). Allocates.
    SampleVoice(SampleKind kind, std::span<const std::uint8_t> bytes);

    // Audio thread, at block start. Recomputes coefficients, clears filters. No allocation.
    void setSampleRate(float rate) override;
    // Audio thread. No allocation, no locks. Leaves the choke flag alone.
    void trigger(float velocity) override;

    // Knob setters, x in 0..1 (clamped). Audio thread, at block start. No allocation.
    void setTune(double x);
    void setDecay(double x);

    // Audio thread, run by the engine before a hat hit. No allocation, no locks.
    void setChoked(bool choked) { choke_ = choked; }
    bool isChoked() const { return choke_; }

    // Audio thread. No allocation, no locks. Renders a span (see Voice); false while idle.
    bool render(const SpanInputs& in, double* out, int frames);
    // Audio thread. No allocation, no locks. Renders the span of up to four voices at once, side
    // by side in vector lanes, into outs[k] for voices[k]; voices that are idle are skipped and
    // their outs left alone (check isSounding() before). Same samples as one by one.
    static void renderGroup(SampleVoice* const* voices, double* const* outs, int count,
                            const SpanInputs& in, int frames);
    // Audio thread. One output sample; 0 while idle.
    double render(const FrameInputs& in) {
        double y = 0.0;
        render(SpanInputs{&in.noise, &in.tomNoise}, &y, 1);
        return y;
    }

    // Uniform cubic B-spline through four neighbouring samples at fraction f (0..1) between t1
    // and t2.
    static double bSpline(double t0, double t1, double t2, double t3, double f) {
        const double d = t0 + t2;
        return (2.0 / 3.0 * t1 + d / 6.0) +
               f * ((t2 - t0) / 2.0 +
                    f * ((d / 2.0 - t1) + f * ((t3 - t0) / 6.0 + (t1 - t2) / 2.0)));
    }

    SampleKind kind() const { return kind_; }
    std::size_t waveformLength() const { return length_; }
    bool isActive() const { return active_; }
    // Whether the next span renders anything: playing a hit that has a waveform to play.
    bool isSounding() const { return playing_ && active_ && length_ > 0; }
    double position() const { return pos_; }
    double tuneFactor() const { return tuneFactor_; }
    double decayCoefficient() const { return kDec_; }
    double fadeLength() const { return L_; }

private:
    bool isHat() const { return kind_ == SampleKind::ClosedHat || kind_ == SampleKind::OpenHat; }
    static void renderChunk(SampleVoice* const* voices, double* const* outs, int count, int frames);
    // Each lane's waveform, its end and fade, and whether it is a hat (1) or a cymbal (0).
    struct Waveforms {
        const double* samples[4];
        double end[4];
        double invFadeSamples[4];
        double hat[4];
    };
    // A part of a span: each frame's lanes side by side, with room for one frame more.
    static constexpr int kPartFrames = 32;
    static constexpr int kPartValues = (kPartFrames + 1) * 4;
    struct Part {
        double pos[kPartValues], env[kPartValues], sample[kPartValues], gain[kPartValues];
        std::int64_t choke[kPartValues];
    };
    template <class W, int kLanes>
    static void readWaveforms(const Waveforms& wf, Part& p, int frames);
    static void readWaveformsAvx512(const Waveforms& wf, Part& p, int frames);
    template <class Lanes>
    static int renderLanes(SampleVoice* const* t, int count, double* const* out, int frames);
    static int renderLanesAvx2(SampleVoice* const* t, int count, double* const* out, int frames);
    static int renderLanesBase(SampleVoice* const* t, int count, double* const* out, int frames);

    void updateDecay();

    SampleKind kind_;
    // The waveform with one zero before it and kTrailingZeros after it, so that the four
    // neighbours of any position up to the end of a hit can be read without bounds checks.
    static constexpr std::size_t kTrailingZeros = 4;
    std::vector<double> samples_;
    std::size_t length_ = 0; // waveform samples, without the zeros around them
    double pos_ = 0.0;
    double rateFactor_ = kWaveformRate / 44100.0;
    double tuneFactor_ = 1.0;
    double increment_ = kWaveformRate / 44100.0; // tune factor * rate factor
    Biquad lowPass_;
    bool active_ = false;
    bool choke_ = false;
    double g2_ = 0.0; // velocity gain squared
    // Hat envelope.
    double target_ = 0.0;
    int countdown_ = -1;
    double env_ = 0.0;
    double kEnv_ = 0.5;
    double kDec_ = 0.0;
    // Cymbal fade length as a share of 32768 source samples.
    double L_ = 0.55;
    double invFadeSamples_ = 1.0 / (0.55 * 32768.0); // 1 / (L x 32768)
    double decayKnob_ = 0.5;
    double outputScale_ = 0.0;
};

} // namespace vorpalix
